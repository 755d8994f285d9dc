#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "MessageOf.h"
#include "TempDir.h"

class TUnZipper;

// Archives for the extraction tests: every field that a fault needs can be
// set, the rest is filled in from the entry's plain data.
namespace extract {

struct Entry {
    Entry() = default;
    Entry(std::string storedName, std::string data, uint16_t compression = 0)
        : name(std::move(storedName)), plain(std::move(data)), method(compression) {}

    std::string name;       // stored name, `/` or `\` as given
    std::string plain;      // the entry's uncompressed bytes
    uint16_t method = 0;    // 0 stored, 8 deflated, anything else as given
    std::string password;   // encrypts with the traditional cipher when set
    bool encrypt = false;   // encrypts also with an empty password
    uint16_t madeBy = 20;   // high byte: host (3 = Unix)
    uint32_t external = 0;  // external attributes
    uint32_t dosDateTime = (((2024u - 1980u) << 9 | 5u << 5 | 17u) << 16) | (12u << 11 | 30u << 5);
    std::optional<std::string> payload;        // compressed bytes instead of the real ones
    std::optional<uint32_t> crc;               // CRC written instead of the real one
    std::optional<uint32_t> compressedSize;    // in both headers
    std::optional<uint32_t> uncompressedSize;  // in both headers
    std::string trailing;                      // bytes after the data, counted in its size
};

// Local headers with data, central directory, end record.
std::string Build(const std::vector<Entry>& entries);

// A component on `archive` that extracts everything into `dest`,
// re-creating directories, replacing without asking, pumping no messages.
void Prepare(TUnZipper& zip, const std::string& archive, const std::string& dest);

std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);
uint32_t CrcOf(const std::string& data);

// The extraction tests call it as extract::MessageOf.
using ::MessageOf;

}  // namespace extract
