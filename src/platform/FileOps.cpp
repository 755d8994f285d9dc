#include "platform/FileOps.h"

#include "platform/FileSystem.h"

bool FileExists(const std::string& path) {
    return PathStatus(path, TLinks::Follow).Kind == TPathKind::Regular;
}

bool DirectoryExists(const std::string& path) {
    return PathStatus(path, TLinks::Follow).Kind == TPathKind::Directory;
}
