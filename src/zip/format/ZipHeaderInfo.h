#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/Stream.h"
#include "zip/ZipTypes.h"
#include "zip/format/ObjectLists.h"
#include "zip/format/ZipRecords.h"
#include "zip/io/SplitStream.h"

// One zip entry as the directory describes it. Names keep `\` separators:
// `directory` ends in `\` when not empty, `filename` is the part after it.
// The integrity test's verdict on an entry, kept in FileIsOK.
namespace FileVerdict {
inline constexpr uint8_t Untested = 0;
inline constexpr uint8_t Good = 1;
inline constexpr uint8_t BadOrUnderTest = 2;
}  // namespace FileVerdict

class TZipHeaderInfo : public TPersistent {
  public:
    // Hands back the stream of the next part of a multi-part archive.

    TZipHeaderInfo();
    TZipHeaderInfo(const TZipHeaderInfo& other);
    TZipHeaderInfo& operator=(const TZipHeaderInfo& other);
    ~TZipHeaderInfo() override;
    std::string ClassName() const override { return "TZipHeaderInfo"; }

    void Clear();
    void Assign(const TZipHeaderInfo& source);
    void AssignTo(TZipHeaderInfo& dest) const { dest.Assign(*this); }

    // 64-bit values: from Zip64Extended when the classic field is saturated
    // and the record exists, else the classic field.
    uint64_t GetCompressedSize() const;
    uint64_t GetUnCompressedSize() const;
    uint64_t GetRelativeOffset() const;
    uint32_t GetDisk_number_start() const;
    void SetCompressedSize(uint64_t value);
    void SetUnCompressedSize(uint64_t value);
    void SetRelativeOffset(uint64_t value);

    bool GetIsEncrypted() const { return (general_purpose_bit_flag & 0x0001) != 0; }
    bool GetHasDescriptor() const { return (general_purpose_bit_flag & 0x0008) != 0; }
    // Bit 11: the name (and comment) are UTF-8.
    bool GetIsUTF8() const { return (general_purpose_bit_flag & 0x0800) != 0; }
    bool GetHasComment() const { return file_comment_length > 0; }
    uint32_t GetLocalSize() const { return 30u + filename_length + local_extra_field_length; }
    uint32_t GetCentralSize() const {
        return 46u + filename_length + extra_field_length + file_comment_length;
    }

    void Setfilename(const std::string& value);
    void Setdirectory(const std::string& value);
    void SetDateTime(TDateTime value);
    // Replace the kept comment text and its length.
    void SetFileComment(const std::string& value);
    void SetNewFileComment(const std::string& value);
    // The comment read from the archive at this entry's central record;
    // nullopt when it cannot be read.
    std::optional<std::string> Getfilecomment(TStream& stream) const;

    // Reads the central header at the position of the current part. A
    // header that the part's end cuts off at its start (nothing left, or
    // only the beginning of a central record) continues on the next part,
    // which then stays current. On failure the current part is back where
    // the header was to start (at 0 after a switch) and false is returned;
    // on success it stands at the start of the extra field.
    bool ReadCentralFromStream(TSplitStream& parts);
    // Reads the local header at the stream's position; on success the
    // stream stands at the start of the local extra field.
    bool ReadLocalFromStream(TStream& stream);
    void SetFromCentral(const central_file_header& header, const std::string& name);
    void SetFromLocal(const local_file_header& header, const std::string& name);
    // Walks a central extra field (already read) for the zip64 block.
    void GetExtraFields(const std::string& extra);
    // Converts the name from the OEM code page when the mode asks for it.
    // A name flagged as UTF-8 (bit 11) is never converted.
    void FromOEM(std::string& name) const;

    uint16_t version_made_by = 0;
    uint16_t version_needed_to_extract = 0;
    uint16_t general_purpose_bit_flag = 0;
    uint16_t compression_method = 0;
    uint32_t last_mod_file_date_time = 0;
    uint32_t crc32 = 0;
    uint32_t compressed_size = 0;
    uint32_t uncompressed_size = 0;
    uint16_t filename_length = 0;
    uint16_t extra_field_length = 0;
    uint16_t local_extra_field_length = 0;
    uint16_t file_comment_length = 0;
    uint16_t disk_number_start = 0;
    uint16_t internal_file_attributes = 0;
    uint32_t external_file_attributes = 0;
    uint32_t relative_offset = 0;
    uint64_t central_offset = 0;
    std::string filename;
    std::string directory;
    std::unique_ptr<zip64_Extra_Field> Zip64Extended;
    std::unique_ptr<std::string> file_comment;  // none until loaded
    bool MatchFlag = false;
    uint8_t FileIsOK = FileVerdict::Untested;
    bool Selected = false;
    TOEMConvert OEMConvertMode = oemNever;
    std::string OEMCodePage = "CP437";
    uint64_t CentralExtraPos = 0;
    uint16_t CentralExtraLength = 0;
    uint16_t Zip64ExtraLength = 0;

  private:
    void TakeSharedFields(const shared_header_fields& header);
    void SetName(const std::string& name);
    zip64_Extra_Field& Zip64();
    void SplitName(const std::string& name);
    void RecomputeNameLength();
};
