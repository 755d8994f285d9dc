#include <gtest/gtest.h>

#include "DecoderTestSupport.h"
#include "zip/codec/Explode.h"

// Every imploded entry: 4 KB with two trees, 8 KB with three, mixed in one
// archive, and a long PKZIP 1.10 executable.
TEST(Explode, RealArchivesMatchTheirCrc) {
    EXPECT_EQ(ExpectLegacyEntriesDecode([](int method) { return method == 6; }), 17);
}

namespace {

// A tree of `n` codes, all `length` bits long, stored as groups of 16.
void PutUniformTree(std::string& out, unsigned n, unsigned length) {
    out.push_back(static_cast<char>(n / 16 - 1));
    for (unsigned i = 0; i < n / 16; ++i) {
        out.push_back(static_cast<char>(0xF0 | (length - 1)));
    }
}

// Uniform trees: literal codes of 8 bits, length and distance codes of 6.
// The stream holds every code complemented, first bit most significant.
struct TImplodeWriter {
    uint16_t flags;
    TBitWriter bits;

    void Literal(uint8_t byte) {
        bits.Put(1, 1);
        if ((flags & 4) != 0) {
            bits.PutCodeMsbFirst(~byte & 0xFFu, 8);
        } else {
            bits.Put(byte, 8);
        }
    }
    void Match(unsigned distance, unsigned lengthCode, unsigned extra = 0) {
        const unsigned lowBits = (flags & 2) != 0 ? 7 : 6;
        bits.Put(0, 1);
        bits.Put((distance - 1) & ((1u << lowBits) - 1), lowBits);
        bits.PutCodeMsbFirst(~((distance - 1) >> lowBits) & 63u, 6);
        bits.PutCodeMsbFirst(~lengthCode & 63u, 6);
        if (lengthCode == 63) {
            bits.Put(extra, 8);
        }
    }
    std::string Data() const {
        std::string out;
        if ((flags & 4) != 0) {
            PutUniformTree(out, 256, 8);
        }
        PutUniformTree(out, 64, 6);
        PutUniformTree(out, 64, 6);
        return out + bits.Bytes();
    }
};

std::string RunExplode(const std::string& data, int64_t size, uint16_t flags,
                       TDecodeResult expected = TDecodeResult::Complete) {
    return DecodeOutput(data, size, expected,
                        [flags](TMemoryStages& stages) { return Explode(stages, flags); });
}

}  // namespace

// Two trees: raw literals and matches of at least 2; three trees: coded
// literals and matches of at least 3. Bytes before the start are zeros.
TEST(Explode, MinimumMatchLengthFollowsTheTreeCount) {
    for (const uint16_t flags : {0, 2, 4, 6}) {
        TImplodeWriter w{flags, {}};
        const unsigned minimum = (flags & 4) != 0 ? 3 : 2;
        w.Literal('A');
        w.Match(1, 0);
        w.Match(100, 1);
        w.Match(2, 63, 5);
        std::string expected = "A" + std::string(minimum, 'A') + std::string(minimum + 1, '\0');
        for (unsigned i = 0; i < 63 + minimum + 5; ++i) {
            expected.push_back(expected[expected.size() - 2]);
        }
        EXPECT_EQ(RunExplode(w.Data(), static_cast<int64_t>(expected.size()), flags), expected)
            << "flags " << flags;
    }
}

// Malformed trees end the method at once, without the final flush.
TEST(Explode, MalformedTreesAndCutData) {
    TImplodeWriter w{0, {}};
    w.Literal('x');
    const std::string good = w.Data();
    std::string shortTree = good;
    shortTree[0] = 2;  // three groups of 16 = 48 lengths, not 64
    shortTree.erase(4, 1);
    EXPECT_EQ(RunExplode(shortTree, 1, 0, TDecodeResult::Corrupt), "");
    std::string incomplete = good;
    incomplete.replace(0, 5, std::string("\x03\xf6\xf6\xf6\xf6", 5));  // 64 codes of 7 bits
    EXPECT_EQ(RunExplode(incomplete, 1, 0, TDecodeResult::Corrupt), "");
    std::string oversubscribed = good;
    oversubscribed.replace(0, 5, std::string("\x03\xf4\xf4\xf4\xf4", 5));  // 64 codes of 5 bits
    EXPECT_EQ(RunExplode(oversubscribed, 1, 0, TDecodeResult::Corrupt), "");
    EXPECT_EQ(RunExplode(good.substr(0, 7), 1, 0, TDecodeResult::Truncated), "");
    EXPECT_EQ(RunExplode(good, 5, 0, TDecodeResult::Truncated), "");
}

// The distance lookup width is only a speed choice: an entry with more than
// 200,000 compressed bytes (here: padding after the data) decodes the same.
TEST(Explode, WiderDistanceLookupDecodesTheSame) {
    EXPECT_EQ(ExplodeDistanceLookupBits(200001), 8u);
    EXPECT_EQ(ExplodeDistanceLookupBits(200000), 7u);
    for (const TLocalEntry& entry : LegacySamples(6)) {
        TMemoryStages stages;
        stages.Begin(entry.data + std::string(200001, '\0'), entry.uncompressedSize);
        EXPECT_EQ(Explode(stages, entry.flags), TDecodeResult::Complete);
        EXPECT_EQ(stages.Crc32(), entry.crc32) << entry.name;
    }
}

TEST(Explode, SurvivesDamagedData) {
    ExpectSurvivesDamage(LegacySamples(6), [](TMemoryStages& stages, const TLocalEntry& entry) {
        Explode(stages, entry.flags);
    });
}
