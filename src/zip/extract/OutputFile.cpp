#include "zip/extract/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/Exception.h"
#include "platform/ScopeExit.h"
#include "zip/extract/BackgroundWriter.h"
#include "zip/ZipExceptions.h"

namespace {

[[noreturn]] void RaiseCantWrite() { throw ECantWriteUCF("Cant write uncompressed file"); }

// Writes all bytes to the file, retrying after a signal; false when the
// system takes no more.
bool WriteToFile(int fd, const uint8_t* data, size_t count) {
    while (count > 0) {
        const ssize_t n = ::write(fd, data, count);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        count -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

bool FileIsReadOnly(const std::string& fileName) {
    struct stat info {};
    return ::lstat(fileName.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           (info.st_mode & S_IWUSR) == 0;
}

bool ClearReadOnly(const std::string& fileName) {
    struct stat info {};
    if (::lstat(fileName.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    return ::chmod(fileName.c_str(), (info.st_mode & 07777) | S_IWUSR) == 0;
}

TOutputFile::TOutputFile(const std::string& fileName, int32_t bufferSize, bool flushOnClose)
    : fileName_(fileName),
      flushOnClose_(flushOnClose),
      capacity_(static_cast<size_t>(std::max<int32_t>(bufferSize, 1))) {
    // A privileged process could write a file without write permission; the
    // read-only attribute stops everybody, so it is checked here.
    if (FileIsReadOnly(fileName)) {
        throw EFCreateError("Cannot create file " + fileName);
    }
    do {
        fd_ = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0) {
        throw EFCreateError("Cannot create file " + fileName);
    }
    buffer_ = std::make_unique<uint8_t[]>(capacity_);
    sink_ = [fd = fd_](const uint8_t* data, size_t count) { return WriteToFile(fd, data, count); };
}

TOutputFile::TOutputFile(const std::string& fileName, int32_t bufferSize, bool flushOnClose,
                         TWriteSink sink)
    : TOutputFile(fileName, bufferSize, flushOnClose) {
    sink_ = std::move(sink);
}

TOutputFile::~TOutputFile() {
    if (fd_ >= 0) {
        try {
            Flush();
        } catch (...) {
            // The entry already failed; its file is closed as it stands.
        }
        writer_.reset();
        ::close(fd_);
    }
}

void TOutputFile::SetSize(int64_t size) {
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) {
        throw EStreamError("Cannot set the size of \"" + fileName_ + "\". " + std::strerror(errno));
    }
    if (size >= kBackgroundFrom && !writer_) {
        Flush();  // anything buffered goes first, on this thread
        writer_ = std::make_unique<TBackgroundWriter>(sink_);
    }
}

void TOutputFile::WriteAll(const uint8_t* data, size_t count) {
    if (!sink_(data, count)) {
        RaiseCantWrite();
    }
}

void TOutputFile::Write(const uint8_t* data, size_t count) {
    if (writer_) {
        if (!writer_->Write(data, count)) {
            RaiseCantWrite();
        }
        return;
    }
    if (pending_ + count <= capacity_) {
        std::memcpy(buffer_.get() + pending_, data, count);
        pending_ += count;
        if (pending_ == capacity_) {
            Flush();
        }
        return;
    }
    Flush();
    if (count >= capacity_) {
        WriteAll(data, count);
        return;
    }
    std::memcpy(buffer_.get(), data, count);
    pending_ = count;
}

void TOutputFile::Flush() {
    if (writer_ && !writer_->Drain()) {
        RaiseCantWrite();
    }
    if (pending_ == 0) {
        return;
    }
    const size_t n = pending_;
    pending_ = 0;
    WriteAll(buffer_.get(), n);
}

void TOutputFile::SetModificationTime(time_t when) {
    Flush();  // a later write would move the time again
    struct timespec times[2] = {};
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = when;
    ::futimens(fd_, times);
}

void TOutputFile::SetMode(mode_t mode) { ::fchmod(fd_, mode); }

mode_t TOutputFile::CurrentMode() const {
    struct stat info {};
    return ::fstat(fd_, &info) == 0 ? info.st_mode & 07777 : 0644;
}

void TOutputFile::Close() {
    if (fd_ < 0) {
        return;
    }
    const int fd = std::exchange(fd_, -1);
    // A failed flush still closes the file; its error is the one reported.
    ScopeExit closeAfterFailure([&] {
        writer_.reset();
        ::close(fd);
    });
    Flush();
    writer_.reset();
    closeAfterFailure.Release();
    if (flushOnClose_) {
        ::fsync(fd);
    }
    if (::close(fd) != 0 && errno != EINTR) {
        RaiseCantWrite();
    }
}
