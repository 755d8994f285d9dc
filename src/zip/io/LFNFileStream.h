#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/FileStream.h"
#include "zip/io/BufferStream.h"

// Open modes of TLFNFileStream, with the values the component passes around:
// the low two bits choose the access, the share bits are kept for callers
// that state them (this platform has no mandatory sharing).
namespace lfn {
inline constexpr uint32_t fmOpenRead = 0x0000;
inline constexpr uint32_t fmOpenWrite = 0x0001;
inline constexpr uint32_t fmOpenReadWrite = 0x0002;
inline constexpr uint32_t fmShareDenyWrite = 0x0020;
inline constexpr uint32_t fmShareDenyNone = 0x0040;
inline constexpr uint32_t fmCreate = 0xFFFF;
}  // namespace lfn

namespace detail {
// Holds the file so that it is opened before, and closed after, the buffer.
struct LfnFileHolder {
    std::unique_ptr<TFileStream> file;
};
}  // namespace detail

// A buffered stream over a file it opens by name and owns. Opening a missing
// or locked file raises the file stream's open error.
class TLFNFileStream : private detail::LfnFileHolder, public TS_BufferStream {
  public:
    TLFNFileStream(const std::string& fileName, uint32_t mode, bool flushOnClose,
                   int32_t bufferSize);
    ~TLFNFileStream() override;

    intptr_t GetHandle() const { return file->Handle(); }
    int64_t GetSize() { return Size(); }
    const std::string& FileName() const { return file->FileName(); }
};
