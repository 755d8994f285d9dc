#include "zip/format/EntryOverlap.h"

#include <cstdint>
#include <limits>

#include "zip/format/SortedZip.h"
#include "zip/format/ZipHeaderInfo.h"

namespace {

constexpr uint64_t kNoEnd = std::numeric_limits<uint64_t>::max();

// The fewest bytes an entry covers from its local header on: the fixed
// part of the header and the compressed data. Names and local extra fields
// are left out, as the central directory does not know their stored
// lengths; the check can therefore miss a few bytes but never invents an
// overlap.
uint64_t MinimalEnd(const TZipHeaderInfo& entry) {
    const uint64_t start = entry.GetRelativeOffset();
    const uint64_t span = local_file_header::kSize + entry.GetCompressedSize();
    return span > kNoEnd - start ? kNoEnd : start + span;
}

std::string NameOf(const TZipHeaderInfo& entry) { return entry.directory + entry.filename; }

}  // namespace

std::optional<std::string> FindOverlappingEntries(const TSortedZip& entries, uint64_t dataEnd) {
    for (int32_t i = 1; i < entries.Count(); ++i) {
        const auto& before = *static_cast<const TZipHeaderInfo*>(entries.Get(i - 1));
        const auto& after = *static_cast<const TZipHeaderInfo*>(entries.Get(i));
        if (before.GetDisk_number_start() != after.GetDisk_number_start()) {
            continue;
        }
        const uint64_t end = MinimalEnd(before);
        if (end > after.GetRelativeOffset() && end <= dataEnd) {
            return "entries overlap: \"" + NameOf(before) + "\" (local header at " +
                   std::to_string(before.GetRelativeOffset()) + ", " +
                   std::to_string(before.GetCompressedSize()) + " bytes of data) and \"" +
                   NameOf(after) + "\" (local header at " +
                   std::to_string(after.GetRelativeOffset()) + ")";
        }
    }
    return std::nullopt;
}
