#include <dirent.h>
#include <ftw.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>

#include "platform/FileSystem.h"
#include "platform/ScopeExit.h"

namespace {

constexpr mode_t kPermissionBits = 07777;
constexpr mode_t kNewDirectoryMode = 0777;

TPathKind KindOf(mode_t mode) {
    if (S_ISREG(mode)) {
        return TPathKind::Regular;
    }
    if (S_ISDIR(mode)) {
        return TPathKind::Directory;
    }
    if (S_ISLNK(mode)) {
        return TPathKind::Link;
    }
    return TPathKind::Other;
}

}  // namespace

TPathStatus PathStatus(const std::string& path, TLinks links) {
    struct stat info {};
    const int result =
        links == TLinks::Follow ? ::stat(path.c_str(), &info) : ::lstat(path.c_str(), &info);
    TPathStatus status;
    if (result != 0) {
        status.Kind = errno == ENOENT ? TPathKind::Absent : TPathKind::Unknown;
        return status;
    }
    status.Kind = KindOf(info.st_mode);
    status.Size = info.st_size;
    status.Mode = static_cast<uint32_t>(info.st_mode & kPermissionBits);
    status.ModifiedSeconds = info.st_mtim.tv_sec;
    status.ModifiedNanoseconds = static_cast<int32_t>(info.st_mtim.tv_nsec);
    return status;
}

bool SetPathMode(const std::string& path, uint32_t mode) {
    return ::chmod(path.c_str(), static_cast<mode_t>(mode & kPermissionBits)) == 0;
}

TMakeDirectoryResult MakeDirectory(const std::string& path) {
    if (::mkdir(path.c_str(), kNewDirectoryMode) == 0) {
        return TMakeDirectoryResult::Made;
    }
    return errno == EEXIST ? TMakeDirectoryResult::AlreadyThere : TMakeDirectoryResult::Failed;
}

bool MakeSymbolicLink(const std::string& target, const std::string& path) {
    return ::symlink(target.c_str(), path.c_str()) == 0;
}

std::optional<int64_t> FreeSpaceAt(const std::string& path) {
    struct statvfs info {};
    if (::statvfs(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return static_cast<int64_t>(info.f_bavail) * static_cast<int64_t>(info.f_frsize);
}

std::vector<std::string> ListDirectory(const std::string& path) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr) {
        return names;
    }
    const ScopeExit close([dir] { ::closedir(dir); });
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    return names;
}

namespace {

int RemoveOne(const char* path, const struct stat*, int kind, struct FTW*) {
    const int result = kind == FTW_DP ? ::rmdir(path) : ::unlink(path);
    return result == 0 || errno == ENOENT ? 0 : -1;
}

}  // namespace

bool RemoveTree(const std::string& path) {
    if (PathStatus(path, TLinks::DoNotFollow).Kind == TPathKind::Absent) {
        return true;
    }
    // Depth first and without following links: a link inside the tree is
    // removed itself, never what it points to.
    constexpr int kOpenFiles = 16;
    ::nftw(path.c_str(), RemoveOne, kOpenFiles, FTW_DEPTH | FTW_PHYS);
    return PathStatus(path, TLinks::DoNotFollow).Kind == TPathKind::Absent;
}

bool BackslashIsSeparator() { return false; }
