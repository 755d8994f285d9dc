#include "win32/Program.h"

#include <string>

// clang-format off
#include "platform/win32/WindowsApi.h"
// clang-format on
#include "platform/ScopeExit.h"

bool UnattendedRequested() {
    int count = 0;
    LPWSTR* arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!arguments) {
        return false;
    }
    ScopeExit freeArguments([&] { ::LocalFree(arguments); });
    return count == 2 && std::wstring(arguments[1]) == L"--unattended";
}

void RunMessageLoop() {
    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}
