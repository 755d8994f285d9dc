#include "zip/FileHelpers.h"

#include <unistd.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/MessageHooks.h"
#include "zip/SmallHelpers.h"

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

bool File_Exists(const std::string& name) { return KindOf(name) == TPathKind::Regular; }

std::string StripBackSlash(const std::string& s) {
    if (!s.empty() && (s.back() == '\\' || s.back() == '/')) {
        return s.substr(0, s.size() - 1);
    }
    return s;
}

std::string DOSToUnixFilename(std::string s) {
    std::replace(s.begin(), s.end(), '\\', '/');
    return s;
}

std::string UnixToDOSFilename(std::string s) {
    std::replace(s.begin(), s.end(), '/', '\\');
    return s;
}

void ForceDirs(const std::string& dir) { ForceCreateDirectories(dir); }

std::string GetDirectory(int /*drive*/) {
    std::vector<char> buffer(4096);
    if (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        return "/";
    }
    std::string dir(buffer.data());
    if (dir.empty() || dir.back() != '/') {
        dir += '/';
    }
    return dir;
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
