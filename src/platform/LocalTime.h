#pragma once

#include <cstdint>
#include <ctime>

// How many seconds local time is ahead of UTC at the moment `when`
// (summer time included), as the system's time-zone rules say.
int64_t LocalTimeOffset(time_t when);

// Reads the system's time-zone rules again (a changed TZ, a changed zone
// file); until then the rules loaded first are used.
void RefreshLocalTimeZone();
