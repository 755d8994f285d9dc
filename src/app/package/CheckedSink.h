#pragma once

#include <cstdint>
#include <string>

#include "Crypto.h"
#include "platform/Stream.h"

// The target an entry is extracted into when its size and SHA-256 are known
// beforehand: passes the bytes on to another stream, hashes them, and
// refuses to pass on more than the expected size (a short write, which the
// extraction reports as a failure; Overflowed() says why). Append only:
// seeking anywhere but to the current end raises.
class TCheckedSink : public TStream {
  public:
    TCheckedSink(TStream& target, uint64_t expectedSize);

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    // The extraction may size its target up front; nothing is reserved here.
    void SetSize(int64_t newSize) override;
    int64_t Size() override { return static_cast<int64_t>(written_); }

    uint64_t Written() const { return written_; }
    bool Overflowed() const { return overflowed_; }
    // True when exactly the expected bytes arrived and their SHA-256 (lower
    // case hex) is `sha256`. Call once, after the extraction.
    bool Matches(const std::string& sha256);

  private:
    TStream& target_;
    uint64_t expected_;
    uint64_t written_ = 0;
    bool overflowed_ = false;
    TDigest digest_{THashKind::Sha256};
};
