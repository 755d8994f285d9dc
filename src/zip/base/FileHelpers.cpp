#include "zip/base/FileHelpers.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "platform/FileSystem.h"
#include "platform/MessageHooks.h"

namespace {

TPathKind KindOf(const std::string& path) {
    return path.empty() ? TPathKind::Absent
                        : PathStatus(DOSToUnixFilename(path), TLinks::Follow).Kind;
}

DriveInfoProvider& Provider() {
    static DriveInfoProvider provider;
    return provider;
}

}  // namespace

bool DirExists(const std::string& dir) { return KindOf(dir) == TPathKind::Directory; }

std::string StripBackSlash(const std::string& s) {
    if (!s.empty() && (s.back() == '\\' || s.back() == '/')) {
        return s.substr(0, s.size() - 1);
    }
    return s;
}

std::string DOSToUnixFilename(std::string s) {
    std::replace(s.begin(), s.end(), '\\', '/');
    if (BackslashIsSeparator()) {
        return s;  // where it would separate, a held backslash stays held
    }
    const std::string held = kNameBackslash;
    for (size_t at = s.find(held); at != std::string::npos; at = s.find(held, at + 1)) {
        s.replace(at, held.size(), 1, '\\');
    }
    return s;
}

std::string UnixToDOSFilename(std::string s) {
    std::replace(s.begin(), s.end(), '/', '\\');
    return s;
}

namespace {

bool IsTopOfPath(const std::string& path) {
    // Nothing above these can be created: the root, or a drive such as "C:".
    return path.empty() || path == "/" || (path.size() == 2 && path[1] == ':');
}

std::string ParentOf(const std::string& path) {
    const size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

}  // namespace

void ForceCreateDirectories(const std::string& dir) {
    const std::string path = StripBackSlash(dir);
    if (IsTopOfPath(path) || DirExists(path)) {
        return;
    }
    ForceCreateDirectories(ParentOf(path));
    MakeDirectory(DOSToUnixFilename(path));
}

std::string DriveRoot(const std::string& name) {
    std::string root = name.substr(0, 3);
    for (char& c : root) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return root;
}

DriveInfoProvider SetDriveInfoProvider(DriveInfoProvider provider) {
    return std::exchange(Provider(), std::move(provider));
}

bool isDriveRemovable(const std::string& root) {
    return Provider().isRemovable ? Provider().isRemovable(root) : false;
}

std::optional<std::string> GetVolumeLabel(const std::string& root) {
    if (Provider().volumeLabel) {
        return Provider().volumeLabel(root);
    }
    return std::nullopt;
}

bool YieldProcess() {
    ProcessMessages();
    return false;
}
