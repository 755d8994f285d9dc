#pragma once

#include <cstdint>
#include <string>

#include "platform/Stream.h"

// Positions the stream at an offset read from an archive. Returns false
// (and leaves the stream alone) when the offset lies beyond the stream's
// end, so no untrusted value can wrap into a negative position.
inline bool SeekWithin(TStream& stream, uint64_t offset) {
    const int64_t size = stream.Size();
    if (size < 0 || offset > static_cast<uint64_t>(size)) {
        return false;
    }
    stream.Seek(static_cast<int64_t>(offset), TSeekOrigin::soBeginning);
    return true;
}

// Reads up to `count` bytes into a string (fewer at the end of the data).
inline std::string ReadUpTo(TStream& stream, size_t count) {
    std::string bytes(count, '\0');
    const int64_t got = count > 0 ? stream.Read(bytes.data(), static_cast<int64_t>(count)) : 0;
    bytes.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return bytes;
}
