// The package stream's limits on their own: what it lets through, and how
// often it asks the file system for free space.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/MemoryStream.h"
#include "workflow/PackageLimits.h"

namespace {

constexpr int64_t kMiB = TPackageLimits::kMebibyte;
constexpr int64_t kChunk = 32768;

// Writes 32 KB chunks until the stream refuses one; returns the bytes that
// went through.
int64_t WriteUntilRefused(TBoundedPackageStream& bounded, int64_t atMost) {
    const std::string chunk(kChunk, 'p');
    int64_t written = 0;
    try {
        while (written < atMost) {
            bounded.WriteBuffer(chunk.data(), kChunk);
            written += kChunk;
        }
    } catch (const EPackageTooLarge&) {
    }
    return written;
}

}  // namespace

// A disk with 20 MiB above the margin: the download stops before it takes
// the disk below the margin, asking for the free space a few times rather
// than before each of its 600-odd chunks.
TEST(PackageLimits, TheMarginHoldsWithAFewQuestions) {
    TMemoryStream file;
    TPackageLimits limits;
    int asked = 0;
    const auto freeSpace = [&](const std::string&) -> std::optional<int64_t> {
        ++asked;
        return limits.MinFreeBytes + 20 * kMiB - file.Size();
    };
    TBoundedPackageStream bounded(file, "dir", limits, freeSpace);
    const int64_t written = WriteUntilRefused(bounded, 100 * kMiB);
    EXPECT_LE(written, 20 * kMiB);
    EXPECT_GT(written, 20 * kMiB - 2 * kChunk);
    EXPECT_GE(asked, 20 * kMiB / TBoundedPackageStream::kFreeSpaceStride);
    EXPECT_LE(asked, 20 * kMiB / TBoundedPackageStream::kFreeSpaceStride + 3);
}

// Another program fills the disk while the package arrives: the download
// notices within one stride of its own bytes.
TEST(PackageLimits, ADiskFilledByOthersIsNoticedWithinAStride) {
    TMemoryStream file;
    TPackageLimits limits;
    int64_t others = 0;
    const auto freeSpace = [&](const std::string&) -> std::optional<int64_t> {
        return limits.MinFreeBytes + 500 * kMiB - others - file.Size();
    };
    TBoundedPackageStream bounded(file, "dir", limits, freeSpace);
    EXPECT_EQ(WriteUntilRefused(bounded, 10 * kMiB), 10 * kMiB);
    others = 495 * kMiB;
    EXPECT_LE(WriteUntilRefused(bounded, 100 * kMiB), TBoundedPackageStream::kFreeSpaceStride);
}

// Without an answer about free space only the size limit counts, and that
// one is checked on every write.
TEST(PackageLimits, TheSizeLimitIsExactWhateverTheFreeSpace) {
    TMemoryStream file;
    TPackageLimits limits;
    limits.MaxBytes = 3 * kMiB + 100;
    TBoundedPackageStream bounded(file, "dir", limits,
                                  [](const std::string&) { return std::nullopt; });
    EXPECT_EQ(WriteUntilRefused(bounded, 10 * kMiB), 3 * kMiB);
    EXPECT_EQ(file.Size(), 3 * kMiB);
}
