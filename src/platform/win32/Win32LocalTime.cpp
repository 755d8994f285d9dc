#include "platform/LocalTime.h"

int64_t LocalTimeOffset(time_t when) {
    // The C runtime has no offset field; the local broken-down time read
    // back as if it were UTC differs from `when` by the offset.
    struct tm parts {};
    if (localtime_s(&parts, &when) != 0) {
        return 0;
    }
    return static_cast<int64_t>(_mkgmtime(&parts)) - static_cast<int64_t>(when);
}

void RefreshLocalTimeZone() { _tzset(); }
