#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/FileHandle.h"

namespace {

// New files get read and write for everybody the umask allows.
constexpr mode_t kNewFileMode = 0666;
constexpr mode_t kPermissionBits = 07777;

int Descriptor(intptr_t handle) { return static_cast<int>(handle); }

int OpenRepeated(const std::string& path, int flags) {
    int fd = -1;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, kNewFileMode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

int AccessFlags(TFileAccess access) {
    switch (access) {
        case TFileAccess::Write:
            return O_WRONLY;
        case TFileAccess::ReadWrite:
            return O_RDWR;
        case TFileAccess::Read:
            break;
    }
    return O_RDONLY;
}

int Whence(TSeekOrigin origin) {
    switch (origin) {
        case TSeekOrigin::soCurrent:
            return SEEK_CUR;
        case TSeekOrigin::soEnd:
            return SEEK_END;
        case TSeekOrigin::soBeginning:
            break;
    }
    return SEEK_SET;
}

// Repeats a read or write until `count` bytes moved, the file ended or the
// call failed (`failed`); returns the bytes moved.
template <typename Call>
int64_t MoveAll(int64_t count, bool& failed, Call call) {
    int64_t done = 0;
    while (done < count) {
        const ssize_t n = call(done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        failed = n < 0;
        if (n <= 0) {
            break;
        }
        done += n;
    }
    return done;
}

}  // namespace

TFileHandle::TFileHandle(TFileHandle&& other) noexcept
    : handle_(std::exchange(other.handle_, kClosed)), errorText_(std::move(other.errorText_)) {}

TFileHandle& TFileHandle::operator=(TFileHandle&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, kClosed);
        errorText_ = std::move(other.errorText_);
    }
    return *this;
}

TFileHandle::~TFileHandle() { Close(); }

bool TFileHandle::Failed() {
    errorText_ = std::strerror(errno);
    return false;
}

bool TFileHandle::Open(const std::string& path, TFileAccess access) {
    Close();
    handle_ = OpenRepeated(path, AccessFlags(access));
    return IsOpen() || Failed();
}

bool TFileHandle::Create(const std::string& path) {
    Close();
    handle_ = OpenRepeated(path, O_RDWR | O_CREAT | O_TRUNC);
    return IsOpen() || Failed();
}

bool TFileHandle::CreateNoFollow(const std::string& path) {
    Close();
    handle_ = OpenRepeated(path, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW);
    return IsOpen() || Failed();
}

bool TFileHandle::CreateExclusive(const std::string& path) {
    Close();
    handle_ = OpenRepeated(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW);
    return IsOpen() || Failed();
}

int64_t TFileHandle::Read(void* buffer, int64_t count) {
    auto* out = static_cast<char*>(buffer);
    const int fd = Descriptor(handle_);
    bool failed = false;
    const int64_t done = MoveAll(count, failed, [&](int64_t at) {
        return ::read(fd, out + at, static_cast<size_t>(count - at));
    });
    if (failed) {
        Failed();
    }
    return done;
}

int64_t TFileHandle::Write(const void* buffer, int64_t count) {
    const auto* in = static_cast<const char*>(buffer);
    const int fd = Descriptor(handle_);
    bool failed = false;
    const int64_t done = MoveAll(count, failed, [&](int64_t at) {
        return ::write(fd, in + at, static_cast<size_t>(count - at));
    });
    if (failed) {
        Failed();
    }
    return done;
}

std::optional<int64_t> TFileHandle::Seek(int64_t offset, TSeekOrigin origin) {
    const off_t result = ::lseek(Descriptor(handle_), static_cast<off_t>(offset), Whence(origin));
    if (result < 0) {
        Failed();
        return std::nullopt;
    }
    return result;
}

std::optional<int64_t> TFileHandle::Size() {
    struct stat info {};
    if (::fstat(Descriptor(handle_), &info) != 0) {
        Failed();
        return std::nullopt;
    }
    return info.st_size;
}

bool TFileHandle::SetSize(int64_t newSize) {
    return ::ftruncate(Descriptor(handle_), static_cast<off_t>(newSize)) == 0 || Failed();
}

bool TFileHandle::SetModificationTime(time_t when) {
    struct timespec times[2] = {};
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = when;
    return ::futimens(Descriptor(handle_), times) == 0 || Failed();
}

bool TFileHandle::SetMode(uint32_t mode) {
    return ::fchmod(Descriptor(handle_), static_cast<mode_t>(mode & kPermissionBits)) == 0 ||
           Failed();
}

std::optional<uint32_t> TFileHandle::CurrentMode() {
    struct stat info {};
    if (::fstat(Descriptor(handle_), &info) != 0) {
        Failed();
        return std::nullopt;
    }
    return static_cast<uint32_t>(info.st_mode & kPermissionBits);
}

bool TFileHandle::SyncToDisk() { return ::fsync(Descriptor(handle_)) == 0 || Failed(); }

bool TFileHandle::Close() {
    if (!IsOpen()) {
        return true;
    }
    const int fd = Descriptor(std::exchange(handle_, kClosed));
    // After an interrupted close the descriptor is gone all the same and
    // nothing was reported lost.
    return ::close(fd) == 0 || errno == EINTR || Failed();
}
