// zuvo-pack --key SECRET_KEY --version X.Y.Z [--product zuvo-browser] DIR OUT.zip
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>

#include "Pack.h"

namespace {

const char* const kUsage =
    "usage: zuvo-pack --key SECRET_KEY --version X.Y.Z [--product NAME] DIR OUT.zip\n"
    "Packs every file of DIR (it must hold Browser.exe) with a manifest signed by the\n"
    "minisign secret key; a key with a password is signed through the minisign program.\n";

bool ParseArguments(int argc, char** argv, TPackOptions& options) {
    std::string* positional[] = {&options.sourceDir, &options.outputPath};
    size_t positionals = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        std::string* value = arg == "--key"       ? &options.secretKeyPath
                             : arg == "--version" ? &options.version
                             : arg == "--product" ? &options.product
                                                  : nullptr;
        if (value != nullptr) {
            if (++i == argc) {
                return false;
            }
            *value = argv[i];
        } else if (!arg.empty() && arg[0] != '-' && positionals < 2) {
            *positional[positionals++] = arg;
        } else {
            return false;
        }
    }
    return positionals == 2 && !options.secretKeyPath.empty() && !options.version.empty();
}

// Written beside the target first, so a failed run leaves no half package.
void WritePackage(const std::string& path, const std::string& bytes) {
    const std::string temporary = path + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) {
            throw std::runtime_error("cannot write " + temporary);
        }
    }
    std::filesystem::rename(temporary, path);
}

}  // namespace

int main(int argc, char** argv) {
    TPackOptions options;
    if (!ParseArguments(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    try {
        WritePackage(options.outputPath, MakePackage(options));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zuvo-pack: %s\n", e.what());
        return 1;
    }
    std::printf("zuvo-pack: %s %s written to %s\n", options.product.c_str(),
                options.version.c_str(), options.outputPath.c_str());
    return 0;
}
