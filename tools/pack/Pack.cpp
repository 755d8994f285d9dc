#include "Pack.h"

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "SecretKey.h"
#include "ZipWriter.h"
#include "package/Crypto.h"
#include "package/Manifest.h"
#include "platform/ScopeExit.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

struct TPackFile {
    std::string path;  // inside the package, '/' separated
    std::string data;
};

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path.string());
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const fs::path& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    if (!out.flush()) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

// Every regular file below the folder, sorted by path so the same folder
// always packs alike; links and special files are refused, not followed.
std::vector<TPackFile> CollectFiles(const fs::path& root) {
    std::vector<TPackFile> files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
        const fs::file_status status = entry.symlink_status();
        if (fs::is_directory(status)) {
            continue;
        }
        const std::string path = entry.path().lexically_relative(root).generic_string();
        if (!fs::is_regular_file(status)) {
            throw std::runtime_error(path + " is a link or special file; only files are packed");
        }
        CheckPackagePath(path);
        if (path == kManifestName || path == kManifestSignatureName) {
            throw std::runtime_error(path + " is written by zuvo-pack; remove it from the folder");
        }
        files.push_back(TPackFile{path, ReadFile(entry.path())});
    }
    std::sort(files.begin(), files.end(),
              [](const TPackFile& a, const TPackFile& b) { return a.path < b.path; });
    if (std::none_of(files.begin(), files.end(),
                     [](const TPackFile& f) { return f.path == "Browser.exe"; })) {
        throw std::runtime_error("the folder holds no Browser.exe at its top");
    }
    return files;
}

TPackageManifest ManifestOf(const TPackOptions& options, const std::vector<TPackFile>& files) {
    CompareVersions(options.version, "0");  // raises for anything but dotted numbers
    TPackageManifest manifest;
    manifest.product = options.product;
    manifest.version = options.version;
    for (const TPackFile& file : files) {
        manifest.files.push_back(TManifestFile{ToHex(Digest(THashKind::Sha256, file.data)),
                                               file.data.size(), file.path});
    }
    // What the updater will read must also parse here.
    ParseManifest(FormatManifest(manifest));
    return manifest;
}

// Runs minisign to sign `file`, with this terminal for its password prompt.
void RunMinisign(const std::string& secretKeyPath, const std::string& file,
                 const std::string& trustedComment) {
    std::vector<std::string> args = {"minisign", "-S", "-s", secretKeyPath,
                                     "-m",       file, "-t", trustedComment};
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t child = 0;
    if (::posix_spawnp(&child, "minisign", nullptr, nullptr, argv.data(), environ) != 0) {
        throw std::runtime_error("the key has a password and minisign could not be started");
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw std::runtime_error("minisign could not sign the manifest");
    }
}

}  // namespace

std::string SignManifest(const std::string& secretKeyPath, const std::string& manifest,
                         const std::string& trustedComment) {
    const std::string keyText = ReadFile(secretKeyPath);
    if (!SecretKeyHasPassword(keyText)) {
        return SignMinisign(ParseSecretKey(keyText), manifest, trustedComment);
    }
    std::string scratch = (fs::temp_directory_path() / "zuvo-pack-XXXXXX").string();
    if (::mkdtemp(scratch.data()) == nullptr) {
        throw std::runtime_error("cannot make a scratch folder");
    }
    const ScopeExit removeScratch([&scratch] {
        std::error_code ignored;
        fs::remove_all(scratch, ignored);
    });
    const fs::path file = fs::path(scratch) / std::string(kManifestName);
    WriteFile(file, manifest);
    RunMinisign(secretKeyPath, file.string(), trustedComment);
    return ReadFile(file.string() + ".minisig");
}

std::string MakePackage(const TPackOptions& options) {
    const std::vector<TPackFile> files = CollectFiles(options.sourceDir);
    const std::string manifest = FormatManifest(ManifestOf(options, files));
    const std::string comment = "timestamp:" + std::to_string(std::time(nullptr)) +
                                "\tfile:" + std::string(kManifestName) + "\t" + options.product +
                                " " + options.version;
    const std::string signature = SignManifest(options.secretKeyPath, manifest, comment);
    TZipWriter zip;
    zip.Add(std::string(kManifestName), manifest, 0644, TZipWriter::TMethod::Stored);
    zip.Add(std::string(kManifestSignatureName), signature, 0644, TZipWriter::TMethod::Stored);
    for (const TPackFile& file : files) {
        zip.Add(file.path, file.data, file.path == "Browser.exe" ? 0755 : 0644,
                TZipWriter::TMethod::Deflated);
    }
    return zip.Finish();
}
