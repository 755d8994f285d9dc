#include "zip/base/FileHelpers.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/MessageHooks.h"
#include "zip/base/SmallHelpers.h"

namespace {

bool StatPath(const std::string& path, struct stat& info) {
    return !path.empty() && ::stat(DOSToUnixFilename(path).c_str(), &info) == 0;
}

DriveInfoProvider& Provider() {
    static DriveInfoProvider provider;
    return provider;
}

}  // namespace

bool DirExists(const std::string& dir) {
    struct stat info {};
    return StatPath(dir, info) && S_ISDIR(info.st_mode);
}

bool File_Exists(const std::string& name) {
    struct stat info {};
    return StatPath(name, info) && S_ISREG(info.st_mode);
}

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
