#include <gtest/gtest.h>

#include "DecoderTestSupport.h"
#include "zip/codec/Unreduce.h"

// Every reduced entry (factors 1 to 4) of the real archives.
TEST(UnReduce, RealArchivesMatchTheirCrc) {
    EXPECT_EQ(ExpectLegacyEntriesDecode([](int m) { return m >= 2 && m <= 5; }), 16);
}

namespace {

// Follower sets: all empty except row 0, then the given 8-bit bytes.
TBitWriter WithFollowers(const std::string& rowZero = {}) {
    TBitWriter w;
    for (int x = 255; x > 0; --x) {
        w.Put(0, 6);
    }
    w.Put(static_cast<uint32_t>(rowZero.size()), 6);
    for (const char ch : rowZero) {
        w.Put(static_cast<uint8_t>(ch), 8);
    }
    return w;
}

std::string Unreduce(const std::string& data, int64_t size, int factor,
                     TDecodeResult expected = TDecodeResult::Complete) {
    return DecodeOutput(data, size, expected,
                        [factor](TMemoryStages& stages) { return UnReduce(stages, factor); });
}

std::string RawBytes(std::initializer_list<int> bytes) {
    TBitWriter w = WithFollowers();
    for (const int b : bytes) {
        w.Put(static_cast<uint32_t>(b), 8);
    }
    return w.Bytes();
}

}  // namespace

// Factor 4, distance 4,096 right after the first byte: the positions before
// the entry's start read as zero bytes.
TEST(UnReduce, CopyBeforeTheStartGivesZeros) {
    EXPECT_EQ(Unreduce(RawBytes({'X', 144, 0xF0, 0xFF}), 4, 4), std::string("X\0\0\0", 4));
}

TEST(UnReduce, OverlappingCopyAndEscapedDle) {
    EXPECT_EQ(Unreduce(RawBytes({'a', 'b', 144, 0x01, 0x01, 144, 0}), 7, 4), "ababab\x90");
    // Factor 1: a length byte that fills the mask takes one more byte.
    EXPECT_EQ(Unreduce(RawBytes({'q', 144, 0x7F, 10, 0}), 141, 1), std::string(141, 'q'));
}

TEST(UnReduce, FollowerSetsAndTruncation) {
    TBitWriter w = WithFollowers("Hi");
    w.Put(0, 1);  // from the set of byte 0 ...
    w.Put(0, 1);  // ... its first follower
    w.Put('i', 8);
    EXPECT_EQ(Unreduce(w.Bytes(), 2, 2), "Hi");
    EXPECT_EQ(Unreduce(w.Bytes(), 50, 2, TDecodeResult::Truncated), "Hi");
    EXPECT_EQ(Unreduce(w.Bytes(), 2, 5, TDecodeResult::Corrupt), "");
}

TEST(UnReduce, SurvivesDamagedData) {
    ExpectSurvivesDamage(LegacySamples(5),
                         [](TMemoryStages& stages, const TLocalEntry&) { UnReduce(stages, 4); });
}
