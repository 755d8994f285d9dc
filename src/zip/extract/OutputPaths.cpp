#include "zip/extract/OutputPaths.h"

#include <optional>

#include "platform/FileSystem.h"
#include "zip/base/FileHelpers.h"

namespace {

constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7F;

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    if (prefix.size() > text.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (LowerAscii(text[i]) != LowerAscii(prefix[i])) {
            return false;
        }
    }
    return true;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// True when one of the components of `path` (split at either separator) is
// "..", the only component that climbs out of a directory.
bool HasParentComponent(const std::string& path) {
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = start;
        while (end < path.size() && !IsSeparator(path[end])) {
            ++end;
        }
        if (path.compare(start, end - start, "..") == 0 && end - start == 2) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

std::vector<std::string> Components(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (const char c : path) {
        if (c == '/') {
            if (!part.empty() && part != ".") {
                parts.push_back(part);
            }
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty() && part != ".") {
        parts.push_back(part);
    }
    return parts;
}

// The part of `path` below `dest` ("" when `dest` is empty: all of it);
// nullopt when `path` does not lie below `dest`.
std::optional<std::string> BelowDestination(const std::string& dest, const std::string& path) {
    if (dest.empty()) {
        return path;
    }
    if (path.compare(0, dest.size(), dest) != 0 ||
        (path.size() > dest.size() && path[dest.size()] != '/')) {
        return std::nullopt;
    }
    return path.substr(dest.size());
}

}  // namespace

void StripRelativePrefix(std::string& path, const std::vector<std::string>& prefixes) {
    for (const auto& prefix : prefixes) {
        if (StartsWithNoCase(path, prefix)) {
            path.erase(0, prefix.size());
            return;
        }
    }
}

std::string WithoutControlCharacters(const std::string& name) {
    std::string kept;
    kept.reserve(name.size());
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == 0 || (byte >= kFirstPrintable && byte != kDelete)) {
            kept += c;
        }
    }
    return kept;
}

TOutputPlace PlaceEntry(const TPlacementRules& rules, const std::string& storedDirectory,
                        const std::string& fileName) {
    std::string rel;
    bool drive = false;
    bool absolute = false;
    if (rules.recreateDirs && !storedDirectory.empty()) {
        rel = storedDirectory;
        StripRelativePrefix(rel, rules.relativePathList);
        if (rel.size() >= 2 && rel[1] == ':') {
            drive = true;
            rel.erase(0, 2);
        }
        // The root of the destination stands for the root of the stored path.
        while (!rel.empty() && IsSeparator(rel[0])) {
            absolute = true;
            rel.erase(0, 1);
        }
    }
    rel = WithoutControlCharacters(rel);
    const std::string dest = DOSToUnixFilename(rules.destDir);
    TOutputPlace place;
    place.directory = (dest.empty() ? std::string() : dest + "/") + DOSToUnixFilename(rel);
    if (rel.find('\0') != std::string::npos || fileName.find('\0') != std::string::npos) {
        // The system would end the name at the NUL: a different file.
        place.safe = false;
        place.reason = PathReasons::NulByte;
    } else if (HasParentComponent(rel) || WithoutControlCharacters(fileName) == "..") {
        place.safe = false;
        place.reason = PathReasons::ParentComponent;
    } else if (!fileName.empty() && WithoutControlCharacters(fileName).empty()) {
        place.safe = false;
        place.reason = PathReasons::OnlyControlCharacters;
    } else if (dest.empty() && drive) {
        place.safe = false;
        place.reason = PathReasons::DriveWithoutDest;
    } else if (dest.empty() && absolute) {
        place.safe = false;
        place.reason = PathReasons::AbsoluteWithoutDest;
    }
    return place;
}

std::string MakeDirectoriesInside(const std::string& destDir, const std::string& path, bool create,
                                  std::set<std::string>& checked) {
    const std::string dest = DOSToUnixFilename(destDir);
    const size_t cut = path.rfind('/');
    if (cut == std::string::npos) {
        return "";
    }
    const std::optional<std::string> relative = BelowDestination(dest, path.substr(0, cut));
    if (!relative) {
        return "";  // not below the destination: the caller chose it
    }
    const std::string& below = *relative;
    std::string current = dest;
    for (const auto& part : Components(below)) {
        current = current.empty() ? part : current + "/" + part;
        if (checked.count(current) > 0) {
            continue;
        }
        const TPathKind kind = PathStatus(current, TLinks::DoNotFollow).Kind;
        if (kind == TPathKind::Link) {
            return PathReasons::SymbolicLink;
        }
        if (kind != TPathKind::Absent && kind != TPathKind::Unknown &&
            kind != TPathKind::Directory) {
            return PathReasons::NotADirectory;
        }
        if (kind == TPathKind::Unknown) {
            return "";  // cannot be looked at: creating the file fails and says so
        }
        if (kind == TPathKind::Absent &&
            (!create || MakeDirectory(current) == TMakeDirectoryResult::Failed)) {
            return "";  // the file's creation reports it
        }
        checked.insert(current);
    }
    return "";
}

std::string CheckFinalComponent(const std::string& path) {
    if (PathStatus(path, TLinks::DoNotFollow).Kind == TPathKind::Link) {
        return PathReasons::SymbolicLink;
    }
    return "";
}

std::string CheckLinkTarget(const std::string& destDir, const std::string& linkPath,
                            const std::string& target) {
    if (target.empty() || target.find('\0') != std::string::npos) {
        return PathReasons::LinkEmpty;
    }
    if (target[0] == '/') {
        return PathReasons::LinkAbsolute;
    }
    const size_t cut = linkPath.rfind('/');
    const std::optional<std::string> below = BelowDestination(
        DOSToUnixFilename(destDir), cut == std::string::npos ? "" : linkPath.substr(0, cut));
    if (!below) {
        return PathReasons::LinkLeaves;
    }
    size_t depth = Components(*below).size();
    bool named = false;
    for (const auto& part : Components(target)) {
        if (part != "..") {
            named = true;
        } else if (named || depth == 0) {
            return PathReasons::LinkLeaves;
        } else {
            --depth;
        }
    }
    return "";
}
