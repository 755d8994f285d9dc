#include <gtest/gtest.h>

#include "DecoderTestSupport.h"
#include "zip/codec/Unshrink.h"

// Every shrunk entry of the real archives, including a 2.4 MB executable
// whose long stream widens the codes and clears the table repeatedly.
TEST(UnShrink, RealArchivesMatchTheirCrc) {
    EXPECT_EQ(ExpectLegacyEntriesDecode([](int method) { return method == 1; }), 19);
}

namespace {

TDecodeResult Unshrink(const std::string& data, std::string& output, int64_t size = 1 << 30) {
    TMemoryStages stages;
    stages.Begin(data, size);
    const TDecodeResult result = UnShrink(stages);
    output = stages.output;
    return result;
}

}  // namespace

// The control sequence 256, 1 widens codes up to 13 bits; one more
// widening is not in the format and ends the entry with what was decoded.
TEST(UnShrink, WideningPast13BitsEndsTheEntry) {
    TBitWriter w;
    w.Put('A', 9);
    unsigned bits = 9;
    for (; bits < 13; ++bits) {
        w.Put(256, bits);
        w.Put(1, bits);
    }
    w.Put('B', 13);
    w.Put(256, 13);
    w.Put(1, 13);
    w.Put('C', 14);
    w.Put('D', 14);
    std::string out;
    EXPECT_EQ(Unshrink(w.Bytes(), out), TDecodeResult::Corrupt);
    EXPECT_EQ(out, "AB");
}

// Codes that refer to themselves through undefined entries would loop
// forever or overrun the decode stack; they end the entry instead.
TEST(UnShrink, SelfReferringCodesEndTheEntry) {
    TBitWriter w;
    w.Put('A', 9);
    w.Put(300, 9);  // undefined: old string + its first byte
    w.Put(301, 9);  // undefined, and the old code 300 is undefined too
    w.Put('Z', 9);
    std::string out;
    EXPECT_EQ(Unshrink(w.Bytes(), out), TDecodeResult::Corrupt);
    EXPECT_EQ(out, "AAA");
    // A first code that is not a byte value.
    TBitWriter first;
    first.Put(400, 9);
    EXPECT_EQ(Unshrink(first.Bytes(), out), TDecodeResult::Corrupt);
    EXPECT_EQ(out, "");
}

// The partial clear frees exactly the codes no other code builds on, and
// the next code defined takes the lowest freed number.
TEST(UnShrink, PartialClearFreesOnlyLeaves) {
    TBitWriter w;
    for (unsigned code : {65u, 66u, 257u, 258u, 67u}) {  // A B AB BA C
        w.Put(code, 9);                                  // 257=AB 258=BA 259=ABB 260=BAC
    }
    w.Put(256, 9);
    w.Put(2, 9);    // frees 259 and 260; 257, 258 are prefixes
    w.Put(257, 9);  // still AB; defines 259=CA
    w.Put(259, 9);  // CA
    std::string out;
    EXPECT_EQ(Unshrink(w.Bytes(), out), TDecodeResult::Complete);
    EXPECT_EQ(out,
              "AB"
              "AB"
              "BA"
              "C"
              "AB"
              "CA");
}

TEST(UnShrink, SurvivesDamagedData) {
    ExpectSurvivesDamage(LegacySamples(1),
                         [](TMemoryStages& stages, const TLocalEntry&) { UnShrink(stages); });
}
