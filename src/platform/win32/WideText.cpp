#include "platform/win32/WideText.h"

#include <algorithm>

#include "platform/win32/WindowsApi.h"

namespace {

int NarrowLength(size_t length) { return static_cast<int>(std::min<size_t>(length, INT32_MAX)); }

}  // namespace

std::wstring Widen(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    const int inLength = NarrowLength(text.size());
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), inLength, nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), inLength, wide.data(), n);
    return wide;
}

std::wstring WidePath(const std::string& path) {
    std::wstring wide = Widen(path);
    std::replace(wide.begin(), wide.end(), L'/', L'\\');
    return wide;
}

std::string Narrow(const wchar_t* text, size_t length) {
    if (length == 0) {
        return {};
    }
    const int inLength = NarrowLength(length);
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text, inLength, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, inLength, narrow.data(), n, nullptr, nullptr);
    return narrow;
}

std::string Narrow(const std::wstring& text) { return Narrow(text.data(), text.size()); }

std::string SystemErrorText(unsigned long code) {
    wchar_t* buffer = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    if (n == 0 || buffer == nullptr) {
        return "Windows error " + std::to_string(code);
    }
    std::string text = Narrow(buffer, n);
    ::LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}
