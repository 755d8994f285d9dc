#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>

#include "platform/FileHandle.h"
#include "zip/extract/BackgroundWriter.h"

// One extracted file: created without following a symbolic link at its
// last component (an existing file is replaced by a new file renamed over it
// when closed; its other hard links keep the old contents), sized to its
// final length before the first write when it is large (kSizedFrom), and
// written through a buffer. Blocks
// as large as the buffer go straight to the file once the buffer is empty,
// so the usual 32 KB blocks cost one system call each. SetSize with
// kBackgroundFrom bytes or more hands every later write to a
// TBackgroundWriter, so the file is written by a second thread while
// decompression goes on; Flush and Close wait for it.
class TOutputFile {
  public:
    static constexpr int64_t kBackgroundFrom = int64_t{4} << 20;
    // Smaller files are not sized up front: the call would cost as much as
    // writing them, and their few writes give them their length anyway.
    static constexpr int64_t kSizedFrom = int64_t{1} << 20;

    // Raises EFCreateError ("Cannot create file <name>") when the file
    // cannot be created, also for an existing file without write
    // permission (the read-only attribute), whatever the process may do.
    TOutputFile(const std::string& fileName, int32_t bufferSize, bool flushOnClose);
    // The same, but the data goes to `sink` instead of the file's handle
    // (the file is still created, sized, dated and closed): the seam through
    // which tests see which thread writes, and make writes fail.
    TOutputFile(const std::string& fileName, int32_t bufferSize, bool flushOnClose,
                TWriteSink sink);
    ~TOutputFile();
    TOutputFile(const TOutputFile&) = delete;
    TOutputFile& operator=(const TOutputFile&) = delete;

    // Sets the file's length when it is kSizedFrom or more (a smaller file
    // is left to its writes); raises EStreamError when the system refuses.
    // Before the first write only. A size of kBackgroundFrom or more starts
    // the background writer.
    void SetSize(int64_t size);
    // Raises ECantWriteUCF ("Cant write uncompressed file") when the file
    // takes fewer bytes than given; through the background writer that
    // shows at a later Write, at Flush or at Close.
    void Write(const uint8_t* data, size_t count);
    // Writes what waits in the buffer and waits until the background writer
    // has written everything given so far (ECantWriteUCF on failure).
    void Flush();
    // Last-write time (the access time stays), and permission bits.
    void SetModificationTime(time_t when);
    void SetMode(uint32_t mode);
    // The permission bits the file has now.
    uint32_t CurrentMode();
    // Flushes and closes, putting a replacing file in place of the old one;
    // a failure to write the rest or to rename raises ECantWriteUCF. Not
    // closed, a replacing file is removed and the old file stays.
    void Close();

    const std::string& FileName() const { return fileName_; }

  private:
    // The constructor's road when an exclusive create failed: replaces an
    // existing regular file, or creates without following a link.
    void CreateInPlaceOfExisting(const std::string& fileName);
    void WriteAll(const uint8_t* data, size_t count);

    std::string fileName_;
    // The new file beside an existing one until Close renames it over.
    std::string temporaryName_;
    TFileHandle file_;
    bool flushOnClose_ = false;
    TWriteSink sink_;
    std::unique_ptr<uint8_t[]> buffer_;
    size_t capacity_ = 0;
    size_t pending_ = 0;
    std::unique_ptr<TBackgroundWriter> writer_;
};

// True when an existing file lacks the owner's write permission, this
// platform's form of the read-only attribute.
bool FileIsReadOnly(const std::string& fileName);
// Frees the name of a read-only file for a new one; the file itself and
// its other links are left alone. False on failure.
bool ClearReadOnly(const std::string& fileName);

// Puts a symbolic link holding `target` at `path`, in one step in place of
// a file or link already there (never writing through it); false on
// failure, also when a directory is there.
bool PlaceSymbolicLink(const std::string& path, const std::string& target);
