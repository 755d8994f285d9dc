#include "zip/extract/EntryAttributes.h"

#include <algorithm>
#include <ctime>

#include "platform/FileSystem.h"
#include "platform/LocalTime.h"
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

namespace {

// Days from 1970-01-01 to the given day of the proleptic Gregorian calendar
// (month 1..12), by the usual era arithmetic.
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

int64_t SecondsAsIfUtc(const struct tm& parts) {
    return DaysFromCivil(parts.tm_year + int64_t{1900}, parts.tm_mon + int64_t{1}, parts.tm_mday) *
               86400 +
           parts.tm_hour * int64_t{3600} + parts.tm_min * int64_t{60} + parts.tm_sec;
}

// How far local time is ahead of UTC at the instant `when`.
int64_t LocalOffsetAt(time_t when) { return LocalTimeOffset(when); }

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
    // mktime would do this too, but it reloads the time zone on every call
    // (a look at its file each time); localtime_r keeps the loaded one.
    // The offset is the one in force at the moment meant, whatever daylight
    // saving time said on that day: guessed from the wall time read as UTC,
    // then taken again at the instant that guess gives. In the hour that a
    // clock change skips the offset from before the change is used.
    const int64_t wall = SecondsAsIfUtc(parts);
    const int64_t first = wall - LocalOffsetAt(static_cast<time_t>(wall));
    const int64_t offset = LocalOffsetAt(static_cast<time_t>(first));
    const int64_t second = wall - offset;
    if (LocalOffsetAt(static_cast<time_t>(second)) == offset) {
        return static_cast<time_t>(second);
    }
    return static_cast<time_t>(std::max(first, second));
}

bool ModeDependsOnCurrent(uint16_t versionMadeBy, uint32_t externalAttributes) {
    return (versionMadeBy >> 8) != kHostUnix || (externalAttributes >> 16) == 0;
}

std::optional<uint32_t> ModeForEntry(uint16_t versionMadeBy, uint32_t externalAttributes,
                                     uint32_t currentMode, bool directory) {
    const uint32_t ownerAll = directory ? kOwnerAll : 0;
    if (!ModeDependsOnCurrent(versionMadeBy, externalAttributes)) {
        return ((externalAttributes >> 16) & kAllPermissions) | ownerAll;
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
