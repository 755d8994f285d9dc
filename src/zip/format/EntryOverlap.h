#pragma once

#include <cstdint>
#include <optional>
#include <string>

class TSortedZip;

// Finds two entries of a directory whose local data share bytes: several
// central records naming one local header, or one entry's data running
// into the next entry's local header. Such an archive expands the same
// bytes more than once (a way to make a small file unpack to a huge one)
// and no writer produces it. The list must be in archive order (ByNone).
// An entry whose data would run past `dataEnd` (where the central directory
// starts) has a wrong size rather than shared data and is left to the
// extraction, which reports it. Returns a description naming both entries, or nullopt when none
// overlap.
std::optional<std::string> FindOverlappingEntries(const TSortedZip& entries, uint64_t dataEnd);
