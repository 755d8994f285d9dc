#pragma once

#include <cstdint>

#include "zip/codec/EntryStages.h"

// The output side of the legacy LZ77-style decoders (explode, unreduce):
// bytes go into a window of `Size` bytes (a power of two) that lives in
// the decoder's scratch area and goes out to the stages whenever it is
// full; matches copy from it.
template <uint32_t Size>
class TSlidingWindow {
    static_assert(Size != 0 && (Size & (Size - 1)) == 0, "the window size is a power of two");

  public:
    // `bytes` holds Size bytes and outlives the window.
    TSlidingWindow(TEntryStages& stages, uint8_t* bytes) : stages_(stages), bytes_(bytes) {}

    void Put(uint8_t byte) {
        bytes_[pos_++] = byte;
        ++produced_;
        if (pos_ == Size) {
            stages_.PutBytes(bytes_, Size);
            pos_ = 0;
        }
    }

    // Copies `length` bytes from `distance` back, byte by byte so that
    // overlapping copies repeat their pattern; before the entry's first
    // byte the source reads as zero.
    void Copy(uint32_t distance, int64_t length) {
        for (int64_t i = 0; i < length; ++i) {
            const int64_t from = produced_ - distance;
            Put(from < 0 ? 0 : bytes_[static_cast<uint32_t>(from) & (Size - 1)]);
        }
    }

    // Hands the bytes still in the window to the stages and flushes them.
    void Finish() {
        stages_.PutBytes(bytes_, pos_);
        stages_.Flush();
    }

  private:
    TEntryStages& stages_;
    uint8_t* bytes_;
    uint32_t pos_ = 0;
    int64_t produced_ = 0;
};
