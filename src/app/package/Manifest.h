#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The package manifest, zuvo-package.txt: UTF-8, LF line ends,
//
//     zuvo-package 1
//     product zuvo-browser
//     version 2.0.17
//     file <sha256 hex> <size in bytes> <path inside the zip, '/' separated>
//
// Parsing is strict, because the manifest is what the signature vouches
// for: anything it does not understand is refused rather than skipped.

// The names the manifest and its signature have inside a package.
inline constexpr std::string_view kManifestName = "zuvo-package.txt";
inline constexpr std::string_view kManifestSignatureName = "zuvo-package.txt.minisig";

struct TManifestFile {
    std::string sha256;  // 64 lower-case hex digits
    uint64_t size = 0;
    std::string path;
};

struct TPackageManifest {
    std::string product;
    std::string version;
    std::vector<TManifestFile> files;

    // The listed file of that path, or null.
    const TManifestFile* Find(std::string_view path) const;
};

// Raises EPackageRefused naming the first fault.
TPackageManifest ParseManifest(std::string_view text);

// The manifest's text form, which ParseManifest reads back unchanged.
std::string FormatManifest(const TPackageManifest& manifest);

// Dotted numeric versions ("2.0.17"): negative, zero or positive as `a` is
// older than, the same as or newer than `b`; missing parts count as 0.
// Raises EPackageRefused for anything but digits separated by single dots.
int CompareVersions(std::string_view a, std::string_view b);

// Raises when the text is not a usable path inside a package: empty, with
// a leading '/', a backslash, an empty, "." or ".." part, or a control
// character.
void CheckPackagePath(std::string_view path);
