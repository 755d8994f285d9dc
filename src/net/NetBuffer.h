#pragma once

#include <cstdint>
#include <string>

#include "platform/MemoryStream.h"

// A growable byte buffer that the connection uses as a queue: received
// bytes are appended at the end and readers take them from the front.
class TNetBuffer : public TMemoryStream {
  public:
    // Appends `count` bytes at the end; the position ends up at the end.
    void Append(const void* bytes, int64_t count);

    // Removes `count` bytes from the front. More than the buffer holds
    // raises ENotEnoughDataInBuffer "Not enough data in buffer.".
    void Remove(int64_t count);

    // Offset of the first occurrence of `needle` starting at or after
    // `from`, or -1.
    int64_t Find(const std::string& needle, int64_t from = 0);

    // The first `count` bytes as text (count must not exceed Size()).
    std::string Head(int64_t count);
};
