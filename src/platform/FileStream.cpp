#include "platform/FileStream.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Exception.h"

namespace {

int OpenFlags(TFileMode mode) {
    switch (mode) {
        case TFileMode::fmCreate:
            return O_RDWR | O_CREAT | O_TRUNC;
        case TFileMode::fmOpenRead:
            return O_RDONLY;
        case TFileMode::fmOpenWrite:
            return O_WRONLY;
        case TFileMode::fmOpenReadWrite:
            return O_RDWR;
    }
    return O_RDONLY;
}

}  // namespace

TFileStream::TFileStream(const std::string& fileName, TFileMode mode) : fileName_(fileName) {
    do {
        fd_ = ::open(fileName.c_str(), OpenFlags(mode) | O_CLOEXEC, 0644);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0) {
        // The runtime's texts name the file and nothing else.
        if (mode == TFileMode::fmCreate) {
            throw EFCreateError("Cannot create file " + fileName);
        }
        throw EFOpenError("Cannot open file " + fileName);
    }
}

TFileStream::~TFileStream() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
    auto* out = static_cast<char*>(buffer);
    int64_t done = 0;
    while (done < count) {
        const ssize_t n = ::read(fd_, out + done, static_cast<size_t>(count - done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += n;
    }
    return done;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
    const auto* in = static_cast<const char*>(buffer);
    int64_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd_, in + done, static_cast<size_t>(count - done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += n;
    }
    return done;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    const int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
                       : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                          : SEEK_END;
    const off_t result = ::lseek(fd_, static_cast<off_t>(offset), whence);
    if (result < 0) {
        throw EStreamError("Seek error on \"" + fileName_ + "\". " + std::strerror(errno));
    }
    return result;
}

void TFileStream::SetSize(int64_t newSize) {
    if (::ftruncate(fd_, static_cast<off_t>(newSize)) != 0) {
        throw EStreamError("Cannot set the size of \"" + fileName_ + "\". " +
                           std::strerror(errno));
    }
    if (Position() > newSize) {
        Seek(newSize, TSeekOrigin::soBeginning);
    }
}
