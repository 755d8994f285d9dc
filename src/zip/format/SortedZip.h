#pragma once

#include "zip/ZipTypes.h"
#include "zip/format/ObjectLists.h"
#include "zip/format/ZipHeaderInfo.h"

// A sorted list of zip entries; the order is the list's sort mode.
class TSortedZip : public TSortedObjectList {
  public:
    explicit TSortedZip(TDuplicates duplicates);
    std::string ClassName() const override { return "TSortedZip"; }

    // Sorted insert; an entry with a zip64 record marks the list for good.
    int32_t AddObject(TPersistent* obj) override;
    int Compare(TPersistent* item, TPersistent* key) const override;

    TZipHeaderInfo* Entry(int32_t index) const { return static_cast<TZipHeaderInfo*>(Get(index)); }

    TZipSortMode ListSortMode = ByNone;
    bool HasZip64Entries = false;
};
