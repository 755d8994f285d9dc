#pragma once

#include <cstdint>
#include <ctime>
#include <optional>

// Dates and permissions of extracted files, from an entry's fields.

// The DOS date and time (time in the low word, date in the high word),
// repaired into a valid range first, read as local time in the zone loaded
// when the process first needed it or at the last RefreshLocalTimeZone
// (platform/LocalTime.h; an extraction run calls it once, so a zone changed
// meanwhile is seen without loading it for every entry).
time_t DosDateTimeToUnix(uint32_t dosDateTime);

// Permission bits for an extracted file or directory, or nullopt to leave
// what the system gave it. An entry made on a Unix host (high byte of
// `versionMadeBy` 3) carries them in the high 16 bits of the external
// attributes; set-user-ID, set-group-ID and sticky bits are never given.
// Otherwise the DOS read-only bit (0x01) takes the write bits away from
// `currentMode`. A directory always keeps its owner's rwx, so that the
// rest of the archive can still be written into it.
std::optional<uint32_t> ModeForEntry(uint16_t versionMadeBy, uint32_t externalAttributes,
                                     uint32_t currentMode, bool directory);

// False when ModeForEntry ignores `currentMode` for such an entry (it
// carries Unix permission bits), so the file's mode need not be asked.
bool ModeDependsOnCurrent(uint16_t versionMadeBy, uint32_t externalAttributes);

// Applies ModeForEntry to an existing directory (without following a link).
void ApplyDirectoryAttributes(const char* path, uint16_t versionMadeBy,
                              uint32_t externalAttributes);

// True for an entry made on a Unix host whose external attributes give the
// file type of a symbolic link; its data is the link's target.
bool IsSymbolicLinkEntry(uint16_t versionMadeBy, uint32_t externalAttributes);
