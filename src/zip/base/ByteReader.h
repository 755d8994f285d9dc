#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// Reads little-endian fields from a byte span. Reading past the end sets a
// failure flag that sticks and yields zeros, so a record is read field by
// field and checked once at the end.
class ByteReader {
  public:
    explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    uint8_t U8() { return static_cast<uint8_t>(Take(1)); }
    uint16_t U16() { return static_cast<uint16_t>(Take(2)); }
    uint32_t U32() { return static_cast<uint32_t>(Take(4)); }
    uint64_t U64() { return Take(8); }

    // Skips n bytes (fails when fewer remain).
    void Skip(size_t n) {
        if (!Has(n)) {
            Fail();
            return;
        }
        pos_ += n;
    }

    bool Has(size_t n) const { return !failed_ && bytes_.size() - pos_ >= n; }
    size_t Remaining() const { return failed_ ? 0 : bytes_.size() - pos_; }
    size_t Offset() const { return pos_; }
    bool Ok() const { return !failed_; }

  private:
    uint64_t Take(size_t width) {
        if (!Has(width)) {
            Fail();
            return 0;
        }
        uint64_t value = 0;
        for (size_t i = 0; i < width; ++i) {
            value |= static_cast<uint64_t>(bytes_[pos_ + i]) << (8 * i);
        }
        pos_ += width;
        return value;
    }
    void Fail() {
        failed_ = true;
        pos_ = bytes_.size();
    }

    std::span<const uint8_t> bytes_;
    size_t pos_ = 0;
    bool failed_ = false;
};
