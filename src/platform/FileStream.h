#pragma once

#include <optional>
#include <string>

#include "platform/FileHandle.h"
#include "platform/Stream.h"

// File open modes. fmCreate creates or truncates the file for reading and
// writing; the others open an existing file.
enum class TFileMode { fmCreate, fmOpenRead, fmOpenWrite, fmOpenReadWrite };

// A stream over an operating-system file, closed when the object goes away.
class TFileStream : public TStream {
  public:
    TFileStream(const std::string& fileName, TFileMode mode);
    ~TFileStream() override;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    // Asking for the position (offset 0 from the current one) costs no
    // system call: the stream keeps count of its own reads, writes and seeks.
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    void SetSize(int64_t newSize) override;
    // The file's length from the system in one call.
    int64_t Size() override;

    const std::string& FileName() const { return fileName_; }
    // The system's handle of the open file.
    intptr_t Handle() const { return file_.Native(); }
    // Waits until the written bytes are on the disk; false when that failed.
    bool SyncToDisk();

  private:
    std::string fileName_;
    TFileHandle file_;
    // Unknown only after a failed read or write.
    std::optional<int64_t> position_ = 0;
};
