#pragma once

#include <algorithm>
#include <cstdint>

#include "platform/MemoryStream.h"

// A memory stream that remembers the largest size it was ever asked to take,
// so a test can tell that a reader did not trust a size claimed by its input.
class SizeRecordingStream : public TMemoryStream {
  public:
    void SetSize(int64_t newSize) override {
        largest = std::max(largest, newSize);
        TMemoryStream::SetSize(newSize);
    }
    int64_t largest = 0;
};
