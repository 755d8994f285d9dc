#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Looking at and shaping single paths, for code that must tell a link from
// what it points to (the unzip component's checks against archives that
// write through links). Paths use "/" and are passed to the system as they
// are.

enum class TPathKind {
    Absent,   // nothing by that name
    Unknown,  // exists or not: it cannot be looked at (no permission, ...)
    Regular,
    Directory,
    Link,   // only when links are not followed
    Other,  // device, pipe, socket
};

enum class TLinks { Follow, DoNotFollow };

struct TPathStatus {
    TPathKind Kind = TPathKind::Absent;
    int64_t Size = 0;
    uint32_t Mode = 0;            // permission bits, the low 12 bits of a POSIX mode
    int64_t ModifiedSeconds = 0;  // since 1970, UTC
    int32_t ModifiedNanoseconds = 0;
};

TPathStatus PathStatus(const std::string& path, TLinks links);

// Sets the permission bits of a path (following a link).
bool SetPathMode(const std::string& path, uint32_t mode);

enum class TMakeDirectoryResult { Made, AlreadyThere, Failed };

// Makes one directory level with the widest permissions the user's mask
// allows. AlreadyThere says something of that name exists, whatever it is.
TMakeDirectoryResult MakeDirectory(const std::string& path);

// Makes a symbolic link at `path` holding `target` as given; fails when
// anything already has that name.
bool MakeSymbolicLink(const std::string& target, const std::string& path);

// The bytes an unprivileged user may still write on the file system that
// holds `path`; nothing when it cannot be found out.
std::optional<int64_t> FreeSpaceAt(const std::string& path);

// The names in a directory, without "." and ".."; empty when it cannot be
// read.
std::vector<std::string> ListDirectory(const std::string& path);

// Removes a file, a link (never what it points to) or a directory with
// everything below it; true when nothing is left by that name.
bool RemoveTree(const std::string& path);

// Whether the system takes "\" in a path as a separator (Windows) rather
// than as a character of a name (POSIX).
bool BackslashIsSeparator();
