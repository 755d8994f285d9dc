#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

#include "platform/Stream.h"

// How an existing file is opened. Files are always binary.
enum class TFileAccess { Read, Write, ReadWrite };

// An open operating-system file, closed when the object goes away. No call
// raises: each reports failure in its result and ErrorText() describes the
// last failure in the system's words. Calls cut short by a signal are
// repeated.
class TFileHandle {
  public:
    TFileHandle() = default;
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;
    TFileHandle(TFileHandle&& other) noexcept;
    TFileHandle& operator=(TFileHandle&& other) noexcept;
    ~TFileHandle();

    // Opens an existing file.
    bool Open(const std::string& path, TFileAccess access);
    // Creates a file, or empties an existing one, for reading and writing.
    bool Create(const std::string& path);
    // Creates a file, or empties an existing one, for writing only, refusing
    // when the last component of the path is a symbolic link: an archive
    // must not be able to point an extracted file elsewhere.
    bool CreateNoFollow(const std::string& path);
    // Creates a new file for writing only; fails when anything, a link
    // included, already has that name.
    bool CreateExclusive(const std::string& path);

    bool IsOpen() const { return handle_ != kClosed; }

    // Bytes moved; fewer than `count` at the end of the file or on failure.
    int64_t Read(void* buffer, int64_t count);
    int64_t Write(const void* buffer, int64_t count);
    // The new position, or nothing on failure.
    std::optional<int64_t> Seek(int64_t offset, TSeekOrigin origin);
    std::optional<int64_t> Size();
    // Cuts or extends the file; the position stays where it was.
    bool SetSize(int64_t newSize);

    // Sets the modification time (seconds since 1970, UTC) and leaves the
    // access time alone.
    bool SetModificationTime(time_t when);
    // Permission bits (the low 12 bits of a POSIX mode).
    bool SetMode(uint32_t mode);
    std::optional<uint32_t> CurrentMode();
    // Waits until the written bytes are on the disk.
    bool SyncToDisk();
    // Closes the file; false when the system reports that written bytes
    // may be lost. Closing a closed handle succeeds.
    bool Close();

    // The system's description of the last failure.
    const std::string& ErrorText() const { return errorText_; }
    // The system's own handle (a POSIX descriptor or a Windows HANDLE),
    // -1 when closed.
    intptr_t Native() const { return handle_; }

  private:
    static constexpr intptr_t kClosed = -1;

    // Records the system's text for the failure that just happened; false.
    bool Failed();

    intptr_t handle_ = kClosed;
    std::string errorText_;
};
