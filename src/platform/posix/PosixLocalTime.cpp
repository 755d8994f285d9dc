#include "platform/LocalTime.h"

int64_t LocalTimeOffset(time_t when) {
    struct tm parts {};
    localtime_r(&when, &parts);
    return parts.tm_gmtoff;
}

void RefreshLocalTimeZone() { tzset(); }
