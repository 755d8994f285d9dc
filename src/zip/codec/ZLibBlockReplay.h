#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <vector>

// zlib reading a raw deflate stream from the start of one of its blocks, to
// judge a stream another engine refused. Where that engine decides from
// fewer bits than a symbol needs (ISA-L does, at the end of its input), only
// zlib's own reading says whether the bits at hand already break the format
// or the stream merely stops early. The output is thrown away: only the
// verdict is wanted, and for the verdict the history before the block
// matters only by its length (zlib refuses a distance reaching before it),
// so zeros stand in for it.

enum class TReplayVerdict {
    Going,        // no fault so far; the stream goes on
    Damaged,      // zlib found the data breaking the format
    Ended,        // zlib reached the stream's end without a fault
    OutOfMemory,  // zlib could not get its state
};

class TZLibBlockReplay {
  public:
    TZLibBlockReplay();
    ~TZLibBlockReplay();
    TZLibBlockReplay(const TZLibBlockReplay&) = delete;
    TZLibBlockReplay& operator=(const TZLibBlockReplay&) = delete;

    // Starts over at a block header with `history` bytes of output before
    // it. The low `bitCount` bits of `bits` come first, least significant
    // first; their top end is a byte boundary, as in a bit buffer filled
    // byte by byte.
    TReplayVerdict Start(uint64_t history, uint64_t bits, int bitCount);
    // Reads on through the next bytes of the stream. Once the verdict is
    // other than Going, it stays and further bytes are ignored.
    TReplayVerdict Feed(const uint8_t* data, size_t count);

  private:
    z_stream stream_{};
    bool ready_ = false;  // inflateInit2 succeeded
    TReplayVerdict verdict_ = TReplayVerdict::Going;
    std::vector<uint8_t> scratch_;  // where the thrown-away output goes
};
