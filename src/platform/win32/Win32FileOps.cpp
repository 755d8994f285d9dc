#include "platform/FileOps.h"
#include "platform/win32/WideText.h"
#include "platform/win32/WindowsApi.h"

bool CreateDir(const std::string& path) {
    return ::CreateDirectoryW(WidePath(path).c_str(), nullptr) != 0;
}

bool DeleteFile(const std::string& path) {
    const std::wstring wide = WidePath(path);
    if (::DeleteFileW(wide.c_str())) {
        return true;
    }
    // Windows refuses to delete a read-only file; POSIX removes the name
    // whatever the file's own permissions, and callers expect that. The
    // attribute is lifted for the delete and put back if it still fails.
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0 ||
        !::SetFileAttributesW(wide.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY)) {
        return false;
    }
    if (::DeleteFileW(wide.c_str())) {
        return true;
    }
    ::SetFileAttributesW(wide.c_str(), attributes);
    return false;
}

bool CopyFileNoOverwrite(const std::string& source, const std::string& destination) {
    // CopyFile keeps the attributes (read-only among them) and removes a
    // destination it could not finish.
    return ::CopyFileW(WidePath(source).c_str(), WidePath(destination).c_str(), TRUE) != 0;
}

bool ReplaceFile(const std::string& source, const std::string& destination) {
    // Fails, leaving both files alone, when the destination is a running
    // program or open without delete sharing.
    return ::MoveFileExW(WidePath(source).c_str(), WidePath(destination).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool ShellOpen(const std::string& path) {
    const std::wstring file = WidePath(path);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    // No error box of the shell's own: the caller reports the failure.
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = file.c_str();
    info.nShow = SW_SHOWNORMAL;
    return ::ShellExecuteExW(&info) != 0;
}
