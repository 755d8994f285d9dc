#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TUnZipper;

// The largest entry the memory target holds at once (chunked hand-over is
// not limited by it).
inline constexpr int64_t kMemoryTargetCap = int64_t{1} << 30;

// The most bytes that `compressedSize` bytes of the method can expand to:
// stored data does not expand, deflate reaches at most 1032 to 1 (258
// bytes from a 2-bit code), the legacy methods stay below 8192 to 1. An
// entry that declares more is damaged or hostile.
int64_t PlausibleUncompressedLimit(uint16_t method, int64_t compressedSize);

// Raises ENotEnoughRoom when an entry's declared size cannot be right for
// its compressed size, or (with `capped`) is above kMemoryTargetCap.
void CheckDeclaredSize(const std::string& name, uint16_t method, int64_t compressedSize,
                       int64_t uncompressedSize, bool capped);

// Decompressed data of a run that goes to memory: the caller's vector, sized
// here for each entry (or kept at the chunk size when the data is handed
// over in chunks through OnGetNextBuffer).
class TMemoryTarget {
  public:
    TMemoryTarget(TUnZipper& owner, std::vector<uint8_t>& buffer)
        : owner_(owner), buffer_(&buffer) {}

    // Starts an entry. Unless testing, sizes the buffer: ENotEnoughRoom for
    // an implausible or too large declared size, before anything is
    // allocated.
    void BeginEntry(const std::string& name, uint16_t method, int64_t compressedSize,
                    int64_t uncompressedSize, bool testing);
    // Takes one block; ECanceledUnzipToBuffer when OnGetNextBuffer quits
    // with data left. Never writes outside the buffer.
    void Take(const uint8_t* data, uint32_t count);
    // The entry did not decompress: a buffer sized by BeginEntry is dropped.
    void Drop();

  private:
    void HandOver();

    TUnZipper& owner_;
    std::vector<uint8_t>* buffer_;
    std::string name_;
    int64_t chunkSize_ = 0;
    int64_t roomLeft_ = 0;
    size_t writePos_ = 0;
    int chunkNumber_ = 0;
    bool testing_ = false;
    bool allocatedHere_ = false;
};
