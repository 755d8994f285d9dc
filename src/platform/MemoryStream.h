#pragma once

#include <cstdint>
#include <vector>

#include "platform/Stream.h"

// A stream held in memory; it grows as it is written past its end.
class TMemoryStream : public TStream {
  public:
    TMemoryStream() = default;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    void SetSize(int64_t newSize) override;
    int64_t Size() override { return static_cast<int64_t>(data_.size()); }

    uint8_t* Memory() { return data_.data(); }
    const uint8_t* Memory() const { return data_.data(); }
    void Clear();

  private:
    std::vector<uint8_t> data_;
    int64_t position_ = 0;
};
