#include <vector>

#include "platform/IniFile.h"
#include "platform/win32/WideText.h"
#include "platform/win32/WindowsApi.h"

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, size_t maxChars,
                                    const std::string& fileName) {
    // The call counts the terminating zero in the buffer's size. A file
    // without a folder would be looked for in the Windows folder: callers
    // give full paths.
    std::vector<wchar_t> buffer(maxChars + 1);
    const DWORD n = ::GetPrivateProfileStringW(
        Widen(section).c_str(), Widen(key).c_str(), Widen(defaultValue).c_str(), buffer.data(),
        static_cast<DWORD>(buffer.size()), WidePath(fileName).c_str());
    return Narrow(buffer.data(), n);
}
