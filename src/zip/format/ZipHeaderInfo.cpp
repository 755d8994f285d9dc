#include "zip/format/ZipHeaderInfo.h"

#include <array>
#include <vector>

#include "platform/CodePage.h"
#include "zip/base/ByteReader.h"
#include "zip/base/DateTimeHelpers.h"
#include "zip/base/SmallHelpers.h"
#include "zip/base/StreamUtil.h"

TZipHeaderInfo::TZipHeaderInfo() { Clear(); }

TZipHeaderInfo::TZipHeaderInfo(const TZipHeaderInfo& other) : TPersistent(other) { Assign(other); }

TZipHeaderInfo& TZipHeaderInfo::operator=(const TZipHeaderInfo& other) {
    if (this != &other) {
        Assign(other);
    }
    return *this;
}

TZipHeaderInfo::~TZipHeaderInfo() = default;

void TZipHeaderInfo::Clear() {
    version_made_by = 45;
    version_needed_to_extract = 20;
    general_purpose_bit_flag = 0;
    compression_method = ZipMethod::Deflated;
    last_mod_file_date_time = 0;
    crc32 = 0xFFFFFFFF;
    compressed_size = 0;
    uncompressed_size = 0;
    filename_length = 0;
    extra_field_length = 0;
    local_extra_field_length = 0;
    file_comment_length = 0;
    disk_number_start = 0;
    internal_file_attributes = 1;
    external_file_attributes = 0x20;
    relative_offset = 0;
    central_offset = 0;
    filename.clear();
    directory.clear();
    Zip64Extended.reset();
    file_comment.reset();
    MatchFlag = false;
    FileIsOK = FileVerdict::Untested;
    Selected = false;
    OEMConvertMode = oemNever;
    CentralExtraPos = 0;
    CentralExtraLength = 0;
    Zip64ExtraLength = 0;
}

void TZipHeaderInfo::Assign(const TZipHeaderInfo& s) {
    version_made_by = s.version_made_by;
    version_needed_to_extract = s.version_needed_to_extract;
    general_purpose_bit_flag = s.general_purpose_bit_flag;
    compression_method = s.compression_method;
    last_mod_file_date_time = s.last_mod_file_date_time;
    crc32 = s.crc32;
    compressed_size = s.compressed_size;
    uncompressed_size = s.uncompressed_size;
    filename_length = s.filename_length;
    extra_field_length = s.extra_field_length;
    local_extra_field_length = s.local_extra_field_length;
    file_comment_length = s.file_comment_length;
    disk_number_start = s.disk_number_start;
    internal_file_attributes = s.internal_file_attributes;
    external_file_attributes = s.external_file_attributes;
    relative_offset = s.relative_offset;
    central_offset = s.central_offset;
    filename = s.filename;
    directory = s.directory;
    Zip64Extended =
        s.Zip64Extended ? std::make_unique<zip64_Extra_Field>(*s.Zip64Extended) : nullptr;
    file_comment = s.file_comment ? std::make_unique<std::string>(*s.file_comment) : nullptr;
    MatchFlag = s.MatchFlag;
    FileIsOK = s.FileIsOK;
    Selected = s.Selected;
    OEMConvertMode = s.OEMConvertMode;
    OEMCodePage = s.OEMCodePage;
    CentralExtraPos = s.CentralExtraPos;
    CentralExtraLength = s.CentralExtraLength;
    Zip64ExtraLength = s.Zip64ExtraLength;
}

zip64_Extra_Field& TZipHeaderInfo::Zip64() {
    if (!Zip64Extended) {
        Zip64Extended = std::make_unique<zip64_Extra_Field>();
    }
    return *Zip64Extended;
}

uint64_t TZipHeaderInfo::GetCompressedSize() const {
    if (compressed_size == kSaturated32 && Zip64Extended) {
        return Zip64Extended->Compressed_Size;
    }
    return compressed_size;
}

uint64_t TZipHeaderInfo::GetUnCompressedSize() const {
    if (uncompressed_size == kSaturated32 && Zip64Extended) {
        return Zip64Extended->Uncompressed_Size;
    }
    return uncompressed_size;
}

uint64_t TZipHeaderInfo::GetRelativeOffset() const {
    if (relative_offset == kSaturated32 && Zip64Extended) {
        return Zip64Extended->Relative_Offset;
    }
    return relative_offset;
}

uint32_t TZipHeaderInfo::GetDisk_number_start() const {
    if (disk_number_start == kSaturated16 && Zip64Extended) {
        return Zip64Extended->Disk_Start_Number;
    }
    return disk_number_start;
}

void TZipHeaderInfo::SetCompressedSize(uint64_t value) {
    if (value >= kSaturated32) {
        Zip64().Compressed_Size = value;
        compressed_size = kSaturated32;
    } else {
        compressed_size = static_cast<uint32_t>(value);
    }
}

void TZipHeaderInfo::SetUnCompressedSize(uint64_t value) {
    if (value >= kSaturated32) {
        Zip64().Uncompressed_Size = value;
        uncompressed_size = kSaturated32;
    } else {
        uncompressed_size = static_cast<uint32_t>(value);
    }
}

void TZipHeaderInfo::SetRelativeOffset(uint64_t value) {
    if (value >= kSaturated32) {
        Zip64().Relative_Offset = value;
        relative_offset = kSaturated32;
    } else {
        relative_offset = static_cast<uint32_t>(value);
    }
}

void TZipHeaderInfo::RecomputeNameLength() {
    filename_length = static_cast<uint16_t>(directory.size() + filename.size());
}

void TZipHeaderInfo::Setfilename(const std::string& value) {
    if (value != filename) {
        filename = value;
        RecomputeNameLength();
    }
}

void TZipHeaderInfo::Setdirectory(const std::string& value) {
    std::string dir = value;
    if (!dir.empty() && dir.back() != '\\') {
        dir += '\\';
    }
    if (dir != directory) {
        directory = dir;
        RecomputeNameLength();
    }
}

void TZipHeaderInfo::SetDateTime(TDateTime value) {
    last_mod_file_date_time = DateTimeToDosDateTime(value);
}

void TZipHeaderInfo::SetFileComment(const std::string& value) {
    file_comment = std::make_unique<std::string>(value);
    file_comment_length = static_cast<uint16_t>(value.size());
}

void TZipHeaderInfo::SetNewFileComment(const std::string& value) { SetFileComment(value); }

std::optional<std::string> TZipHeaderInfo::Getfilecomment(TStream& stream) const {
    std::array<uint8_t, central_file_header::kSize> raw{};
    central_file_header header;
    if (!SeekWithin(stream, central_offset) ||
        stream.Read(raw.data(), static_cast<int64_t>(raw.size())) !=
            static_cast<int64_t>(raw.size()) ||
        !ParseCentralHeader(raw, header)) {
        return std::nullopt;
    }
    stream.Seek(header.filename_length + header.extra_field_length, TSeekOrigin::soCurrent);
    std::string text(header.file_comment_length, '\0');
    const int64_t got = stream.Read(text.data(), static_cast<int64_t>(text.size()));
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

void TZipHeaderInfo::SplitName(const std::string& name) {
    const size_t cut = name.find_last_of("\\:");
    if (cut == std::string::npos) {
        directory.clear();
        filename = name;
    } else {
        directory = name.substr(0, cut + 1);
        if (directory.back() != '\\') {
            directory += '\\';
        }
        filename = name.substr(cut + 1);
    }
    RecomputeNameLength();
}

void TZipHeaderInfo::FromOEM(std::string& name) const {
    if (GetIsUTF8()) {
        return;
    }
    const bool convert = OEMConvertMode == oemAlways ||
                         (OEMConvertMode == oemFlexible && (version_made_by & 0x0B00) != 0x0B00);
    if (convert) {
        name = CodePageToUtf8(name, OEMCodePage);
    }
}
