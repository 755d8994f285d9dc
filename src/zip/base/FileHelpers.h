#pragma once

#include <functional>
#include <optional>
#include <string>

// File-system helpers of the zip component. Stored names use `\` inside the
// component; these functions accept either separator and turn `\` into `/`
// when they reach the file system.

// True when the path exists and is a directory.
bool DirExists(const std::string& dir);
// s without one trailing separator (`\` or `/`).
std::string StripBackSlash(const std::string& s);
// Inside the component `\` separates a path's parts. A backslash that is
// part of a name (Unix allows it) is held as this private-use character,
// as Cygwin and WSL hold it, and becomes a backslash again in a path of a
// system where a backslash is no separator.
inline constexpr const char* kNameBackslash = "\xEF\x81\x9C";  // U+F05C
// Every `\` becomes `/`, every held backslash `\`.
std::string DOSToUnixFilename(std::string s);
// Every `/` becomes `\`.
std::string UnixToDOSFilename(std::string s);
// Creates dir and every missing parent; failures are ignored (a later open
// of a file in it reports them). One trailing separator is ignored.
void ForceCreateDirectories(const std::string& dir);

// Drive queries. This platform has no drive letters, so by default no drive
// is removable and no volume label can be read (nullopt). A program that can
// answer better (or a test) installs its own provider.
struct DriveInfoProvider {
    std::function<bool(const std::string& root)> isRemovable;
    std::function<std::optional<std::string>(const std::string& root)> volumeLabel;
};
DriveInfoProvider SetDriveInfoProvider(DriveInfoProvider provider);

// The drive part of a name ("c:\x" gives "C:\"): its first three
// characters, upper-cased.
std::string DriveRoot(const std::string& name);
// True for a removable or optical drive; `root` is like "A:\".
bool isDriveRemovable(const std::string& root);
// The volume label of the drive, or nullopt when it cannot be read.
std::optional<std::string> GetVolumeLabel(const std::string& root);

// Gives waiting window messages a turn through the runtime's pump hook.
// Returns true when the application is quitting (this runtime's pump never
// reports that, so it always returns false).
bool YieldProcess();
