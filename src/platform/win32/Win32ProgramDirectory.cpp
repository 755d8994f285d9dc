#include <vector>

#include "platform/ProgramDirectory.h"
#include "platform/win32/WideText.h"
#include "platform/win32/WindowsApi.h"

namespace {

// Windows paths can be 32767 characters long in their \\?\ form.
constexpr DWORD kLongestPath = 32768;
constexpr DWORD kFirstTry = MAX_PATH;

}  // namespace

std::string ExecutablePath() {
    // The call cuts a long path to the buffer and says so only by filling
    // it; the buffer grows until the path fits.
    for (DWORD size = kFirstTry; size <= kLongestPath; size *= 2) {
        std::vector<wchar_t> buffer(size);
        const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), size);
        if (n == 0) {
            return {};
        }
        if (n < size) {
            return Narrow(buffer.data(), n);
        }
    }
    return {};
}
