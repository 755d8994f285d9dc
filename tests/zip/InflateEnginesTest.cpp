#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "DecoderTestSupport.h"
#include "InflateHeaderSamples.h"
#include "zip/codec/Inflate.h"
#include "zip/codec/InflateEngine.h"

// Both inflate engines over the same streams: every good stream gives the
// same bytes in the same blocks, every bad one the same verdict, so an
// archive extracts alike on a build with ISA-L and on one with zlib alone.

namespace {

struct TInflateOutcome {
    std::string output;
    std::vector<uint32_t> writes;
    std::string failure;  // the verdict; empty when the stream inflated
};

TInflateOutcome InflateWith(std::unique_ptr<IInflateEngine> engine, const std::string& data) {
    TMemoryStages stages;
    stages.UseInflateEngine(std::move(engine));
    // A generous size: the engines' own verdicts are under test here, not
    // the stages' size check.
    stages.Begin(data, int64_t{1} << 30);
    TInflateOutcome outcome;
    try {
        Inflate(stages);
    } catch (const EZCompressionError& e) {
        outcome.failure = e.Message();
    }
    outcome.output = std::move(stages.output);
    outcome.writes = std::move(stages.writes);
    return outcome;
}

// Inflates `data` with both engines and expects them to agree; returns
// whether the stream inflated.
bool ExpectEnginesAgree(const std::string& data, const std::string& what) {
    const TInflateOutcome zlib = InflateWith(MakeZLibInflateEngine(), data);
    const TInflateOutcome isal = InflateWith(MakeIsalInflateEngine(), data);
    EXPECT_EQ(isal.failure, zlib.failure) << what;
    if (zlib.failure.empty() && isal.failure.empty()) {
        EXPECT_TRUE(isal.output == zlib.output) << what;
        EXPECT_EQ(isal.writes, zlib.writes) << what;
    }
    return zlib.failure.empty();
}

uint32_t Le(const std::string& b, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        v = (v << 8) | static_cast<uint8_t>(b[at + static_cast<size_t>(i)]);
    }
    return v;
}

// Every deflated, unencrypted entry behind a local header anywhere in the
// corpus, damaged archives included. Without a usable size the data runs to
// the end of the file: the stream ends itself and what follows is ignored.
std::vector<std::string> CorpusStreams() {
    std::vector<std::string> streams;
    for (const auto& item : std::filesystem::recursive_directory_iterator(TestDataPath(""))) {
        if (item.path().extension() != ".zip") {
            continue;
        }
        const std::string b = ReadWholeFile(item.path().string());
        for (size_t at = b.find("PK\x03\x04"); at != std::string::npos && at + 30 <= b.size();
             at = b.find("PK\x03\x04", at + 4)) {
            const uint32_t flags = Le(b, at + 6, 2);
            if (Le(b, at + 8, 2) != 8 || (flags & 1) != 0) {
                continue;
            }
            const size_t dataAt = at + 30 + Le(b, at + 26, 2) + Le(b, at + 28, 2);
            if (dataAt > b.size()) {
                continue;
            }
            const uint32_t size = Le(b, at + 18, 4);
            const bool sized = size != 0 && size != 0xFFFFFFFFu && dataAt + size <= b.size();
            streams.push_back(b.substr(dataAt, sized ? size : std::string::npos));
        }
    }
    return streams;
}

// Deflate in many small blocks (the smallest symbol buffer), so that cuts
// and damage land in block headers often.
std::string DeflateSmallBlocks(const std::string& data) {
    z_stream zs{};
    deflateInit2(&zs, 6, Z_DEFLATED, -MAX_WBITS, 1, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&zs, static_cast<uLong>(data.size())), '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

// A fixed-code block: literal 'a', then a match of 3 at distance 2, one byte
// further back than any output.
std::string DistanceTooFarBack() {
    TBitWriter bits;
    bits.Put(1, 1);                       // last block
    bits.Put(1, 2);                       // fixed codes
    bits.PutCodeMsbFirst(0x30 + 'a', 8);  // literal
    bits.PutCodeMsbFirst(1, 7);           // length 3
    bits.PutCodeMsbFirst(1, 5);           // distance 2
    bits.PutCodeMsbFirst(0, 7);           // end of block
    return bits.Bytes();
}

// A fixed-code block, not the last, of `literals` literals, whose input ends
// at a byte boundary inside the first 7 bits of a length symbol the format
// leaves unused (286 or 287 have 8). Cut there, the stream only stops early;
// one byte more and it is damaged. With `offset` an empty fixed block comes
// first, so the block starts inside a byte.
std::string CutInsideAnUnusedSymbol(size_t literals, bool offset) {
    TBitWriter bits;
    size_t count = 0;
    const auto put = [&](uint32_t code, unsigned n) {
        bits.PutCodeMsbFirst(code, n);
        count += n;
    };
    const auto startBlock = [&] {
        bits.Put(0, 1);  // not the last
        bits.Put(1, 2);  // fixed codes
        count += 3;
    };
    if (offset) {
        startBlock();
        put(0, 7);  // end of block
    }
    startBlock();
    for (size_t i = 0; i < literals; ++i) {
        put(0x30 + 'a', 8);
    }
    while ((count + 7) % 8 != 0) {
        put(0x190 + (200 - 144), 9);  // literal 200, 9 bits: moves the end by a bit
    }
    put(0b1100011, 7);
    return bits.Bytes();
}

// One fixed-code block, the last, of `literals` literals.
std::string LongFixedBlock(size_t literals) {
    TBitWriter bits;
    bits.Put(1, 1);
    bits.Put(1, 2);
    for (size_t i = 0; i < literals; ++i) {
        bits.PutCodeMsbFirst(0x30 + 'a' + i % 7, 8);
    }
    bits.PutCodeMsbFirst(0, 7);
    return bits.Bytes();
}

}  // namespace

class InflateEngines : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!MakeIsalInflateEngine()) {
            GTEST_SKIP() << "this build has zlib only";
        }
    }
};

TEST(InflateEngine, TheBuildsEngine) {
#ifdef ZUVO_HAVE_ISAL
    EXPECT_STREQ(MakeInflateEngine()->Name(), "ISA-L");
#else
    EXPECT_STREQ(MakeInflateEngine()->Name(), "zlib");
    EXPECT_EQ(MakeIsalInflateEngine(), nullptr);
#endif
}

TEST_F(InflateEngines, AgreeOnTheWholeCorpus) {
    const std::vector<std::string> streams = CorpusStreams();
    ASSERT_GT(streams.size(), 40u);
    int inflated = 0;
    for (size_t i = 0; i < streams.size(); ++i) {
        inflated += ExpectEnginesAgree(streams[i], "corpus stream " + std::to_string(i)) ? 1 : 0;
    }
    EXPECT_GT(inflated, 40);
}

// Bytes changed, runs overwritten and streams cut, over real and generated
// streams: the same verdict from both, or the same bytes.
TEST_F(InflateEngines, AgreeOnDamagedStreams) {
    std::vector<std::string> samples = CorpusStreams();
    samples.resize(std::min<size_t>(samples.size(), 30));
    samples.push_back(Deflate(PseudoRandomBytes(70000, 3) + std::string(70000, 'q'), true, 9));
    samples.push_back(Deflate(std::string(100000, 'r'), true, 1));
    uint32_t seed = 7;
    int failed = 0;
    for (size_t s = 0; s < samples.size(); ++s) {
        const std::string& sample = samples[s].substr(0, 60000);
        for (int round = 0; round < 24 && !sample.empty(); ++round) {
            std::string data = sample;
            const std::string noise = PseudoRandomBytes(data.size(), ++seed);
            const size_t at = noise[0] * 131u % data.size();
            if (round % 4 == 0) {
                data[at] = static_cast<char>(data[at] ^ (1 << (round % 8)));
            } else if (round % 4 == 1) {
                data.replace(at, std::min<size_t>(16, data.size() - at), noise.substr(0, 16));
            } else if (round % 4 == 2) {
                data.resize(at);
            } else {
                for (size_t i = at % 53; i < data.size(); i += 211) {
                    data[i] = noise[i];
                }
            }
            failed += ExpectEnginesAgree(
                          data, "sample " + std::to_string(s) + " round " + std::to_string(round))
                          ? 0
                          : 1;
        }
    }
    EXPECT_GT(failed, 100);
}

// Where the engines find a fault at different points: a stream cut at every
// byte, a distance reaching before the output, pure noise.
TEST_F(InflateEngines, AgreeWhereTheyDetectFaultsDifferently) {
    const std::string whole = Deflate(PseudoRandomBytes(3000, 9) + std::string(3000, 'x'), true, 6);
    for (size_t cut = 0; cut < whole.size(); ++cut) {
        EXPECT_FALSE(ExpectEnginesAgree(whole.substr(0, cut), "cut at " + std::to_string(cut)));
    }
    EXPECT_TRUE(ExpectEnginesAgree(whole, "whole"));
    std::string text;
    for (int i = 0; text.size() < 20000; ++i) {
        text += "block " + std::to_string(i * 7919 % 1000) + PseudoRandomBytes(i % 5, i) + " ";
    }
    const std::string blocks = DeflateSmallBlocks(text);
    for (size_t cut = 0; cut < blocks.size(); cut += 3) {
        std::string damaged = blocks.substr(0, cut);
        ExpectEnginesAgree(damaged, "small blocks cut at " + std::to_string(cut));
        if (cut + 8 < blocks.size()) {
            damaged = blocks;
            damaged[cut] = static_cast<char>(~damaged[cut]);
            ExpectEnginesAgree(damaged, "small blocks changed at " + std::to_string(cut));
        }
    }
    EXPECT_EQ(InflateWith(MakeIsalInflateEngine(), DistanceTooFarBack()).failure,
              "compressed data is damaged");
    EXPECT_FALSE(ExpectEnginesAgree(DistanceTooFarBack(), "too far back"));
    for (uint32_t seed = 100; seed < 5400; ++seed) {
        ExpectEnginesAgree(PseudoRandomBytes(1 + seed % 700, seed),
                           "noise " + std::to_string(seed));
    }
}

// Hand-built dynamic headers zlib refuses (over-subscribed, incomplete, no
// end-of-block code, repeats past the end, too many codes): both engines
// call them damaged, whole or cut anywhere, first block or later.
TEST_F(InflateEngines, RefuseTheSameDamagedHeaders) {
    const std::string damaged = "compressed data is damaged";
    // Good blocks before: a later block's header is judged too.
    z_stream zs{};
    deflateInit2(&zs, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    const std::string text = PseudoRandomBytes(20000, 4) + std::string(50000, 'z');
    std::string before(deflateBound(&zs, static_cast<uLong>(text.size())) + 64, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    zs.avail_in = static_cast<uInt>(text.size());
    zs.next_out = reinterpret_cast<Bytef*>(before.data());
    zs.avail_out = static_cast<uInt>(before.size());
    deflate(&zs, Z_SYNC_FLUSH);
    before.resize(zs.total_out);
    deflateEnd(&zs);
    for (const THeaderSample& sample : DamagedHeaderSamples()) {
        EXPECT_EQ(InflateWith(MakeIsalInflateEngine(), sample.bytes).failure, damaged)
            << sample.name;
        EXPECT_FALSE(ExpectEnginesAgree(sample.bytes, sample.name));
        EXPECT_EQ(InflateWith(MakeIsalInflateEngine(), before + sample.bytes).failure, damaged)
            << sample.name << " after good blocks";
        EXPECT_FALSE(ExpectEnginesAgree(before + sample.bytes, sample.name + " after good blocks"));
        for (size_t cut = 0; cut < sample.bytes.size(); ++cut) {
            ExpectEnginesAgree(sample.bytes.substr(0, cut),
                               sample.name + " cut at " + std::to_string(cut));
            ExpectEnginesAgree(before + sample.bytes.substr(0, cut),
                               sample.name + " after good blocks, cut at " + std::to_string(cut));
        }
    }
}

// Odd codes zlib takes (a single one-bit code, no distance code): both
// engines inflate them alike, also after good blocks.
TEST_F(InflateEngines, TakeTheSameOddHeaders) {
    for (const THeaderSample& sample : OddGoodHeaderSamples()) {
        EXPECT_TRUE(ExpectEnginesAgree(sample.bytes, sample.name));
        TBitWriter bits;
        bits.Put(0, 3);  // an empty stored block first, not the last
        std::string stream = bits.Bytes() + std::string("\x00\x00\xff\xff", 4);
        EXPECT_TRUE(ExpectEnginesAgree(stream + sample.bytes, sample.name + " after a block"));
    }
    EXPECT_EQ(InflateWith(MakeIsalInflateEngine(), OddGoodHeaderSamples()[3].bytes).output, "aaaa");
}

// A stream that runs from long blocks into hundreds of tiny ones (a byte
// or two each, flushed at odd bit positions and at byte boundaries) and
// back, with matches reaching across the runs: where the ISA-L engine
// restarts after each block, not a bit or byte of history is lost.
TEST_F(InflateEngines, AgreeAcrossRunsOfTinyBlocks) {
    const std::string text = PseudoRandomBytes(6000, 11) + std::string(3000, 'k');
    std::vector<std::pair<std::string, int>> pieces = {{text, Z_PARTIAL_FLUSH}};
    for (size_t i = 0; i < 300; ++i) {
        pieces.emplace_back(text.substr(i * 7, 1 + i % 2),
                            i % 3 == 0 ? Z_SYNC_FLUSH : Z_PARTIAL_FLUSH);
    }
    pieces.emplace_back(text.substr(100, 5000) + PseudoRandomBytes(9000, 12), Z_PARTIAL_FLUSH);
    for (size_t i = 0; i < 100; ++i) {
        pieces.emplace_back(text.substr(i * 13, 2), Z_PARTIAL_FLUSH);
    }
    pieces.emplace_back(text.substr(2000, 4000), Z_FINISH);
    z_stream zs{};
    deflateInit2(&zs, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string stream;
    std::string expected;
    for (const auto& [piece, flush] : pieces) {
        expected += piece;
        std::string out(deflateBound(&zs, static_cast<uLong>(piece.size())) + 64, '\0');
        zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
        zs.avail_in = static_cast<uInt>(piece.size());
        zs.next_out = reinterpret_cast<Bytef*>(out.data());
        zs.avail_out = static_cast<uInt>(out.size());
        deflate(&zs, flush);
        stream += out.substr(0, out.size() - zs.avail_out);
    }
    deflateEnd(&zs);
    ASSERT_TRUE(ExpectEnginesAgree(stream, "whole"));
    EXPECT_TRUE(InflateWith(MakeIsalInflateEngine(), stream).output == expected);
    for (size_t at = 0; at < stream.size(); at += 11) {
        ExpectEnginesAgree(stream.substr(0, at), "cut at " + std::to_string(at));
        std::string damaged = stream;
        damaged[at] = static_cast<char>(damaged[at] ^ (1 << (at % 8)));
        ExpectEnginesAgree(damaged, "changed at " + std::to_string(at));
    }
}

// ISA-L judges a symbol from the bits it has when its input ends inside
// one; zlib waits for the rest. A stream cut there is cut short for both,
// and damaged for both once the bits that break it are there: in a first
// block and in one that starts inside a byte.
TEST_F(InflateEngines, AgreeOnStreamsCutInsideASymbol) {
    const std::string truncated = InflateFailureText(TInflateFailure::Truncated);
    const std::string damaged = InflateFailureText(TInflateFailure::Damaged);
    for (const size_t literals : {size_t{1}, size_t{40000}}) {
        for (const bool offset : {false, true}) {
            const std::string cut = CutInsideAnUnusedSymbol(literals, offset);
            const std::string what =
                std::to_string(literals) + (offset ? " literals, offset" : " literals");
            EXPECT_EQ(InflateWith(MakeIsalInflateEngine(), cut).failure, truncated) << what;
            EXPECT_FALSE(ExpectEnginesAgree(cut, what));
            EXPECT_EQ(InflateWith(MakeIsalInflateEngine(), cut + "\xff").failure, damaged) << what;
            EXPECT_FALSE(ExpectEnginesAgree(cut + "\xff", what + ", one byte more"));
        }
    }
}

// A block longer than the engine keeps: sound, it inflates alike; cut
// anywhere in its last bytes, it is cut short for both; damaged and cut
// inside the damaged symbol, both refuse it, ISA-L by its own verdict.
TEST_F(InflateEngines, OnBlocksLongerThanTheKeptInputOnlyTheFailureNameMayDiffer) {
    const std::string truncated = InflateFailureText(TInflateFailure::Truncated);
    const std::string sound = LongFixedBlock(5000);
    const auto isal = [](const std::string& data) {
        return InflateWith(MakeIsalInflateEngine(64), data);
    };
    EXPECT_TRUE(isal(sound).output == InflateWith(MakeZLibInflateEngine(), sound).output);
    EXPECT_EQ(isal(sound).failure, "");
    for (size_t cut = sound.size() - 12; cut < sound.size(); ++cut) {
        EXPECT_EQ(isal(sound.substr(0, cut)).failure, truncated) << "cut at " << cut;
    }
    const std::string cut = CutInsideAnUnusedSymbol(5000, true);
    EXPECT_EQ(InflateWith(MakeZLibInflateEngine(), cut).failure, truncated);
    EXPECT_EQ(isal(cut).failure, InflateFailureText(TInflateFailure::Damaged));
}
