#pragma once

#include <set>
#include <string>
#include <vector>

// Where an entry lands on disk, and the checks that keep every entry inside
// the destination directory ("zip slip"). Stored paths use `\`; the paths
// returned here use `/`, as the file system does.

// Deletes the first item of `prefixes` that starts `path` (compared without
// regard to ASCII letter case). An empty item strips nothing.
void StripRelativePrefix(std::string& path, const std::vector<std::string>& prefixes);

// `name` without the control characters 0x01-0x1F and 0x7F, which have no
// business in a file name; NUL stays, for the checks to refuse.
std::string WithoutControlCharacters(const std::string& name);

struct TOutputPlace {
    // The output directory, ending in `/` (empty: the current directory).
    std::string directory;
    // False when the stored path would leave the destination; `reason` says
    // why and `directory` is then only the literal join, for messages.
    bool safe = true;
    std::string reason;
};

struct TPlacementRules {
    std::string destDir;  // without a trailing separator; empty: the current directory
    bool recreateDirs = false;
    std::vector<std::string> relativePathList;
};

// Output directory of an entry whose stored directory part is
// `storedDirectory` (`\` separators, trailing `\`, or empty) and whose file
// name is `fileName`. Control characters are left out of the directory
// part, and the checks see the names without them. Unsafe: a ".." component; a NUL byte; an
// absolute path or a drive letter while the destination is empty. With a destination, an absolute
// path or a drive letter is taken relative to it.
TOutputPlace PlaceEntry(const TPlacementRules& rules, const std::string& storedDirectory,
                        const std::string& fileName);

// Creates the directories of `path` (a directory ending in `/`, or a file
// path whose directory part is meant) that lie below `destDir`, one at a
// time, never following a symbolic link: a component that exists as a link
// or as anything but a directory makes the path unsafe. Directories already
// checked during the run are remembered in `checked`. With `create` false
// nothing is created and a missing component is fine. Returns an empty
// string when the path is safe, else the reason.
std::string MakeDirectoriesInside(const std::string& destDir, const std::string& path, bool create,
                                  std::set<std::string>& checked);

// "" when nothing is at `path` or a regular file is; else the reason why a
// file may not be written there (a symbolic link, a directory, ...).
std::string CheckFinalComponent(const std::string& path);

// "" when a symbolic link at `linkPath` (below `destDir`, whose directories
// are real ones, as MakeDirectoriesInside leaves them) holding `target`
// points inside the destination, else the reason. Only a relative target
// whose ".." components all come first and climb no higher than the
// destination is inside: a ".." after a name could climb out through
// another link, whatever that link's own target.
std::string CheckLinkTarget(const std::string& destDir, const std::string& linkPath,
                            const std::string& target);

// Text of the reasons above.
namespace PathReasons {
inline constexpr const char* NulByte = "unsafe path: NUL byte in the name";
inline constexpr const char* ParentComponent = "unsafe path: \"..\" component";
inline constexpr const char* AbsoluteWithoutDest =
    "unsafe path: absolute path without a destination";
inline constexpr const char* DriveWithoutDest = "unsafe path: drive letter without a destination";
inline constexpr const char* SymbolicLink = "unsafe path: symbolic link inside the destination";
inline constexpr const char* NotADirectory = "unsafe path: a file stands where a directory belongs";
inline constexpr const char* OnlyControlCharacters =
    "nothing is left of the name without its control characters";
inline constexpr const char* LinkLeaves = "symbolic link pointing outside the destination";
inline constexpr const char* LinkAbsolute = "symbolic link with an absolute target";
inline constexpr const char* LinkEmpty = "symbolic link with an empty target or a NUL byte";
}  // namespace PathReasons
