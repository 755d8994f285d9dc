#include <unistd.h>

#include <vector>

#include "platform/ProgramDirectory.h"

namespace {

constexpr size_t kLongestPath = 4096;

}  // namespace

std::string ExecutablePath() {
    std::vector<char> buffer(kLongestPath);
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0) {
        return {};
    }
    return std::string(buffer.data(), static_cast<size_t>(n));
}
