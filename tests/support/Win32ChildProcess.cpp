#include "ChildProcess.h"
#include "platform/ScopeExit.h"
#include "platform/win32/WideText.h"
#include "platform/win32/WindowsApi.h"

namespace {

// One argument as CommandLineToArgvW reads it back: quoted, with quotes
// and the backslashes before them escaped.
std::wstring Quoted(const std::wstring& argument) {
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        const size_t repeat = c == L'"' ? backslashes * 2 + 1 : backslashes;
        quoted.append(repeat, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

}  // namespace

int RunProgramQuietly(const std::string& program, const std::vector<std::string>& arguments) {
    std::wstring commandLine = Quoted(WidePath(program));
    for (const std::string& argument : arguments) {
        commandLine += L" " + Quoted(Widen(argument));
    }
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE nul =
        ::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      &inherit, OPEN_EXISTING, 0, nullptr);
    if (nul == INVALID_HANDLE_VALUE) {
        return -1;
    }
    ScopeExit closeNul([nul] { ::CloseHandle(nul); });
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul;
    startup.hStdOutput = nul;
    startup.hStdError = nul;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                          &startup, &process)) {
        return -1;
    }
    ScopeExit closeProcess([&process] {
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    });
    DWORD status = 0;
    if (::WaitForSingleObject(process.hProcess, INFINITE) != WAIT_OBJECT_0 ||
        !::GetExitCodeProcess(process.hProcess, &status)) {
        return -1;
    }
    return static_cast<int>(status);
}
