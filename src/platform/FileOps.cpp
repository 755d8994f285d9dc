#include "platform/FileOps.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

extern char** environ;

namespace {

struct Fd {
    int fd;
    explicit Fd(int f) : fd(f) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

bool CopyContents(int from, int to) {
    std::vector<char> block(1 << 16);
    for (;;) {
        ssize_t n = ::read(from, block.data(), block.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            return true;
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(to, block.data() + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR) {
                continue;
            }
            if (w <= 0) {
                return false;
            }
            done += w;
        }
    }
}

}  // namespace

bool FileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool CreateDir(const std::string& path) { return ::mkdir(path.c_str(), 0755) == 0; }

bool DeleteFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool CopyFileNoOverwrite(const std::string& source, const std::string& destination) {
    Fd from(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (from.fd < 0 || ::fstat(from.fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    Fd to(::open(destination.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (to.fd < 0) {
        return false;
    }
    const bool copied = CopyContents(from.fd, to.fd) &&
                        ::fchmod(to.fd, info.st_mode & 07777 & ~(S_ISUID | S_ISGID)) == 0 &&
                        ::fsync(to.fd) == 0;
    if (!copied) {
        ::unlink(destination.c_str());
    }
    return copied;
}

bool ReplaceFile(const std::string& source, const std::string& destination) {
    return std::rename(source.c_str(), destination.c_str()) == 0;
}

bool ShellOpen(const std::string& path) {
    if (::access(path.c_str(), X_OK) != 0) {
        return false;
    }
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    std::vector<char> program(path.begin(), path.end());
    program.push_back('\0');
    char* argv[] = {program.data(), nullptr};
    pid_t child = 0;
    const int result = ::posix_spawn(&child, path.c_str(), nullptr, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    return result == 0;
}
