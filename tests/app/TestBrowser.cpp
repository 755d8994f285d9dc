// A stand-in for Browser.exe on Windows. Its version is not built in: it is
// the text after the last "\nversion=" at the end of its own file, so that
// one program, with a line appended, can be any version of the browser.
// Started, it writes "started-<version>" beside itself. Given "--hold", it
// then stays running until a file "release" appears beside it (at most a
// minute), the way a browser in use holds its program file.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "platform/win32/WindowsApi.h"

namespace {

std::wstring OwnPath() {
    std::wstring path(32768, L'\0');
    const DWORD length =
        ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length);
    return path;
}

std::wstring Beside(const std::wstring& own, const std::wstring& name) {
    return own.substr(0, own.find_last_of(L'\\') + 1) + name;
}

std::string VersionOf(const std::wstring& own) {
    std::ifstream in(std::filesystem::path(own), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string marker = "\nversion=";
    const size_t at = bytes.rfind(marker);
    if (at == std::string::npos) {
        return "none";
    }
    std::string version = bytes.substr(at + marker.size());
    while (!version.empty() && (version.back() == '\n' || version.back() == '\r')) {
        version.pop_back();
    }
    return version;
}

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring own = OwnPath();
    const std::string version = VersionOf(own);
    {
        const std::filesystem::path marked =
            Beside(own, L"started-" + std::wstring(version.begin(), version.end()));
        std::ofstream marker(marked, std::ios::binary | std::ios::app);
        marker << version << "\n";
    }
    if (argc == 2 && std::wstring(argv[1]) == L"--hold") {
        const std::wstring release = Beside(own, L"release");
        for (int i = 0; i < 600 && !Exists(release); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    return 0;
}
