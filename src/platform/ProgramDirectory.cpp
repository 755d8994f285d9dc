#include "platform/ProgramDirectory.h"

#include <unistd.h>

#include <vector>

std::string ExecutablePath() {
    std::vector<char> buffer(4096);
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0) {
        return {};
    }
    return std::string(buffer.data(), static_cast<size_t>(n));
}

std::string ProgramDirectory() {
    const std::string exe = ExecutablePath();
    const auto slash = exe.rfind('/');
    if (slash == std::string::npos) {
        return "./";
    }
    return exe.substr(0, slash + 1);
}
