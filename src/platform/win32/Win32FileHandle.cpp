#include <algorithm>
#include <utility>

#include "platform/FileHandle.h"
#include "platform/win32/FileAttributes.h"
#include "platform/win32/WideText.h"
#include "platform/win32/WindowsApi.h"

namespace {

// Other programs (and this one, through a second handle) may read, write,
// rename and delete a file while it is open, as on POSIX.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// ReadFile and WriteFile move at most a DWORD per call.
constexpr int64_t kLargestMove = 1 << 30;
// 100-nanosecond steps between 1601-01-01 (FILETIME) and 1970-01-01.
constexpr int64_t kFileTimeOf1970 = 116444736000000000LL;
constexpr int64_t kFileTimeStepsPerSecond = 10000000;

HANDLE AsHandle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

intptr_t Stored(HANDLE handle) { return reinterpret_cast<intptr_t>(handle); }

DWORD AccessRights(TFileAccess access) {
    switch (access) {
        case TFileAccess::Write:
            return GENERIC_WRITE;
        case TFileAccess::ReadWrite:
            return GENERIC_READ | GENERIC_WRITE;
        case TFileAccess::Read:
            break;
    }
    return GENERIC_READ;
}

DWORD MoveMethod(TSeekOrigin origin) {
    switch (origin) {
        case TSeekOrigin::soCurrent:
            return FILE_CURRENT;
        case TSeekOrigin::soEnd:
            return FILE_END;
        case TSeekOrigin::soBeginning:
            break;
    }
    return FILE_BEGIN;
}

HANDLE OpenPath(const std::string& path, DWORD rights, DWORD disposition, DWORD flags) {
    return ::CreateFileW(WidePath(path).c_str(), rights, kShareAll, nullptr, disposition,
                         FILE_ATTRIBUTE_NORMAL | flags, nullptr);
}

std::optional<DWORD> Attributes(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info)) {
        return std::nullopt;
    }
    return info.dwFileAttributes;
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
    errorText_ = SystemErrorText(::GetLastError());
    return false;
}

bool TFileHandle::Open(const std::string& path, TFileAccess access) {
    Close();
    handle_ = Stored(OpenPath(path, AccessRights(access), OPEN_EXISTING, 0));
    return IsOpen() || Failed();
}

bool TFileHandle::Create(const std::string& path) {
    Close();
    handle_ = Stored(OpenPath(path, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS, 0));
    return IsOpen() || Failed();
}

bool TFileHandle::CreateNoFollow(const std::string& path) {
    Close();
    // Opened as it is (a link as the link), looked at, and only then emptied:
    // CREATE_ALWAYS would write through a link before anything could check.
    HANDLE file = OpenPath(path, GENERIC_WRITE, OPEN_ALWAYS, FILE_FLAG_OPEN_REPARSE_POINT);
    if (file == INVALID_HANDLE_VALUE) {
        return Failed();
    }
    handle_ = Stored(file);
    const std::optional<DWORD> attributes = Attributes(file);
    if (!attributes) {
        Failed();
        Close();
        return false;
    }
    if ((*attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        Close();
        ::SetLastError(ERROR_CANT_ACCESS_FILE);
        return Failed();
    }
    if (!::SetEndOfFile(file)) {
        Failed();
        Close();
        return false;
    }
    return true;
}

bool TFileHandle::CreateExclusive(const std::string& path) {
    Close();
    handle_ = Stored(OpenPath(path, GENERIC_WRITE, CREATE_NEW, FILE_FLAG_OPEN_REPARSE_POINT));
    return IsOpen() || Failed();
}

namespace {

// Moves `count` bytes in steps a DWORD can count, through `move(done, step,
// moved)`; stops at a failure (returning false) or at a step that moved
// nothing. Returns the bytes moved.
template <typename Move>
int64_t MoveInSteps(int64_t count, Move move) {
    int64_t done = 0;
    while (done < count) {
        const auto step = static_cast<DWORD>(std::min(count - done, kLargestMove));
        DWORD n = 0;
        if (!move(done, step, n) || n == 0) {
            break;
        }
        done += n;
    }
    return done;
}

}  // namespace

int64_t TFileHandle::Read(void* buffer, int64_t count) {
    auto* out = static_cast<char*>(buffer);
    return MoveInSteps(count, [&](int64_t done, DWORD step, DWORD& n) {
        if (::ReadFile(AsHandle(handle_), out + done, step, &n, nullptr)) {
            return true;
        }
        Failed();
        return false;
    });
}

int64_t TFileHandle::Write(const void* buffer, int64_t count) {
    const auto* in = static_cast<const char*>(buffer);
    return MoveInSteps(count, [&](int64_t done, DWORD step, DWORD& n) {
        if (::WriteFile(AsHandle(handle_), in + done, step, &n, nullptr)) {
            return true;
        }
        Failed();
        return false;
    });
}

std::optional<int64_t> TFileHandle::Seek(int64_t offset, TSeekOrigin origin) {
    LARGE_INTEGER distance{};
    distance.QuadPart = offset;
    LARGE_INTEGER position{};
    if (!::SetFilePointerEx(AsHandle(handle_), distance, &position, MoveMethod(origin))) {
        Failed();
        return std::nullopt;
    }
    return position.QuadPart;
}

std::optional<int64_t> TFileHandle::Size() {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(AsHandle(handle_), &size)) {
        Failed();
        return std::nullopt;
    }
    return size.QuadPart;
}

bool TFileHandle::SetSize(int64_t newSize) {
    // SetEndOfFile cuts at the current position; the caller's position is
    // put back afterwards.
    const std::optional<int64_t> position = Seek(0, TSeekOrigin::soCurrent);
    if (!position || !Seek(newSize, TSeekOrigin::soBeginning)) {
        return false;
    }
    const bool cut = ::SetEndOfFile(AsHandle(handle_)) || Failed();
    return Seek(*position, TSeekOrigin::soBeginning).has_value() && cut;
}

bool TFileHandle::SetModificationTime(time_t when) {
    const int64_t steps = static_cast<int64_t>(when) * kFileTimeStepsPerSecond + kFileTimeOf1970;
    FILETIME time{};
    time.dwLowDateTime = static_cast<DWORD>(steps & 0xFFFFFFFF);
    time.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(steps) >> 32);
    return ::SetFileTime(AsHandle(handle_), nullptr, nullptr, &time) || Failed();
}

bool TFileHandle::SetMode(uint32_t mode) {
    const std::optional<DWORD> attributes = Attributes(AsHandle(handle_));
    if (!attributes) {
        return Failed();
    }
    // Times of zero are left as they are.
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = AttributesWithMode(*attributes, mode);
    return ::SetFileInformationByHandle(AsHandle(handle_), FileBasicInfo, &basic, sizeof basic) ||
           Failed();
}

std::optional<uint32_t> TFileHandle::CurrentMode() {
    const std::optional<DWORD> attributes = Attributes(AsHandle(handle_));
    if (!attributes) {
        Failed();
        return std::nullopt;
    }
    return ModeOfAttributes(*attributes);
}

bool TFileHandle::SyncToDisk() { return ::FlushFileBuffers(AsHandle(handle_)) || Failed(); }

bool TFileHandle::Close() {
    if (!IsOpen()) {
        return true;
    }
    return ::CloseHandle(AsHandle(std::exchange(handle_, kClosed))) || Failed();
}
