#include "zip/codec/Unreduce.h"

#include <array>
#include <new>

#include "zip/codec/SlidingWindow.h"

namespace {

constexpr uint32_t kWindowSize = 16384;
constexpr unsigned kMaxFollowers = 64;
constexpr uint8_t kDle = 144;

// Lives in the stages' scratch area: the sliding window, then one row of
// followers per byte value.
struct TReduceTables {
    uint8_t window[kWindowSize];
    uint8_t followers[256][kMaxFollowers];
};
static_assert(sizeof(TReduceTables) <= TEntryStages::kScratchSize);

struct TFactorMasks {
    unsigned lengthMask;
    unsigned distanceShift;
    unsigned distanceMask;
};

// Indexed by factor - 1. Format note: the length takes the low 8 - factor
// bits of the byte after DLE, the high factor bits are the top of the
// distance.
constexpr std::array<TFactorMasks, 4> kFactors{{
    {0x7F, 7, 0x01},
    {0x3F, 6, 0x03},
    {0x1F, 5, 0x07},
    {0x0F, 4, 0x0F},
}};

struct TReduceState {
    TEntryStages& stages;
    TReduceTables& t;
    TSlidingWindow<kWindowSize> out;
    std::array<uint8_t, 256> setSize{};
};

// Bits needed to index a follower set of `n` entries (n is 1 to 63).
unsigned IndexWidth(unsigned n) {
    unsigned width = 1;
    while ((1u << width) < n) {
        ++width;
    }
    return width;
}

// Reads the 256 follower sets, last byte value first.
void ReadFollowerSets(TReduceState& s) {
    for (int x = 255; x >= 0; --x) {
        const auto row = static_cast<size_t>(x);
        const unsigned n = s.stages.ReadBits(6);
        s.setSize[row] = static_cast<uint8_t>(n);
        for (unsigned i = 0; i < kMaxFollowers; ++i) {
            s.t.followers[row][i] = i < n ? static_cast<uint8_t>(s.stages.ReadBits(8)) : 0;
        }
    }
}

// The next byte of the intermediate stream, coded against `last`.
uint8_t NextByte(TReduceState& s, uint8_t last) {
    const unsigned n = s.setSize[last];
    if (n == 0 || s.stages.ReadBits(1) == 1) {
        return static_cast<uint8_t>(s.stages.ReadBits(8));
    }
    // The index has at most 6 bits, so it stays inside the 64-byte row even
    // when corrupt data points past the set's end.
    return s.t.followers[last][s.stages.ReadBits(IndexWidth(n))];
}

// Runs the DLE state machine until the uncompressed size is produced.
TDecodeResult Expand(TReduceState& s, const TFactorMasks& f) {
    int64_t left = s.stages.UncompressedSize();
    uint8_t last = 0;
    int state = 0;
    unsigned v = 0;
    unsigned len = 0;
    while (left > 0) {
        const uint8_t c = NextByte(s, last);
        if (s.stages.EndOfInput()) {
            return TDecodeResult::Truncated;
        }
        if (state == 0) {
            if (c == kDle) {
                state = 1;
            } else {
                s.out.Put(c);
                --left;
            }
        } else if (state == 1) {
            if (c == 0) {
                s.out.Put(kDle);
                --left;
                state = 0;
            } else {
                v = c;
                len = v & f.lengthMask;
                state = len == f.lengthMask ? 2 : 3;
            }
        } else if (state == 2) {
            len += c;
            state = 3;
        } else {
            const uint32_t distance = ((v >> f.distanceShift) & f.distanceMask) * 256 + c + 1;
            const int64_t length = std::min<int64_t>(len + 3, left);
            s.out.Copy(distance, length);
            left -= length;
            state = 0;
        }
        last = c;
    }
    return TDecodeResult::Complete;
}

}  // namespace

TDecodeResult UnReduce(TEntryStages& stages, int factor) {
    if (factor < 1 || factor > 4) {
        return TDecodeResult::Corrupt;
    }
    if (stages.UncompressedSize() <= 0) {
        return TDecodeResult::Complete;
    }
    auto* tables = new (stages.Scratch()) TReduceTables;
    TReduceState s{stages, *tables, TSlidingWindow<kWindowSize>(stages, tables->window), {}};
    ReadFollowerSets(s);
    TDecodeResult result = TDecodeResult::Truncated;
    if (!stages.EndOfInput()) {
        result = Expand(s, kFactors[static_cast<size_t>(factor - 1)]);
    }
    s.out.Finish();
    return result;
}
