#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "platform/FileOps.h"
#include "platform/ScopeExit.h"

extern char** environ;

namespace {

constexpr size_t kCopyBlock = 64 * 1024;
constexpr mode_t kPermissionBits = 07777;
constexpr mode_t kDirectoryMode = 0755;
// The copy is private until it is whole and has its final mode.
constexpr mode_t kCopyInProgressMode = 0600;

bool CopyContents(int from, int to) {
    std::vector<char> block(kCopyBlock);
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

bool CreateDir(const std::string& path) { return ::mkdir(path.c_str(), kDirectoryMode) == 0; }

bool DeleteFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool CopyFileNoOverwrite(const std::string& source, const std::string& destination) {
    const int from = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (from < 0) {
        return false;
    }
    ScopeExit closeFrom([from] { ::close(from); });
    struct stat info {};
    if (::fstat(from, &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    const int to =
        ::open(destination.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kCopyInProgressMode);
    if (to < 0) {
        return false;
    }
    ScopeExit closeTo([to] { ::close(to); });
    // A copy must never hand the program's owner to whoever starts it.
    const mode_t mode = info.st_mode & kPermissionBits & ~(S_ISUID | S_ISGID);
    const bool copied = CopyContents(from, to) && ::fchmod(to, mode) == 0 && ::fsync(to) == 0;
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
    ScopeExit destroyAttributes([&attributes] { posix_spawnattr_destroy(&attributes); });
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    // The started program must not hold on to our standard streams: whoever
    // reads the updater's output would otherwise wait for the browser.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    ScopeExit destroyActions([&actions] { posix_spawn_file_actions_destroy(&actions); });
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char> program(path.begin(), path.end());
    program.push_back('\0');
    char* argv[] = {program.data(), nullptr};
    pid_t child = 0;
    // glibc's posix_spawn waits until the child has called exec and returns
    // exec's error (ENOEXEC for a file of no known format, EACCES, ...), so
    // a browser that cannot run is reported here rather than as a child that
    // ends with status 127.
    return ::posix_spawn(&child, path.c_str(), &actions, &attributes, argv, environ) == 0;
}
