// Extracted files' dates and modes from an entry's fields: the local-time
// reading of DOS dates without mktime, in zones with and without daylight
// saving time, and which entries need the file's present mode.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "platform/LocalTime.h"
#include "platform/ScopeExit.h"
#include "zip/extract/EntryAttributes.h"

namespace {

uint32_t DosValue(int year, int month, int day, int hour, int minute, int second) {
    const auto date = static_cast<uint32_t>(((year - 1980) << 9) | (month << 5) | day);
    const auto time = static_cast<uint32_t>((hour << 11) | (minute << 5) | (second / 2));
    return (date << 16) | time;
}

struct tm WallParts(int year, int month, int day, int hour, int minute, int second) {
    struct tm parts {};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    parts.tm_isdst = -1;
    return parts;
}

// Whether `when` shows as the given wall time in the loaded zone.
bool ShowsAs(time_t when, const struct tm& wall) {
    struct tm shown {};
    localtime_r(&when, &shown);
    return shown.tm_year == wall.tm_year && shown.tm_mon == wall.tm_mon &&
           shown.tm_mday == wall.tm_mday && shown.tm_hour == wall.tm_hour &&
           shown.tm_min == wall.tm_min && shown.tm_sec == wall.tm_sec;
}

// Runs `body` with TZ set to `zone`, restoring the process's zone after.
template <class Body>
void InZone(const char* zone, Body body) {
    const char* before = std::getenv("TZ");
    const std::optional<std::string> saved =
        before ? std::optional<std::string>(before) : std::nullopt;
    ScopeExit restore([&] {
        if (saved) {
            setenv("TZ", saved->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        RefreshLocalTimeZone();
    });
    setenv("TZ", zone, 1);
    RefreshLocalTimeZone();
    body();
}

constexpr int kDaysInMonth[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// Every hour of the given years: wherever the wall time exists once, the
// result shows as that wall time and equals mktime's; in the hour a clock
// change skips, it is the wall time read with the offset from before.
void ExpectSameAsMktime(int firstYear, int lastYear) {
    for (int year = firstYear; year <= lastYear; ++year) {
        for (int month = 1; month <= 12; ++month) {
            const int days = month == 2 && !IsLeap(year) ? 28 : kDaysInMonth[month - 1];
            for (int day = 1; day <= days; ++day) {
                for (int hour = 0; hour < 24; ++hour) {
                    const struct tm wall = WallParts(year, month, day, hour, 30, 14);
                    struct tm copy = wall;
                    const time_t expected = mktime(&copy);
                    const time_t got = DosDateTimeToUnix(DosValue(year, month, day, hour, 30, 14));
                    if (!ShowsAs(expected, wall)) {
                        // Skipped by the clock: one hour later on the wall.
                        EXPECT_TRUE(ShowsAs(got, WallParts(year, month, day, hour + 1, 30, 14)))
                            << year << "-" << month << "-" << day << " " << hour;
                        continue;
                    }
                    ASSERT_TRUE(ShowsAs(got, wall)) << year << "-" << month << "-" << day << " "
                                                    << hour << ": " << got << " vs " << expected;
                    // An hour shown twice may be either instant; others are one.
                    if (!ShowsAs(expected + 3600, wall) && !ShowsAs(expected - 3600, wall)) {
                        ASSERT_EQ(got, expected) << year << "-" << month << "-" << day;
                    }
                }
            }
        }
    }
}

TEST(DosDateTimeToUnix, AgreesWithMktimeInZonesWithAndWithoutDaylightSaving) {
    // Rules written out, so no zone database is needed: central Europe,
    // the southern hemisphere (summer across the new year), a half-hour
    // zone behind UTC, and plain UTC.
    for (const char* zone : {"CET-1CEST,M3.5.0,M10.5.0/3", "AEST-10AEDT,M10.1.0,M4.1.0/3",
                             "NST3:30NDT,M3.2.0,M11.1.0", "UTC0"}) {
        SCOPED_TRACE(zone);
        InZone(zone, [] {
            ExpectSameAsMktime(2020, 2021);
            ExpectSameAsMktime(2099, 2099);
        });
    }
}

TEST(DosDateTimeToUnix, KnownInstants) {
    InZone("CET-1CEST,M3.5.0,M10.5.0/3", [] {
        // Summer: two hours ahead of UTC; winter: one.
        EXPECT_EQ(DosDateTimeToUnix(DosValue(2021, 7, 1, 12, 0, 0)), 1625133600);
        EXPECT_EQ(DosDateTimeToUnix(DosValue(2021, 1, 1, 1, 0, 0)), 1609459200);
        EXPECT_EQ(DosDateTimeToUnix(DosValue(1980, 1, 1, 0, 0, 0)), 315529200);
    });
    // A zone changed between runs is seen once it is loaded again.
    InZone("UTC0",
           [] { EXPECT_EQ(DosDateTimeToUnix(DosValue(2021, 7, 1, 12, 0, 0)), 1625140800); });
}

TEST(ModeForEntry, UnixBitsIgnoreThePresentModeOthersUseIt) {
    constexpr uint16_t kUnix = 3 << 8;
    constexpr uint16_t kDos = 0;
    const uint32_t unixMode = 0100640u << 16;
    EXPECT_FALSE(ModeDependsOnCurrent(kUnix, unixMode));
    EXPECT_EQ(ModeForEntry(kUnix, unixMode, 0777, false), 0640u);
    EXPECT_EQ(ModeForEntry(kUnix, unixMode, 0, true), 0740u);
    // A Unix entry without bits, and a DOS entry, depend on the present mode.
    EXPECT_TRUE(ModeDependsOnCurrent(kUnix, 0x01));
    EXPECT_TRUE(ModeDependsOnCurrent(kDos, 0x01));
    EXPECT_EQ(ModeForEntry(kDos, 0x01, 0664, false), 0444u);
    EXPECT_EQ(ModeForEntry(kDos, 0x20, 0664, false), std::nullopt);
    // Set-user-ID and the like are never given.
    EXPECT_EQ(ModeForEntry(kUnix, 0104755u << 16, 0, false), 0755u);
}

}  // namespace
