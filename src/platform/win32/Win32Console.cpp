#include "platform/Console.h"
#include "platform/ScopeExit.h"
#include "platform/win32/WideText.h"
#include "platform/win32/WindowsApi.h"

std::vector<std::string> ProgramArguments(int /*argc*/, char** /*argv*/) {
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr) {
        return {};
    }
    ScopeExit release([wide] { ::LocalFree(wide); });
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) {
        arguments.push_back(Narrow(wide[i]));
    }
    return arguments;
}

void UseUtf8Console() {
    ::SetConsoleOutputCP(CP_UTF8);
    ::SetConsoleCP(CP_UTF8);
}

std::function<void()> TurnConsoleEchoOff() {
    HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    DWORD saved = 0;
    // Fails when standard input is no console (a pipe, a file).
    if (input == INVALID_HANDLE_VALUE || !::GetConsoleMode(input, &saved) ||
        !::SetConsoleMode(input, saved & ~static_cast<DWORD>(ENABLE_ECHO_INPUT))) {
        return {};
    }
    return [input, saved] { ::SetConsoleMode(input, saved); };
}
