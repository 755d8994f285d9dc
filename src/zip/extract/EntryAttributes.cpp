#include "zip/extract/EntryAttributes.h"

#include "platform/FileSystem.h"
#include "zip/base/SmallHelpers.h"

namespace {

constexpr uint16_t kHostUnix = 3;
constexpr uint32_t kDosReadOnly = 0x01;
constexpr uint32_t kOwnerAll = 0700;
constexpr uint32_t kAllPermissions = 0777;
constexpr uint32_t kWriteBits = 0222;
constexpr uint32_t kFileTypeBits = 0170000;
constexpr uint32_t kSymbolicLinkType = 0120000;

}  // namespace

time_t DosDateTimeToUnix(uint32_t dosDateTime) {
    const uint32_t v = GoodTimeStamp(dosDateTime);
    const uint32_t time = v & 0xFFFFu;
    const uint32_t date = v >> 16;
    struct tm parts {};
    parts.tm_year = static_cast<int>((date >> 9) + 80);
    parts.tm_mon = static_cast<int>((date >> 5) & 0x0F) - 1;
    parts.tm_mday = static_cast<int>(date & 0x1F);
    parts.tm_hour = static_cast<int>(time >> 11);
    parts.tm_min = static_cast<int>((time >> 5) & 0x3F);
    parts.tm_sec = static_cast<int>((time & 0x1F) * 2);
    parts.tm_isdst = -1;  // whatever daylight saving time said on that day
    return ::mktime(&parts);
}

std::optional<uint32_t> ModeForEntry(uint16_t versionMadeBy, uint32_t externalAttributes,
                                     uint32_t currentMode, bool directory) {
    const uint32_t ownerAll = directory ? kOwnerAll : 0;
    if ((versionMadeBy >> 8) == kHostUnix) {
        const uint32_t unixMode = externalAttributes >> 16;
        if (unixMode != 0) {
            return (unixMode & kAllPermissions) | ownerAll;
        }
    }
    if ((externalAttributes & kDosReadOnly) != 0) {
        return (currentMode & kAllPermissions & ~kWriteBits) | ownerAll;
    }
    return std::nullopt;
}

void ApplyDirectoryAttributes(const char* path, uint16_t versionMadeBy,
                              uint32_t externalAttributes) {
    const TPathStatus info = PathStatus(path, TLinks::DoNotFollow);
    if (info.Kind != TPathKind::Directory) {
        return;
    }
    if (const auto mode = ModeForEntry(versionMadeBy, externalAttributes, info.Mode, true)) {
        SetPathMode(path, *mode);
    }
}

bool IsSymbolicLinkEntry(uint16_t versionMadeBy, uint32_t externalAttributes) {
    return (versionMadeBy >> 8) == kHostUnix &&
           ((externalAttributes >> 16) & kFileTypeBits) == kSymbolicLinkType;
}
