#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "DecoderTestSupport.h"
#include "InflateHeaderSamples.h"
#include "zip/codec/DeflateBlockHeader.h"

// The block header reader against zlib itself: it must refuse what zlib
// refuses, in zlib's words, take what zlib takes, and, on a header cut
// short, call it damaged exactly when zlib already does.

namespace {

const uint8_t* Data(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

// zlib's message when it finds the raw deflate bytes damaged; empty when it
// inflates them or only runs out of input.
std::string ZLibFault(const std::string& bytes) {
    z_stream zs{};
    inflateInit2(&zs, -MAX_WBITS);
    std::string out(1 << 16, '\0');
    zs.next_in = const_cast<Bytef*>(Data(bytes));
    zs.avail_in = static_cast<uInt>(bytes.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    const int r = inflate(&zs, Z_FINISH);
    const std::string fault = r == Z_DATA_ERROR && zs.msg != nullptr ? zs.msg : "";
    inflateEnd(&zs);
    return fault;
}

THeaderVerdict Read(const std::string& bytes, TBlockHeader& header) {
    THeaderBits bits;
    bits.first = Data(bytes);
    bits.firstCount = bytes.size();
    return ReadBlockHeader(bits, header);
}

// The same bytes split three ways: `heldBits` bits in the bit buffer (the
// top ones of its bytes), then two spans.
THeaderVerdict ReadSplit(const std::string& bytes, int heldBytes, int skipBits, size_t cut,
                         TBlockHeader& header) {
    THeaderBits bits;
    for (int i = 0; i < heldBytes; ++i) {
        bits.held |= uint64_t{static_cast<uint8_t>(bytes[static_cast<size_t>(i)])} << (8 * i);
    }
    bits.held >>= skipBits;
    bits.heldBits = 8 * heldBytes - skipBits;
    const std::string rest = bytes.substr(static_cast<size_t>(heldBytes));
    cut = std::min(cut, rest.size());
    bits.first = Data(rest);
    bits.firstCount = cut;
    bits.second = Data(rest) + cut;
    bits.secondCount = rest.size() - cut;
    return ReadBlockHeader(bits, header);
}

}  // namespace

TEST(InflateBlockHeader, RefusesWhatZLibRefusesInItsWords) {
    for (const THeaderSample& sample : DamagedHeaderSamples()) {
        TBlockHeader header;
        EXPECT_EQ(Read(sample.bytes, header), THeaderVerdict::Damaged) << sample.name;
        EXPECT_EQ(header.fault == nullptr ? "" : std::string(header.fault), sample.fault)
            << sample.name;
        EXPECT_EQ(ZLibFault(sample.bytes), sample.fault) << sample.name;
    }
}

TEST(InflateBlockHeader, TakesTheOddCodesZLibTakes) {
    for (const THeaderSample& sample : OddGoodHeaderSamples()) {
        TBlockHeader header;
        EXPECT_EQ(Read(sample.bytes, header), THeaderVerdict::Complete) << sample.name;
        EXPECT_TRUE(header.last) << sample.name;
        EXPECT_EQ(header.type, 2u) << sample.name;
        EXPECT_EQ(ZLibFault(sample.bytes), "") << sample.name;
    }
    TBlockHeader header;
    EXPECT_EQ(Read(Deflate("fixed codes for so short a text"), header), THeaderVerdict::Complete);
    EXPECT_EQ(header.type, 1u);
    EXPECT_EQ(Read(std::string("\x00\x01\x00\xfe\xff!", 6), header), THeaderVerdict::Complete);
    EXPECT_EQ(header.type, 0u);
    EXPECT_FALSE(header.last);
}

// A header cut at every byte: damaged where zlib already finds the fault in
// the bits it has, otherwise waiting for more, never complete too early.
TEST(InflateBlockHeader, ACutHeaderIsDamagedExactlyWhenZLibSaysSo) {
    std::vector<THeaderSample> samples = DamagedHeaderSamples();
    for (const THeaderSample& good : OddGoodHeaderSamples()) {
        samples.push_back(good);
    }
    samples.push_back({"a real dynamic header", Deflate(PseudoRandomBytes(400, 5) + "abcabc"), ""});
    for (const THeaderSample& sample : samples) {
        TBlockHeader whole;
        const THeaderVerdict wholeVerdict = Read(sample.bytes, whole);
        for (size_t cut = 0; cut < sample.bytes.size(); ++cut) {
            const std::string prefix = sample.bytes.substr(0, cut);
            TBlockHeader header;
            const THeaderVerdict verdict = Read(prefix, header);
            const std::string zlibFault = ZLibFault(prefix);
            const std::string what = sample.name + " cut at " + std::to_string(cut);
            EXPECT_EQ(verdict == THeaderVerdict::Damaged, !zlibFault.empty()) << what;
            if (verdict == THeaderVerdict::Damaged) {
                EXPECT_EQ(std::string(header.fault), zlibFault) << what;
            }
            if (verdict == THeaderVerdict::Complete) {
                EXPECT_EQ(wholeVerdict, THeaderVerdict::Complete) << what;
            }
        }
    }
}

// Bits held back from earlier bytes and input in two pieces read as one.
TEST(InflateBlockHeader, ReadsAcrossHeldBitsAndTwoSpans) {
    std::vector<THeaderSample> samples = DamagedHeaderSamples();
    for (const THeaderSample& good : OddGoodHeaderSamples()) {
        samples.push_back(good);
    }
    for (const THeaderSample& sample : samples) {
        TBlockHeader expected;
        const THeaderVerdict verdict = Read(sample.bytes, expected);
        for (int heldBytes = 0;
             heldBytes <= 8 && heldBytes <= static_cast<int>(sample.bytes.size()); heldBytes += 3) {
            for (size_t cut : {size_t{0}, size_t{1}, size_t{5}, size_t{40}}) {
                TBlockHeader header;
                EXPECT_EQ(ReadSplit(sample.bytes, heldBytes, 0, cut, header), verdict)
                    << sample.name << " held " << heldBytes << " cut " << cut;
                EXPECT_EQ(header.fault, expected.fault) << sample.name;
            }
        }
    }
    // A header that starts inside a byte: its stored lengths start at the
    // next byte boundary of the stream, wherever the bit buffer ends.
    const std::string stored = std::string("\x00\x05\x00\xfa\xff", 5) + "hello";
    TBitWriter bits;
    bits.Put(0x15, 5);  // the end of a block before it
    bits.Put(0, 3);     // a stored block, not the last
    const std::string shifted = bits.Bytes() + stored.substr(1);
    TBlockHeader header;
    EXPECT_EQ(ReadSplit(shifted, 1, 5, 0, header), THeaderVerdict::Complete);
    EXPECT_EQ(ReadSplit(shifted, 4, 5, 0, header), THeaderVerdict::Complete);
    EXPECT_EQ(header.type, 0u);
    std::string broken = shifted;
    broken[3] = '\x00';
    EXPECT_EQ(ReadSplit(broken, 2, 5, 1, header), THeaderVerdict::Damaged);
}
