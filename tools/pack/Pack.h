#pragma once

#include <string>

// zuvo-pack: turns a folder into a signed update package.
struct TPackOptions {
    std::string secretKeyPath;
    std::string version;
    std::string product = "zuvo-browser";
    std::string sourceDir;
    std::string outputPath;
};

// The package's bytes: every regular file below the source folder
// (Browser.exe 0755, everything else 0644, deflated), then the manifest and
// its minisign signature. Raises std::exception with the reason (a missing
// Browser.exe, a link or special file, a bad version, an unreadable key).
std::string MakePackage(const TPackOptions& options);

// Signs the manifest with the key file: directly for a key without a
// password, through the minisign program (which asks for the password)
// otherwise. Returns the .minisig text.
std::string SignManifest(const std::string& secretKeyPath, const std::string& manifest,
                         const std::string& trustedComment);
