#include "TempDir.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <vector>

#include "platform/FileHandle.h"

namespace {

constexpr int kNameAttempts = 100;

// Paths are UTF-8 in the program; std::filesystem reads a narrow string in
// the system's code page on Windows, so the bytes are handed over as UTF-8.
std::filesystem::path PathOf(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8Of(const std::filesystem::path& path) {
    const std::u8string text = path.generic_u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace

TempDir::TempDir() {
    // A random name made with create_directory, which fails on a name that
    // is taken, rather than mkdtemp, which Windows lacks.
    std::random_device random;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::filesystem::path candidate = base / ("zuvo-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(candidate)) {
            path_ = Utf8Of(candidate) + "/";
            return;
        }
    }
    throw std::runtime_error("no fresh temporary directory could be made");
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(PathOf(path_), ignored);
}

std::string TempDir::WriteFile(const std::string& name, const std::string& bytes) const {
    const std::string full = path_ + name;
    std::filesystem::create_directories(PathOf(full).parent_path());
    std::ofstream out(PathOf(full), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return full;
}

std::string TempDir::ReadFile(const std::string& fullPath) {
    // Through the program's own file layer: names the program made from
    // bytes that are not UTF-8 are found again the way it made them.
    TFileHandle file;
    if (!file.Open(fullPath, TFileAccess::Read)) {
        return {};
    }
    std::string bytes(static_cast<size_t>(file.Size().value_or(0)), '\0');
    bytes.resize(static_cast<size_t>(file.Read(bytes.data(), static_cast<int64_t>(bytes.size()))));
    return bytes;
}
