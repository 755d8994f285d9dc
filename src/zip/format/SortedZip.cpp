#include "zip/format/SortedZip.h"

#include "zip/base/DateTimeHelpers.h"
#include "zip/base/SmallHelpers.h"

namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

int CompareText(const std::string& a, const std::string& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(LowerAscii(a[i]));
        const auto cb = static_cast<unsigned char>(LowerAscii(b[i]));
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

TDateTime DateOf(const TZipHeaderInfo& e) {
    TDateTime value = 0;
    return TryDosDateTimeToDateTime(e.last_mod_file_date_time, value) ? value : 0;
}

// Descending order that never reports equality, so ties keep the order in
// which they were added.
int LowDifference(uint64_t key, uint64_t item) {
    const auto diff = static_cast<int32_t>(static_cast<uint32_t>(key - item));
    return diff > 0 ? 1 : -1;
}

int RateOf(const TZipHeaderInfo& e) {
    return CBigRate(static_cast<int64_t>(e.GetUnCompressedSize()),
                    static_cast<int64_t>(e.GetCompressedSize()));
}

}  // namespace

TSortedZip::TSortedZip(TDuplicates duplicates) : TSortedObjectList(duplicates) {}

int32_t TSortedZip::AddObject(TPersistent* obj) {
    const int32_t index = TSortedObjectList::AddObject(obj);
    if (static_cast<TZipHeaderInfo*>(obj)->Zip64Extended) {
        HasZip64Entries = true;
    }
    return index;
}

int TSortedZip::Compare(TPersistent* itemObj, TPersistent* keyObj) const {
    const auto& item = *static_cast<TZipHeaderInfo*>(itemObj);
    const auto& key = *static_cast<TZipHeaderInfo*>(keyObj);
    switch (ListSortMode) {
        case ByName:
            return CompareText(item.directory + item.filename, key.directory + key.filename);
        case ByFileName:
            return CompareText(item.filename, key.filename);
        case ByDirectoryName:
            return CompareText(item.directory, key.directory);
        case ByDate:
            return DateOf(key) > DateOf(item) ? 1 : -1;
        case ByCompressedSize:
            return LowDifference(key.GetCompressedSize(), item.GetCompressedSize());
        case ByUnCompressedSize:
            return LowDifference(key.GetUnCompressedSize(), item.GetUnCompressedSize());
        case ByRate:
            return RateOf(key) - RateOf(item);
        case ByNone: {
            const int64_t disks = static_cast<int64_t>(item.GetDisk_number_start()) -
                                  static_cast<int64_t>(key.GetDisk_number_start());
            if (disks != 0) {
                return disks < 0 ? -1 : 1;
            }
            const uint64_t a = item.GetRelativeOffset();
            const uint64_t b = key.GetRelativeOffset();
            return a > b ? 1 : (a == b ? 0 : -1);
        }
    }
    return -1;
}
