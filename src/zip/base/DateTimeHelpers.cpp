#include "zip/base/DateTimeHelpers.h"

#include <chrono>
#include <cmath>
#include <ctime>

#include "platform/FileSystem.h"
#include "platform/LocalTime.h"
#include "zip/base/FileHelpers.h"

namespace {

constexpr double kSecondsPerDay = 86400.0;
// Days from 30 December 1899 to 1 January 1970.
constexpr double kUnixEpochDays = 25569.0;

bool LeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && LeapYear(y) ? 29 : kDays[m - 1];
}

// Days since 30 December 1899 of a civil date (proleptic Gregorian).
double EncodeDate(int y, int m, int d) {
    const std::chrono::year_month_day ymd{std::chrono::year{y}, std::chrono::month{unsigned(m)},
                                          std::chrono::day{unsigned(d)}};
    const auto days = std::chrono::sys_days(ymd).time_since_epoch().count();
    return static_cast<double>(days) + kUnixEpochDays;
}

TDateTime FromLocalSeconds(double localSeconds) {
    return localSeconds / kSecondsPerDay + kUnixEpochDays;
}

double LocalSecondsOf(time_t t, long nanoseconds) {
    return static_cast<double>(t + LocalTimeOffset(t)) + static_cast<double>(nanoseconds) / 1e9;
}

}  // namespace

bool TryDosDateTimeToDateTime(uint32_t dos, TDateTime& out) {
    const uint32_t time = dos & 0xFFFFu;
    const uint32_t date = dos >> 16;
    const int year = static_cast<int>(date >> 9) + 1980;
    const int month = static_cast<int>((date >> 5) & 0x0F);
    const int day = static_cast<int>(date & 0x1F);
    const int hour = static_cast<int>(time >> 11);
    const int minute = static_cast<int>((time >> 5) & 0x3F);
    const int second = static_cast<int>(time & 0x1F) * 2;
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 ||
        minute > 59 || second > 59) {
        return false;
    }
    out = EncodeDate(year, month, day) + (hour * 3600.0 + minute * 60.0 + second) / kSecondsPerDay;
    return true;
}

DateTimeParts DecodeDateTime(TDateTime value) {
    const double whole = std::floor(value);
    const auto days = static_cast<int64_t>(whole - kUnixEpochDays);
    const std::chrono::year_month_day ymd{std::chrono::sys_days{std::chrono::days{days}}};
    auto seconds = static_cast<int64_t>(std::llround((value - whole) * kSecondsPerDay));
    if (seconds >= 86400) {
        seconds = 86399;
    }
    return {static_cast<int>(ymd.year()),
            static_cast<int>(static_cast<unsigned>(ymd.month())),
            static_cast<int>(static_cast<unsigned>(ymd.day())),
            static_cast<int>(seconds / 3600),
            static_cast<int>((seconds / 60) % 60),
            static_cast<int>(seconds % 60)};
}

uint32_t DateTimeToDosDateTime(TDateTime value) {
    DateTimeParts p = DecodeDateTime(value);
    if (p.year < 1980) {
        return (1u << 5 | 1u) << 16;
    }
    if (p.year > 2107) {
        p.year = 2107;
    }
    const uint32_t date = static_cast<uint32_t>((p.year - 1980) << 9 | p.month << 5 | p.day);
    const uint32_t time = static_cast<uint32_t>(p.hour << 11 | p.minute << 5 | p.second / 2);
    return date << 16 | time;
}

TDateTime NowDateTime() {
    using namespace std::chrono;
    const auto sinceEpoch = system_clock::now().time_since_epoch();
    const auto wholeSeconds = duration_cast<seconds>(sinceEpoch);
    const auto rest = duration_cast<nanoseconds>(sinceEpoch - wholeSeconds);
    return FromLocalSeconds(
        LocalSecondsOf(static_cast<time_t>(wholeSeconds.count()), static_cast<long>(rest.count())));
}

TDateTime FileDateTime(const std::string& fileName) {
    const TPathStatus info = PathStatus(DOSToUnixFilename(fileName), TLinks::Follow);
    if (info.Kind == TPathKind::Absent || info.Kind == TPathKind::Unknown) {
        return 0;
    }
    return FromLocalSeconds(
        LocalSecondsOf(static_cast<time_t>(info.ModifiedSeconds), info.ModifiedNanoseconds));
}
