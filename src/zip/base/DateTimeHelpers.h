#pragma once

#include <cstdint>
#include <string>

#include "zip/ZipTypes.h"

// Converts an MS-DOS date-time (time low word, date high word) to the
// framework's date-time. Returns false for a value that names no real date
// or time (month 13, February 30, hour 24, ...).
bool TryDosDateTimeToDateTime(uint32_t dos, TDateTime& out);
// The DOS form of a date-time (seconds rounded down to even, years clamped
// to 1980 .. 2107).
uint32_t DateTimeToDosDateTime(TDateTime value);
// The current local date-time.
TDateTime NowDateTime();
// The file's modification date-time in local time; 0 when it does not exist.
TDateTime FileDateTime(const std::string& fileName);

struct DateTimeParts {
    int year, month, day, hour, minute, second;
};
DateTimeParts DecodeDateTime(TDateTime value);
