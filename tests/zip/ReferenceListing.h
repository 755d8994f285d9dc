#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// One entry of the corpus's reference listing, expected.tsv.
struct TReferenceEntry {
    std::string name;  // as listed: UTF-8, `/` separators
    int method = 0;
    uint64_t compressed = 0;
    uint64_t uncompressed = 0;
    uint32_t crc = 0;
    std::string rawName;  // the stored name bytes
};

// The listing's entries by archive (a path relative to the zip test data
// folder); comment, blank and short lines are skipped.
std::map<std::string, std::vector<TReferenceEntry>> ReadReferenceListing();
