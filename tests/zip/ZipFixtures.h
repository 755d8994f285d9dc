#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ZipBytes.h"

// Builds zip archives byte by byte for the directory tests, so that every
// field can be set to the value a fault needs.
namespace fixtures {

using ::Put16;
using ::Put32;
using ::Put64;
uint32_t Crc(const std::string& data);

struct Entry {
    std::string name;
    std::string data;
    uint16_t method = 0;
    uint16_t flags = 0;
    uint16_t madeBy = 20;  // host 0 (MS-DOS), version 2.0
    uint32_t dosDateTime = 0x3C2E6A4E;
    std::string localExtra;
    std::string centralExtra;
    std::string comment;
    // Classic central fields written instead of the real ones.
    std::optional<uint32_t> centralCompressed;
    std::optional<uint32_t> centralUncompressed;
    std::optional<uint32_t> centralOffset;
    // The central header declares this many extra bytes but none follow.
    uint16_t phantomCentralExtra = 0;
};

struct Archive {
    std::vector<Entry> entries;
    std::string prefix;   // bytes before the first local header
    std::string comment;  // archive comment
    uint16_t thisDisk = 0;
    uint16_t startDisk = 0;
    std::optional<uint16_t> numEntries;     // classic count written
    std::optional<uint32_t> centralOffset;  // classic offset written
    std::optional<uint64_t> zip64Entries;   // adds zip64 record and locator
    bool offsetsIncludePrefix = false;      // central offsets count the prefix
};

// A stored entry holding `data`, every other field at its default.
Entry Stored(const std::string& name, const std::string& data);

// Layout: prefix, local headers with data, central directory, [zip64 end
// record, locator], end record, comment.
std::string Build(const Archive& archive);
// A zip64 extra block holding the given values in order.
std::string Zip64Extra(const std::vector<uint64_t>& values);

}  // namespace fixtures
