#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Stream.h"
#include "zip/format/ObjectLists.h"
#include "zip/format/ZipRecords.h"

// The archive's end-of-central-directory record with its zip64 companions.
class TEndCentral : public TPersistent {
  public:
    TEndCentral();
    std::string ClassName() const override { return "TEndCentral"; }

    // Signature ENDSIG, every classic field 0, no comment, not modified. The
    // zip64 records stay until the next ReadFromStream.
    void Clear();

    // Searches the last 65557 bytes for the end record; true when found. A
    // stream shorter than 22 bytes is found (empty archive) only when empty.
    bool ReadFromStream(TStream& stream);

    uint32_t GetThis_Disk() const;
    uint32_t GetStart_Central_Disk() const;
    uint64_t GetNum_Entries_This_Disk() const;
    uint64_t GetNum_Entries() const;
    uint64_t GetSize_Central() const;
    uint64_t GetOffset_Central() const;
    uint32_t Getnum_disk_start_zip64_end_central() const;
    uint64_t Getoffset_zip64_end_central() const;
    uint32_t Getnum_disks() const;

    void SetThis_Disk(uint32_t value);
    void SetStart_Central_Disk(uint32_t value);
    void SetNum_Entries_This_Disk(uint64_t value);
    void SetNum_Entries(uint64_t value);
    void SetSize_Central(uint64_t value);
    void SetOffset_Central(uint64_t value);

    uint32_t GetEndCentralSize() const { return 22u + Record.zip_comment_length; }
    bool GetZipHasComment() const { return Record.zip_comment_length > 0; }
    bool HasZip64() const { return Zip64End != nullptr; }

    end_of_central Record;
    std::unique_ptr<std::string> ZipComment;  // none until loaded
    uint64_t ZipCommentPos = 0;
    bool Modified = false;
    std::unique_ptr<zip64_end_of_central> Zip64End;
    std::unique_ptr<zip64_end_of_central_locator> Zip64Locator;

  private:
    zip64_end_of_central& Z64();
    // The zip64 end record: at the offset the locator records, or right
    // before the locator (at `locatorAt`) when data was prepended.
    void ReadZip64End(TStream& stream, uint64_t recorded, uint64_t locatorAt);
};
