// A stand-in for the zuvo browser on Windows, for the demo and the tests.
// Its version is not built in: it is the text after the last "\nversion="
// at the end of its own file, so that one program, with a line appended,
// can be any version of the browser. It prints "zuvo browser <version>" and
// adds "zuvo browser <version> started" to browser.log beside itself.
// Given "--hold", it then stays running until a file "release" appears
// beside it (at most a minute), the way a browser in use holds its program
// file.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "platform/win32/WindowsApi.h"

namespace {

std::filesystem::path OwnPath() {
    std::wstring path(32768, L'\0');
    const DWORD length =
        ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length);
    return path;
}

std::string VersionOf(const std::filesystem::path& own) {
    std::ifstream in(own, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string marker = "\nversion=";
    const size_t at = bytes.rfind(marker);
    if (at == std::string::npos) {
        return "unknown";
    }
    std::string version = bytes.substr(at + marker.size());
    while (!version.empty() && (version.back() == '\n' || version.back() == '\r')) {
        version.pop_back();
    }
    return version;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::filesystem::path own = OwnPath();
    const std::string name = "zuvo browser " + VersionOf(own);
    std::printf("%s\n", name.c_str());
    std::fflush(stdout);
    {
        std::ofstream log(own.parent_path() / "browser.log", std::ios::binary | std::ios::app);
        log << name << " started\n";
    }
    if (argc == 2 && std::wstring(argv[1]) == L"--hold") {
        const std::filesystem::path release = own.parent_path() / "release";
        for (int i = 0; i < 600 && !std::filesystem::exists(release); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    return 0;
}
