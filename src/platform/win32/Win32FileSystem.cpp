#include "platform/FileOps.h"
#include "platform/FileSystem.h"
#include "platform/ScopeExit.h"
#include "platform/win32/FileAttributes.h"
#include "platform/win32/WideText.h"
#include "platform/win32/WindowsApi.h"

namespace {

// 100-nanosecond steps between 1601-01-01 (FILETIME) and 1970-01-01.
constexpr int64_t kFileTimeOf1970 = 116444736000000000LL;
constexpr int64_t kFileTimeStepsPerSecond = 10000000;
constexpr int32_t kNanosecondsPerStep = 100;

TPathKind KindOf(DWORD attributes, TLinks links) {
    if (links == TLinks::DoNotFollow && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return TPathKind::Link;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return TPathKind::Directory;
    }
    if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) {
        return TPathKind::Other;
    }
    return TPathKind::Regular;
}

TPathKind KindOfFailure(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
                   error == ERROR_INVALID_NAME
               ? TPathKind::Absent
               : TPathKind::Unknown;
}

void SetTime(const FILETIME& time, TPathStatus& status) {
    const int64_t steps = static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) |
                                               time.dwLowDateTime) -
                          kFileTimeOf1970;
    int64_t seconds = steps / kFileTimeStepsPerSecond;
    int64_t rest = steps % kFileTimeStepsPerSecond;
    if (rest < 0) {
        --seconds;
        rest += kFileTimeStepsPerSecond;
    }
    status.ModifiedSeconds = seconds;
    status.ModifiedNanoseconds = static_cast<int32_t>(rest) * kNanosecondsPerStep;
}

}  // namespace

TPathStatus PathStatus(const std::string& path, TLinks links) {
    // Opening for attributes only works on files in use and on directories
    // (with backup semantics) and, unlike GetFileAttributesEx, can follow a
    // link to what it names.
    DWORD flags = FILE_FLAG_BACKUP_SEMANTICS;
    if (links == TLinks::DoNotFollow) {
        flags |= FILE_FLAG_OPEN_REPARSE_POINT;
    }
    TPathStatus status;
    HANDLE handle = ::CreateFileW(WidePath(path).c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        status.Kind = KindOfFailure(::GetLastError());
        return status;
    }
    ScopeExit close([handle] { ::CloseHandle(handle); });
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info)) {
        status.Kind = TPathKind::Unknown;
        return status;
    }
    status.Kind = KindOf(info.dwFileAttributes, links);
    status.Size =
        static_cast<int64_t>((static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    status.Mode = ModeOfAttributes(info.dwFileAttributes);
    SetTime(info.ftLastWriteTime, status);
    return status;
}

bool SetPathMode(const std::string& path, uint32_t mode) {
    const std::wstring wide = WidePath(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    return ::SetFileAttributesW(wide.c_str(), AttributesWithMode(attributes, mode));
}

TMakeDirectoryResult MakeDirectory(const std::string& path) {
    if (::CreateDirectoryW(WidePath(path).c_str(), nullptr)) {
        return TMakeDirectoryResult::Made;
    }
    return ::GetLastError() == ERROR_ALREADY_EXISTS ? TMakeDirectoryResult::AlreadyThere
                                                    : TMakeDirectoryResult::Failed;
}

bool MakeSymbolicLink(const std::string& target, const std::string& path) {
    // Without the developer mode of Windows 10 and later, making a link
    // needs a privilege ordinary users lack; the call then fails. Wine
    // reports success and makes nothing, so the link is looked for.
    const std::wstring link = WidePath(path);
    if (!::CreateSymbolicLinkW(link.c_str(), WidePath(target).c_str(),
                               SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE)) {
        return false;
    }
    const DWORD attributes = ::GetFileAttributesW(link.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

std::optional<int64_t> FreeSpaceAt(const std::string& path) {
    ULARGE_INTEGER available{};
    if (!::GetDiskFreeSpaceExW(WidePath(path).c_str(), &available, nullptr, nullptr)) {
        return std::nullopt;
    }
    return static_cast<int64_t>(available.QuadPart);
}

std::vector<std::string> ListDirectory(const std::string& path) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW((WidePath(path) + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    const ScopeExit close([search] { ::FindClose(search); });
    do {
        const std::string name = Narrow(found.cFileName);
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    } while (::FindNextFileW(search, &found));
    return names;
}

bool RemoveTree(const std::string& path) {
    const std::wstring wide = WidePath(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return KindOfFailure(::GetLastError()) == TPathKind::Absent;
    }
    // A link (a reparse point) is removed itself, never what it points to.
    const bool directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (directory && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        for (const std::string& name : ListDirectory(path)) {
            RemoveTree(path + "\\" + name);
        }
    }
    if (directory) {
        ::SetFileAttributesW(wide.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
        ::RemoveDirectoryW(wide.c_str());
    } else {
        DeleteFile(path);
    }
    return ::GetFileAttributesW(wide.c_str()) == INVALID_FILE_ATTRIBUTES;
}

bool BackslashIsSeparator() { return true; }
