#include "zip/codec/Explode.h"

#include <array>
#include <new>

#include "zip/codec/SlidingWindow.h"

namespace {

constexpr uint32_t kWindowSize = 32768;
constexpr unsigned kMaxCodeBits = 16;
constexpr unsigned kMaxLookupBits = 9;
constexpr uint16_t kFlagBigDictionary = 0x0002;
constexpr uint16_t kFlagLiteralTree = 0x0004;

struct TExplodeWindow {
    uint8_t bytes[kWindowSize];
};
static_assert(sizeof(TExplodeWindow) <= TEntryStages::kScratchSize);

// One decoding tree: canonical codes from the bit lengths (shorter codes
// first, equal lengths in symbol order), a direct lookup of `lookupBits`
// bits for the short codes, and the counts for walking longer codes bit by
// bit.
struct TTree {
    std::array<uint16_t, kMaxCodeBits + 1> count{};
    std::array<uint16_t, 256> symbol{};
    // length << 8 | symbol; 0 for codes longer than the lookup width.
    std::array<uint16_t, 1u << kMaxLookupBits> fast{};
    unsigned lookupBits = 0;
};

// The decoder's one state: the input bits, the dictionary and the counts.
struct TExplodeState {
    TEntryStages& stages;
    TSlidingWindow<kWindowSize> out;
    uint32_t bitBuffer = 0;
    unsigned bitCount = 0;
    bool truncated = false;
};

// Holds at least `n` (up to 24) bits unless the input ends; missing bits
// read as zero.
void Need(TExplodeState& s, unsigned n) {
    uint8_t byte = 0;
    while (s.bitCount < n && s.stages.ReadByte(byte) == 8) {
        s.bitBuffer |= static_cast<uint32_t>(byte) << s.bitCount;
        s.bitCount += 8;
    }
}

// Drops `n` bits; asking for more than the data holds marks it truncated.
void Drop(TExplodeState& s, unsigned n) {
    if (s.bitCount < n) {
        s.truncated = true;
        n = s.bitCount;
    }
    s.bitBuffer >>= n;
    s.bitCount -= n;
}

// The next `n` (up to 16) raw bits, least significant first.
uint32_t Bits(TExplodeState& s, unsigned n) {
    Need(s, n);
    const uint32_t value = s.bitBuffer & ((1u << n) - 1);
    Drop(s, n);
    return value;
}

// Reads a tree's stored bit lengths: a count byte, then bytes of (repeat - 1)
// << 4 | (length - 1). Returns false unless they give exactly `n` lengths.
bool ReadLengths(TExplodeState& s, uint8_t* lengths, unsigned n) {
    uint8_t byte = 0;
    if (s.stages.ReadByte(byte) != 8) {
        s.truncated = true;
        return false;
    }
    const unsigned groups = byte + 1u;
    unsigned filled = 0;
    for (unsigned g = 0; g < groups; ++g) {
        if (s.stages.ReadByte(byte) != 8) {
            s.truncated = true;
            return false;
        }
        const unsigned length = (byte & 0x0Fu) + 1;
        const unsigned repeat = (byte >> 4) + 1u;
        if (filled + repeat > n) {
            return false;
        }
        for (unsigned i = 0; i < repeat; ++i) {
            lengths[filled++] = static_cast<uint8_t>(length);
        }
    }
    return filled == n;
}

// Reverses the low `length` bits of `code`.
unsigned Reverse(unsigned code, unsigned length) {
    unsigned reversed = 0;
    for (unsigned i = 0; i < length; ++i) {
        reversed = (reversed << 1) | ((code >> i) & 1u);
    }
    return reversed;
}

// Fills the direct lookup: the stream holds each code's first bit lowest,
// so a code of `len` bits sits at its reversed value, repeated for every
// value of the bits above it.
void FillLookup(TTree& t, const uint8_t* lengths, unsigned n) {
    unsigned code = 0;
    for (unsigned len = 1; len <= t.lookupBits; ++len) {
        for (unsigned sym = 0; sym < n; ++sym) {
            if (lengths[sym] != len) {
                continue;
            }
            const auto entry = static_cast<uint16_t>(len << 8 | sym);
            for (unsigned k = Reverse(code, len); k < (1u << t.lookupBits); k += 1u << len) {
                t.fast[k] = entry;
            }
            ++code;
        }
        code <<= 1;
    }
}

// Builds a tree from `n` lengths (1 to 16 bits). Returns false for a set of
// lengths that over-subscribes or leaves part of the code space unused.
// Format note: the stored Shannon-Fano codes are the complements of these
// canonical codes, which is why the decoder inverts every input bit.
bool Build(TTree& t, const uint8_t* lengths, unsigned n, unsigned lookupBits) {
    t.count.fill(0);
    t.fast.fill(0);
    t.lookupBits = lookupBits;
    for (unsigned sym = 0; sym < n; ++sym) {
        ++t.count[lengths[sym]];
    }
    int left = 1;
    for (unsigned len = 1; len <= kMaxCodeBits; ++len) {
        left = (left << 1) - t.count[len];
        if (left < 0) {
            return false;
        }
    }
    if (left != 0) {
        return false;
    }
    std::array<uint16_t, kMaxCodeBits + 2> offset{};
    for (unsigned len = 1; len <= kMaxCodeBits; ++len) {
        offset[len + 1] = static_cast<uint16_t>(offset[len] + t.count[len]);
    }
    for (unsigned sym = 0; sym < n; ++sym) {
        t.symbol[offset[lengths[sym]]++] = static_cast<uint16_t>(sym);
    }
    FillLookup(t, lengths, n);
    return true;
}

// Decodes a code longer than the lookup width one (inverted) bit at a time.
int DecodeSlow(TExplodeState& s, const TTree& t) {
    int code = 0;
    int first = 0;
    int index = 0;
    for (unsigned len = 1; len <= kMaxCodeBits; ++len) {
        code |= static_cast<int>(Bits(s, 1) ^ 1u);
        const int count = t.count[len];
        if (code - count < first) {
            return t.symbol[static_cast<size_t>(index + (code - first))];
        }
        index += count;
        first = (first + count) << 1;
        code <<= 1;
    }
    return -1;  // cannot happen for a complete tree
}

// Decodes one symbol; on truncation the result is meaningless and
// s.truncated is set.
int Decode(TExplodeState& s, const TTree& t) {
    Need(s, t.lookupBits);
    const uint32_t peek = ~s.bitBuffer & ((1u << t.lookupBits) - 1);
    const uint16_t entry = t.fast[peek];
    if (entry != 0) {
        Drop(s, entry >> 8);
        return entry & 0xFF;
    }
    return DecodeSlow(s, t);
}

struct TTrees {
    TTree literal;
    TTree length;
    TTree distance;
};

// Reads and builds the stored trees in their order: literal (when present),
// length, distance.
bool ReadTrees(TExplodeState& s, TTrees& trees, bool literalTree) {
    std::array<uint8_t, 256> lengths{};
    if (literalTree &&
        !(ReadLengths(s, lengths.data(), 256) && Build(trees.literal, lengths.data(), 256, 9))) {
        return false;
    }
    const unsigned distanceBits = ExplodeDistanceLookupBits(s.stages.CompressedLeft());
    return ReadLengths(s, lengths.data(), 64) && Build(trees.length, lengths.data(), 64, 7) &&
           ReadLengths(s, lengths.data(), 64) &&
           Build(trees.distance, lengths.data(), 64, distanceBits);
}

// Decodes literals and matches until the uncompressed size is produced.
bool Expand(TExplodeState& s, const TTrees& trees, uint16_t flags) {
    const bool literalTree = (flags & kFlagLiteralTree) != 0;
    const unsigned lowBits = (flags & kFlagBigDictionary) != 0 ? 7 : 6;
    const unsigned minLength = literalTree ? 3 : 2;
    int64_t left = s.stages.UncompressedSize();
    while (left > 0) {
        if (Bits(s, 1) == 1) {
            const int literal =
                literalTree ? Decode(s, trees.literal) : static_cast<int>(Bits(s, 8));
            if (s.truncated) {
                return false;
            }
            s.out.Put(static_cast<uint8_t>(literal));
            --left;
            continue;
        }
        const uint32_t low = Bits(s, lowBits);
        const int high = Decode(s, trees.distance);
        const int code = Decode(s, trees.length);
        int64_t length = code + minLength;
        if (code == 63) {
            length += Bits(s, 8);
        }
        if (s.truncated || high < 0 || code < 0) {
            return false;
        }
        length = std::min(length, left);
        s.out.Copy((static_cast<uint32_t>(high) << lowBits) + low + 1, length);
        left -= length;
    }
    return true;
}

}  // namespace

unsigned ExplodeDistanceLookupBits(int64_t compressedLeft) {
    return compressedLeft > 200000 ? 8 : 7;
}

TDecodeResult Explode(TEntryStages& stages, uint16_t generalPurposeFlags) {
    auto* window = new (stages.Scratch()) TExplodeWindow;
    TExplodeState s{stages, TSlidingWindow<kWindowSize>(stages, window->bytes)};
    TTrees trees;
    if (!ReadTrees(s, trees, (generalPurposeFlags & kFlagLiteralTree) != 0)) {
        return s.truncated ? TDecodeResult::Truncated : TDecodeResult::Corrupt;
    }
    if (!Expand(s, trees, generalPurposeFlags)) {
        return s.truncated ? TDecodeResult::Truncated : TDecodeResult::Corrupt;
    }
    s.out.Finish();
    return TDecodeResult::Complete;
}
