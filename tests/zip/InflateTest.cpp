#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "DecoderTestSupport.h"
#include "zip/codec/Inflate.h"

namespace {

std::string RunStored(TMemoryStages& stages, const std::string& data) {
    stages.Begin(data, static_cast<int64_t>(data.size()));
    UnStore(stages);
    return stages.output;
}

std::string RunInflate(TMemoryStages& stages, const std::string& compressed,
                       int64_t uncompressedSize) {
    stages.Begin(compressed, uncompressedSize);
    Inflate(stages);
    return stages.output;
}

}  // namespace

// Block boundaries: 0 bytes touch nothing, 32,768 are one read and one
// flush, 32,769 two of each.
TEST(UnStore, BlockBoundaries) {
    TMemoryStages stages;
    EXPECT_EQ(RunStored(stages, ""), "");
    EXPECT_TRUE(stages.reads.empty());
    EXPECT_TRUE(stages.writes.empty());
    EXPECT_EQ(stages.Crc32(), 0u);

    const std::string full = PseudoRandomBytes(32768, 1);
    EXPECT_EQ(RunStored(stages, full), full);
    EXPECT_EQ(stages.reads, (std::vector<uint32_t>{32768}));
    EXPECT_EQ(stages.writes, (std::vector<uint32_t>{32768}));

    const std::string more = PseudoRandomBytes(32769, 2);
    EXPECT_EQ(RunStored(stages, more), more);
    EXPECT_EQ(stages.reads, (std::vector<uint32_t>{32768, 1}));
    EXPECT_EQ(stages.writes, (std::vector<uint32_t>{32768, 1}));
    EXPECT_EQ(stages.Crc32(), Crc32Of(reinterpret_cast<const uint8_t*>(more.data()), more.size()));
    EXPECT_EQ(stages.pumps, 2);
}

TEST(UnStore, ArchiveEndingInsideTheEntry) {
    TMemoryStages stages;
    stages.Begin(std::string(40000, 'x'), 50000, 50000);
    try {
        UnStore(stages);
        FAIL() << "no error";
    } catch (const EFatalUnzipError& e) {
        EXPECT_EQ(e.Message(), "Premature end of file reached");
    }
}

// A header that understates the size: refused at the first flush that
// passes it, before the target sees the block.
TEST(UnStore, OutputLargerThanDeclared) {
    TMemoryStages stages;
    stages.Begin(std::string(40000, 'x'), 39999);
    try {
        UnStore(stages);
        FAIL() << "no error";
    } catch (const EBiggerThanUncompressed& e) {
        EXPECT_EQ(e.Message(), "File is larger than uncompressed size!");
    }
    EXPECT_EQ(stages.writes, (std::vector<uint32_t>{32768}));
}

TEST(UnStore, CancelWhileReading) {
    TMemoryStages stages;
    stages.onPump = [&stages] {
        if (stages.pumps == 2) {
            throw EUserCanceled("User Aborted Operation");
        }
    };
    stages.Begin(std::string(70000, 'x'), 70000);
    EXPECT_THROW(UnStore(stages), EUserCanceled);
    EXPECT_EQ(stages.output.size(), 32768u);
}

// Many blocks in and out, incompressible and highly compressible data.
TEST(Inflate, RoundTripsAcrossBlocks) {
    TMemoryStages stages;
    const std::string noise = PseudoRandomBytes(200000, 5);
    EXPECT_EQ(RunInflate(stages, Deflate(noise), 200000), noise);
    EXPECT_GT(stages.reads.size(), 6u);
    const std::string runs(1000000, 'z');
    EXPECT_EQ(RunInflate(stages, Deflate(runs, true, 9), 1000000), runs);
    EXPECT_EQ(stages.reads.size(), 1u);
    EXPECT_EQ(stages.writes.size(), 31u);  // 30 full windows and the rest
    EXPECT_EQ(stages.Crc32(), Crc32Of(reinterpret_cast<const uint8_t*>(runs.data()), runs.size()));
}

// The entry ends with the deflate stream; what follows it is ignored.
TEST(Inflate, BytesAfterTheStream) {
    TMemoryStages stages;
    const std::string text = "some text, some text, some text";
    EXPECT_EQ(RunInflate(stages, Deflate(text) + std::string(100, '\x77'), 31), text);
    // A stream ending exactly on a block boundary with a whole block of
    // trailing bytes: that block is never read.
    const std::string noise = PseudoRandomBytes(100000, 11);
    std::string data = Deflate(noise, true, 0);
    data.resize((data.size() + 32767) / 32768 * 32768, '\0');
    const size_t streamBlocks = data.size() / 32768;
    EXPECT_EQ(RunInflate(stages, data + std::string(32768, '\x55'), 100000), noise);
    EXPECT_LE(stages.reads.size(), streamBlocks);
}

TEST(Inflate, TruncatedAndCorruptStreams) {
    TMemoryStages stages;
    const std::string compressed = Deflate(PseudoRandomBytes(50000, 4));
    const std::string truncated = "compressed data ends early (truncated)";
    // Each failure says why: a cut stream is truncated, a bad block damaged.
    for (const auto& [bad, message] : std::vector<std::pair<std::string, std::string>>{
             {compressed.substr(0, compressed.size() - 10), truncated},
             {compressed.substr(0, 40000), truncated},
             {std::string(), truncated},
             {std::string("\xff\xff\xff\xff", 4), "compressed data is damaged"}}) {
        stages.Begin(bad, 50000);
        try {
            Inflate(stages);
            FAIL() << "no error for " << bad.size() << " bytes";
        } catch (const EZCompressionError& e) {
            EXPECT_EQ(e.Message(), message);
        }
    }
}

TEST(Inflate, OutputLargerThanDeclared) {
    TMemoryStages stages;
    EXPECT_THROW(RunInflate(stages, Deflate(std::string(40000, 'a')), 39999),
                 EBiggerThanUncompressed);
}

TEST(Inflate, EmptyEntryAndDeflateFromPkzip2) {
    TMemoryStages stages;
    EXPECT_EQ(RunInflate(stages, Deflate(""), 0), "");
    EXPECT_TRUE(stages.writes.empty());
    // PKZIP 2.04g "superfast" sets flag bits 1 and 2, which mean nothing to
    // deflate.
    EXPECT_EQ(ExpectEntriesDecode("legacy/pkzip204_deflate_superfast.zip",
                                  [](int method) { return method == 8 || method == 0; }),
              15);
}
