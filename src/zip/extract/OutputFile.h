#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>

// One extracted file: created (or truncated) without following a symbolic
// link at its last component, sized to its final length before the first
// write, and written through a buffer. Blocks as large as the buffer go
// straight to the file once the buffer is empty, so the usual 32 KB blocks
// cost one system call each. A file sized to kBackgroundFrom bytes or more
// is written by a second thread while decompression goes on.
class TBackgroundWriter;

class TOutputFile {
  public:
    static constexpr int64_t kBackgroundFrom = 4 << 20;

    // Raises EFCreateError ("Cannot create file <name>") when the file
    // cannot be created, also for an existing file without write
    // permission (the read-only attribute), whatever the process may do.
    TOutputFile(const std::string& fileName, int32_t bufferSize, bool flushOnClose);
    ~TOutputFile();
    TOutputFile(const TOutputFile&) = delete;
    TOutputFile& operator=(const TOutputFile&) = delete;

    // Sets the file's length; raises EStreamError when the system refuses.
    // Before the first write only.
    void SetSize(int64_t size);
    // Raises ECantWriteUCF ("Cant write uncompressed file") when the file
    // takes fewer bytes than given.
    void Write(const uint8_t* data, size_t count);
    // Writes what waits in the buffer (ECantWriteUCF on failure).
    void Flush();
    // Last-write time (the access time stays), and permission bits.
    void SetModificationTime(time_t when);
    void SetMode(mode_t mode);
    // The permission bits the file has now.
    mode_t CurrentMode() const;
    // Flushes and closes; a failure to write the rest raises ECantWriteUCF.
    void Close();

    const std::string& FileName() const { return fileName_; }

  private:
    void WriteAll(const uint8_t* data, size_t count);

    std::string fileName_;
    int fd_ = -1;
    bool flushOnClose_ = false;
    std::unique_ptr<uint8_t[]> buffer_;
    size_t capacity_ = 0;
    size_t pending_ = 0;
    std::unique_ptr<TBackgroundWriter> writer_;
};

// True when an existing file lacks the owner's write permission, this
// platform's form of the read-only attribute.
bool FileIsReadOnly(const std::string& fileName);
// Gives the file its owner's write permission back; false on failure.
bool ClearReadOnly(const std::string& fileName);
