#include "InflateHeaderSamples.h"

#include <cstdint>

#include "DecoderTestSupport.h"

namespace {

constexpr std::array<int, 19> kOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                        11, 4,  12, 3, 13, 2, 14, 1, 15};

// A dynamic header whose literal/length lengths are `literal` and distance
// lengths `distance`, each sent by itself.
TDynamicHeader HeaderFor(const std::vector<int>& literal, const std::vector<int>& distance) {
    TDynamicHeader h;
    h.literalCodes = static_cast<int>(literal.size());
    h.distanceCodes = static_cast<int>(distance.size());
    std::vector<int> all = literal;
    all.insert(all.end(), distance.begin(), distance.end());
    h.tokens = TokensFor(all);
    return h;
}

// A sound pair of codes: 'a' and end-of-block of one bit each, one distance
// code of one bit.
std::vector<int> SoundLiterals() { return LengthsWith(257, {{'a', 1}, {256, 1}}); }

std::string Bytes(const TDynamicHeader& h, const std::string& after = std::string(48, '\x55')) {
    TBitWriter bits;
    WriteDynamicHeader(h, bits);
    return bits.Bytes() + after;
}

void AddDamaged(std::vector<THeaderSample>& out, std::string name, const TDynamicHeader& h,
                std::string fault) {
    out.push_back({std::move(name), Bytes(h), std::move(fault)});
}

}  // namespace

std::vector<int> LengthsWith(int count, const std::vector<std::pair<int, int>>& nonZero) {
    std::vector<int> lengths(static_cast<size_t>(count), 0);
    for (const auto& [symbol, length] : nonZero) {
        lengths[static_cast<size_t>(symbol)] = length;
    }
    return lengths;
}

std::vector<std::pair<int, int>> TokensFor(const std::vector<int>& lengths) {
    std::vector<std::pair<int, int>> tokens;
    for (const int length : lengths) {
        tokens.emplace_back(length, 0);
    }
    return tokens;
}

std::vector<uint32_t> CanonicalCodes(const std::vector<int>& lengths) {
    std::array<uint32_t, 17> perLength{};
    for (const int length : lengths) {
        ++perLength[static_cast<size_t>(length)];
    }
    perLength[0] = 0;
    std::array<uint32_t, 17> next{};
    for (size_t length = 1; length < 16; ++length) {
        next[length + 1] = (next[length] + perLength[length]) << 1;
    }
    std::vector<uint32_t> codes(lengths.size(), 0);
    for (size_t symbol = 0; symbol < lengths.size(); ++symbol) {
        if (lengths[symbol] > 0) {
            codes[symbol] = next[static_cast<size_t>(lengths[symbol])]++;
        }
    }
    return codes;
}

void WriteDynamicHeader(const TDynamicHeader& h, TBitWriter& bits) {
    bits.Put(h.last ? 1 : 0, 1);
    bits.Put(2, 2);
    bits.Put(static_cast<uint32_t>(h.literalCodes - 257), 5);
    bits.Put(static_cast<uint32_t>(h.distanceCodes - 1), 5);
    bits.Put(static_cast<uint32_t>(h.codeLengthCodes - 4), 4);
    for (int i = 0; i < h.codeLengthCodes; ++i) {
        bits.Put(static_cast<uint32_t>(h.codeLengthLengths[static_cast<size_t>(kOrder[i])]), 3);
    }
    const std::vector<int> lengths(h.codeLengthLengths.begin(), h.codeLengthLengths.end());
    const std::vector<uint32_t> codes = CanonicalCodes(lengths);
    for (const auto& [symbol, extra] : h.tokens) {
        const auto s = static_cast<size_t>(symbol);
        bits.PutCodeMsbFirst(codes[s], static_cast<unsigned>(lengths[s]));
        if (symbol >= 16) {
            bits.Put(static_cast<uint32_t>(extra), symbol == 16 ? 2 : symbol == 17 ? 3 : 7);
        }
    }
}

std::vector<THeaderSample> DamagedHeaderSamples() {
    std::vector<THeaderSample> out;
    const std::vector<int> dist1 = {1};
    TDynamicHeader h = HeaderFor(SoundLiterals(), dist1);
    h.codeLengthLengths.fill(0);
    h.codeLengthLengths[0] = h.codeLengthLengths[1] = h.codeLengthLengths[2] = 1;
    AddDamaged(out, "over-subscribed code-length code", h, "invalid code lengths set");
    h.codeLengthLengths.fill(0);
    h.codeLengthLengths[0] = h.codeLengthLengths[1] = 2;
    AddDamaged(out, "incomplete code-length code", h, "invalid code lengths set");
    h.codeLengthLengths.fill(0);
    h.codeLengthLengths[1] = 1;
    AddDamaged(out, "single code-length code", h, "invalid code lengths set");
    h.codeLengthLengths.fill(0);
    AddDamaged(out, "empty code-length code", h, "invalid code -- missing end-of-block");

    AddDamaged(out, "over-subscribed literal/length code",
               HeaderFor(LengthsWith(257, {{'a', 1}, {'b', 1}, {256, 1}}), dist1),
               "invalid literal/lengths set");
    AddDamaged(out, "incomplete literal/length code",
               HeaderFor(LengthsWith(257, {{'a', 2}, {'b', 2}, {256, 2}}), dist1),
               "invalid literal/lengths set");
    AddDamaged(out, "no end-of-block code",
               HeaderFor(LengthsWith(257, {{'a', 1}, {'b', 1}}), dist1),
               "invalid code -- missing end-of-block");
    AddDamaged(out, "over-subscribed distance code", HeaderFor(SoundLiterals(), {1, 1, 1}),
               "invalid distances set");
    AddDamaged(out, "incomplete distance code", HeaderFor(SoundLiterals(), {2, 2, 2}),
               "invalid distances set");

    h = HeaderFor(SoundLiterals(), dist1);
    h.tokens.insert(h.tokens.begin(), {16, 0});
    AddDamaged(out, "repeat with no length before it", h, "invalid bit length repeat");
    h = HeaderFor(SoundLiterals(), dist1);
    h.tokens.resize(250);
    h.tokens.emplace_back(18, 127);  // 138 zeros where 8 lengths are left
    AddDamaged(out, "zeros repeated past the end", h, "invalid bit length repeat");
    h = HeaderFor(SoundLiterals(), dist1);
    h.tokens.resize(256);
    h.tokens.emplace_back(1, 0);
    h.tokens.emplace_back(16, 0);  // three more ones where one length is left
    AddDamaged(out, "previous length repeated past the end", h, "invalid bit length repeat");

    h = HeaderFor(LengthsWith(287, {{'a', 1}, {256, 1}}), dist1);
    AddDamaged(out, "HLIT beyond 286", h, "too many length or distance symbols");
    h = HeaderFor(SoundLiterals(), std::vector<int>(31, 5));
    AddDamaged(out, "HDIST beyond 30", h, "too many length or distance symbols");

    out.push_back({"reserved block type", std::string("\x07\x00\x00", 3), "invalid block type"});
    out.push_back({"stored lengths that disagree", std::string("\x01\x05\x00\xfa\xfe", 5) + "hello",
                   "invalid stored block lengths"});
    return out;
}

std::vector<THeaderSample> OddGoodHeaderSamples() {
    std::vector<THeaderSample> out;
    // Body bits after each header: 'a' is code 0, end-of-block code 1.
    TBitWriter bits;
    WriteDynamicHeader(HeaderFor(SoundLiterals(), {1}), bits);
    bits.Put(0, 1);
    bits.Put(0, 1);
    bits.Put(1, 1);
    out.push_back({"one-bit codes", bits.Bytes(), ""});

    bits = TBitWriter{};
    WriteDynamicHeader(HeaderFor(LengthsWith(257, {{256, 1}}), {1}), bits);
    bits.Put(0, 1);
    out.push_back({"only the end-of-block code", bits.Bytes(), ""});

    bits = TBitWriter{};
    WriteDynamicHeader(HeaderFor(SoundLiterals(), {0}), bits);
    bits.Put(0, 2);
    bits.Put(1, 1);
    out.push_back({"no distance code", bits.Bytes(), ""});

    // A literal, then a match of 3 at distance 1 through the single
    // distance code (length 3 is symbol 257).
    bits = TBitWriter{};
    const std::vector<int> literal = LengthsWith(258, {{'a', 1}, {256, 2}, {257, 2}});
    WriteDynamicHeader(HeaderFor(literal, {1}), bits);
    const std::vector<uint32_t> codes = CanonicalCodes(literal);
    bits.PutCodeMsbFirst(codes['a'], 1);
    bits.PutCodeMsbFirst(codes[257], 2);
    bits.Put(0, 1);  // distance code 0: distance 1
    bits.PutCodeMsbFirst(codes[256], 2);
    out.push_back({"single distance code", bits.Bytes(), ""});

    TDynamicHeader h = HeaderFor(SoundLiterals(), {1});
    // 97 zeros, 'a', 10 + 138 + 10 zeros, end-of-block, the distance code.
    h.tokens.assign({{18, 86}, {1, 0}, {17, 7}, {18, 127}, {17, 7}, {1, 0}, {1, 0}});
    bits = TBitWriter{};
    WriteDynamicHeader(h, bits);
    bits.Put(0, 1);
    bits.Put(1, 1);
    out.push_back({"lengths sent in runs", bits.Bytes(), ""});
    return out;
}
