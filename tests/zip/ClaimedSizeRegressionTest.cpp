// Faults found by fuzzing the extraction driver, kept as unit tests.
#include <gtest/gtest.h>

#include <vector>

#include "SizeRecordingStream.h"
#include "ZipFixtures.h"
#include "platform/MemoryStream.h"
#include "zip/UnZipper.h"

namespace {

// An archive of a few hundred bytes whose one deflated entry claims a
// megabyte of compressed data that would inflate to almost a gigabyte.
std::string ArchiveClaimingAHugeEntry() {
    fixtures::Entry entry;
    entry.name = "huge.bin";
    entry.method = 8;
    entry.data = std::string("\x03\x00", 2);  // an empty deflate stream
    entry.centralCompressed = 1000000;
    entry.centralUncompressed = 1000000000;
    fixtures::Archive archive;
    archive.entries.push_back(entry);
    return fixtures::Build(archive);
}

class ClaimedSizeRegression : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string bytes = ArchiveClaimingAHugeEntry();
        archive_.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
        archive_.SetPosition(0);
        zip_.DoProcessMessages = false;
        zip_.SetArchiveStream(&archive_);
        zip_.ReadZip();
        ASSERT_EQ(zip_.GetCount(), 1);
    }

    TMemoryStream archive_;
    TUnZipper zip_;
};

}  // namespace

// The memory target used to believe the header's compressed size and
// allocate the whole claimed gigabyte before reading a byte of data.
TEST_F(ClaimedSizeRegression, TheMemoryTargetJudgesTheClaimByTheBytesPresent) {
    std::vector<uint8_t> buffer;
    EXPECT_THROW(zip_.UnZipToBufferByIndex(buffer, 0), ENotEnoughRoom);
    EXPECT_LT(buffer.capacity(), size_t{1} << 20);
}

// The same claim must not size a caller's empty stream either.
TEST_F(ClaimedSizeRegression, ACallersStreamIsNotSizedByTheClaim) {
    SizeRecordingStream out;
    try {
        zip_.UnZipToStreamByIndex(&out, 0);
    } catch (const Exception&) {
        // Only the sizing matters here.
    }
    EXPECT_LT(out.largest, int64_t{1} << 20);
}

// Bounding the claim by the bytes present leaves honest entries alone.
TEST(ClaimedSizeRegressionHonest, AnHonestEntryStillExtractsToMemoryWhole) {
    fixtures::Entry entry;
    entry.name = "hello.txt";
    entry.data = "hello, world";
    fixtures::Archive archive;
    archive.entries.push_back(entry);
    const std::string bytes = fixtures::Build(archive);
    TMemoryStream stream;
    stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    stream.SetPosition(0);
    TUnZipper zip;
    zip.DoProcessMessages = false;
    zip.SetArchiveStream(&stream);
    zip.ReadZip();
    std::vector<uint8_t> buffer;
    EXPECT_EQ(zip.UnZipToBufferByIndex(buffer, 0), 1);
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), "hello, world");
}
