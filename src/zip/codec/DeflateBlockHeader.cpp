#include "zip/codec/DeflateBlockHeader.h"

#include <algorithm>
#include <array>

namespace {

// Format notes: a dynamic header holds at most 286 literal/length and 30
// distance code lengths (the 5-bit counts reach 288 and 32, which zlib
// refuses); the code-length code has 19 symbols of up to 7 bits, sent in a
// fixed order; code lengths 16, 17 and 18 repeat the previous length 3-6
// times or zero 3-10 and 11-138 times, and may run on from the literal/
// length lengths into the distance lengths, but not past their end.
constexpr int kMaxLiteralCodes = 286;
constexpr int kMaxDistanceCodes = 30;
constexpr int kCodeLengthCodes = 19;
constexpr int kCodeLengthBits = 7;
constexpr std::array<uint8_t, kCodeLengthCodes> kCodeLengthOrder = {
    16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
constexpr int kEndOfBlock = 256;

// A bit reader over THeaderBits that says when it runs out instead of
// failing: the caller then answers NeedMore. Whole bytes are loaded above
// the bits at hand, so the top of the buffer is always a byte boundary.
class TBitCursor {
  public:
    explicit TBitCursor(const THeaderBits& bits)
        : buffer_(bits.heldBits >= 64 ? bits.held
                                      : bits.held & ((uint64_t{1} << bits.heldBits) - 1)),
          count_(bits.heldBits),
          at_(bits.first),
          left_(bits.firstCount),
          next_(bits.second),
          nextLeft_(bits.secondCount) {}

    // True when `n` (at most 32) bits are at hand; loads what it can.
    bool Have(int n) {
        while (count_ < n && Load()) {
        }
        return count_ >= n;
    }
    int Count() const { return count_; }
    // The next `n` bits (after Have(n)); bits beyond Count() read as zero.
    uint32_t Peek(int n) const { return static_cast<uint32_t>(buffer_ & ((uint64_t{1} << n) - 1)); }
    void Drop(int n) {
        buffer_ >>= n;
        count_ -= n;
    }
    uint32_t Take(int n) {
        const uint32_t v = Peek(n);
        Drop(n);
        return v;
    }
    // Skips the rest of the byte the last bit taken came from.
    void DropToByte() { Drop(count_ % 8); }

  private:
    bool Load() {
        if (left_ >= 8) {
            // Most headers lie in one span: take as many whole bytes at once
            // as the buffer has room for.
            uint64_t word = 0;
            for (int i = 7; i >= 0; --i) {
                word = (word << 8) | at_[i];
            }
            const int bytes = (63 - count_) / 8;  // Have() loads below 32 bits
            buffer_ |= (word & ((uint64_t{1} << (8 * bytes)) - 1)) << count_;
            at_ += bytes;
            left_ -= static_cast<size_t>(bytes);
            count_ += 8 * bytes;
            return true;
        }
        if (left_ == 0) {
            if (nextLeft_ == 0) {
                return false;
            }
            at_ = next_;
            left_ = nextLeft_;
            nextLeft_ = 0;
        }
        buffer_ |= uint64_t{*at_++} << count_;
        --left_;
        count_ += 8;
        return true;
    }

    uint64_t buffer_;
    int count_;
    const uint8_t* at_;
    size_t left_;
    const uint8_t* next_;
    size_t nextLeft_;
};

// Whether zlib takes a code with these lengths. Every code may be empty (a
// block of literals only has no distance code; an empty code-length code
// reads each length as a 1-bit zero); none may be over-subscribed; an
// incomplete one is taken only for literals/lengths and distances, and only
// when it is a single code of one bit.
bool ZLibTakesCode(const uint8_t* lengths, int count, bool singleCodeAllowed) {
    std::array<int, 16> perLength{};
    for (int i = 0; i < count; ++i) {
        ++perLength[lengths[i]];
    }
    int longest = 15;
    while (longest > 0 && perLength[longest] == 0) {
        --longest;
    }
    if (longest == 0) {
        return true;
    }
    int left = 1;
    for (int length = 1; length <= 15; ++length) {
        left = 2 * left - perLength[length];
        if (left < 0) {
            return false;  // over-subscribed
        }
    }
    return left == 0 || (singleCodeAllowed && longest == 1);
}

struct TCodeLengthEntry {
    uint8_t symbol = 0;
    uint8_t bits = 0;
};
using TCodeLengthTable = std::array<TCodeLengthEntry, 1u << kCodeLengthBits>;

// The code-length code as a table indexed by the next 7 bits of input
// (codes are sent most significant bit first into a stream read least
// significant first, hence the reversal). `lengths` must form a complete
// code or be all zero.
TCodeLengthTable BuildCodeLengthTable(const std::array<uint8_t, kCodeLengthCodes>& lengths) {
    TCodeLengthTable table;
    table.fill(TCodeLengthEntry{0, 1});  // the empty code: zlib reads 1-bit zeros
    std::array<int, kCodeLengthBits + 1> perLength{};
    for (const uint8_t length : lengths) {
        ++perLength[length];
    }
    perLength[0] = 0;
    std::array<uint32_t, kCodeLengthBits + 2> nextCode{};
    for (int length = 1; length <= kCodeLengthBits; ++length) {
        nextCode[length + 1] = (nextCode[length] + perLength[length]) << 1;
    }
    for (int symbol = 0; symbol < kCodeLengthCodes; ++symbol) {
        const int length = lengths[symbol];
        if (length == 0) {
            continue;
        }
        const uint32_t code = nextCode[length]++;
        uint32_t reversed = 0;
        for (int b = 0; b < length; ++b) {
            reversed |= ((code >> b) & 1u) << (length - 1 - b);
        }
        for (uint32_t fill = reversed; fill < table.size(); fill += 1u << length) {
            table[fill] = {static_cast<uint8_t>(symbol), static_cast<uint8_t>(length)};
        }
    }
    return table;
}

THeaderVerdict Fault(TBlockHeader& header, const char* fault) {
    header.fault = fault;
    return THeaderVerdict::Damaged;
}

// Length and complement of a stored block, from the next byte boundary.
THeaderVerdict ReadStoredLengths(TBitCursor& in, TBlockHeader& header) {
    in.DropToByte();
    if (!in.Have(32)) {
        return THeaderVerdict::NeedMore;
    }
    const uint32_t length = in.Take(16);
    const uint32_t complement = in.Take(16);
    if (length != (~complement & 0xFFFFu)) {
        return Fault(header, "invalid stored block lengths");
    }
    return THeaderVerdict::Complete;
}

// The literal/length and distance code lengths, run-length coded with the
// code-length code; `total` lengths in all.
THeaderVerdict ReadCodeLengths(TBitCursor& in, const TCodeLengthTable& table, int total,
                               uint8_t* lengths, TBlockHeader& header) {
    int have = 0;
    while (have < total) {
        in.Have(kCodeLengthBits);
        const TCodeLengthEntry entry = table[in.Peek(kCodeLengthBits)];
        if (entry.bits > in.Count()) {
            return THeaderVerdict::NeedMore;
        }
        if (entry.symbol < 16) {
            in.Drop(entry.bits);
            lengths[have++] = entry.symbol;
            continue;
        }
        // zlib takes the repeat's extra bits before it judges the repeat.
        const int extraBits = entry.symbol == 16 ? 2 : entry.symbol == 17 ? 3 : 7;
        if (!in.Have(entry.bits + extraBits)) {
            return THeaderVerdict::NeedMore;
        }
        in.Drop(entry.bits);
        if (entry.symbol == 16 && have == 0) {
            return Fault(header, "invalid bit length repeat");
        }
        const uint8_t value = entry.symbol == 16 ? lengths[have - 1] : 0;
        const int repeat = static_cast<int>(in.Take(extraBits)) + (entry.symbol == 18 ? 11 : 3);
        if (have + repeat > total) {
            return Fault(header, "invalid bit length repeat");
        }
        std::fill_n(lengths + have, repeat, value);
        have += repeat;
    }
    return THeaderVerdict::Complete;
}

THeaderVerdict ReadDynamicCodes(TBitCursor& in, TBlockHeader& header) {
    if (!in.Have(14)) {
        return THeaderVerdict::NeedMore;
    }
    const int literalCodes = static_cast<int>(in.Take(5)) + 257;
    const int distanceCodes = static_cast<int>(in.Take(5)) + 1;
    const int codeLengthCodes = static_cast<int>(in.Take(4)) + 4;
    if (literalCodes > kMaxLiteralCodes || distanceCodes > kMaxDistanceCodes) {
        return Fault(header, "too many length or distance symbols");
    }
    std::array<uint8_t, kCodeLengthCodes> codeLengthLengths{};
    for (int i = 0; i < codeLengthCodes; ++i) {
        if (!in.Have(3)) {
            return THeaderVerdict::NeedMore;
        }
        codeLengthLengths[kCodeLengthOrder[i]] = static_cast<uint8_t>(in.Take(3));
    }
    if (!ZLibTakesCode(codeLengthLengths.data(), kCodeLengthCodes, false)) {
        return Fault(header, "invalid code lengths set");
    }
    std::array<uint8_t, kMaxLiteralCodes + kMaxDistanceCodes> lengths{};
    const THeaderVerdict read =
        ReadCodeLengths(in, BuildCodeLengthTable(codeLengthLengths), literalCodes + distanceCodes,
                        lengths.data(), header);
    if (read != THeaderVerdict::Complete) {
        return read;
    }
    if (lengths[kEndOfBlock] == 0) {
        return Fault(header, "invalid code -- missing end-of-block");
    }
    if (!ZLibTakesCode(lengths.data(), literalCodes, true)) {
        return Fault(header, "invalid literal/lengths set");
    }
    if (!ZLibTakesCode(lengths.data() + literalCodes, distanceCodes, true)) {
        return Fault(header, "invalid distances set");
    }
    return THeaderVerdict::Complete;
}

}  // namespace

THeaderVerdict ReadBlockHeader(const THeaderBits& bits, TBlockHeader& header) {
    header = TBlockHeader{};
    TBitCursor in(bits);
    if (!in.Have(3)) {
        return THeaderVerdict::NeedMore;
    }
    header.last = in.Take(1) != 0;
    header.type = in.Take(2);
    switch (header.type) {
        case 0:
            return ReadStoredLengths(in, header);
        case 1:
            return THeaderVerdict::Complete;
        case 2:
            return ReadDynamicCodes(in, header);
        default:
            return Fault(header, "invalid block type");
    }
}
