#pragma once

#include <cstdint>
#include <span>

// The on-disk zip records (little-endian, packed) and their signatures.
// Records are read field by field from bytes, never by casting.

// Signatures a caller may change (setZipSignatures); 0 means the default.
extern uint32_t CENTSIG;
extern uint32_t LOCSIG;
extern uint32_t ENDSIG;
inline constexpr uint32_t ZIP64EOC = 0x06064B50;
inline constexpr uint32_t ZIP64EOCL = 0x07064B50;
// The bytes of LOCSIG in file order, and the first byte of ENDSIG.
extern uint8_t LOC4, LOC3, LOC2, LOC1;
extern uint8_t END4;

void setZipSignatures(uint32_t central, uint32_t local, uint32_t end);

// Compression methods, as the format numbers them.
namespace ZipMethod {
inline constexpr uint16_t Stored = 0;
inline constexpr uint16_t Shrunk = 1;
inline constexpr uint16_t Reduced1 = 2;  // Reduced with factor 1; factors 2..4 follow
inline constexpr uint16_t Reduced4 = 5;
inline constexpr uint16_t Imploded = 6;
inline constexpr uint16_t Tokenized = 7;
inline constexpr uint16_t Deflated = 8;
inline constexpr uint16_t Deflate64 = 9;
inline constexpr uint16_t BZip2 = 12;
inline constexpr uint16_t Lzma = 14;
inline constexpr uint16_t Zstd = 93;
inline constexpr uint16_t Xz = 95;
inline constexpr uint16_t PPMd = 98;
inline constexpr uint16_t Aes = 99;
}  // namespace ZipMethod

inline constexpr uint32_t kSaturated32 = 0xFFFFFFFFu;
inline constexpr uint16_t kSaturated16 = 0xFFFFu;
inline constexpr uint16_t kZip64ExtraTag = 0x0001;

// The fields that the local and the central header share, from "version
// needed" to the extra field's length (in file order in both).
struct shared_header_fields {
    uint16_t version_needed_to_extract = 0;
    uint16_t general_purpose_bit_flag = 0;
    uint16_t compression_method = 0;
    uint32_t last_mod_file_date_time = 0;
    uint32_t crc32 = 0;
    uint32_t compressed_size = 0;
    uint32_t uncompressed_size = 0;
    uint16_t filename_length = 0;
    uint16_t extra_field_length = 0;
};

struct local_file_header : shared_header_fields {
    static constexpr size_t kSize = 30;
    uint32_t signature = 0;
};

struct central_file_header : shared_header_fields {
    static constexpr size_t kSize = 46;
    uint32_t signature = 0;
    uint16_t version_made_by = 0;
    uint16_t file_comment_length = 0;
    uint16_t disk_number_start = 0;
    uint16_t internal_file_attributes = 0;
    uint32_t external_file_attributes = 0;
    uint32_t relative_offset = 0;
};

struct end_of_central {
    static constexpr size_t kSize = 22;
    uint32_t signature = 0;
    uint16_t This_Disk = 0;
    uint16_t Start_Central_Disk = 0;
    uint16_t Num_Entries_This_Disk = 0;
    uint16_t Num_Entries = 0;
    uint32_t Size_Central = 0;
    uint32_t Offset_Central = 0;
    uint16_t zip_comment_length = 0;
};

struct zip64_end_of_central_locator {
    static constexpr size_t kSize = 20;
    uint32_t signature = ZIP64EOCL;
    uint32_t num_disk_start_zip64_end_central = 0;
    uint64_t offset_zip64_end_central = 0;
    uint32_t num_disks = 1;
};

struct zip64_end_of_central {
    static constexpr size_t kSize = 56;
    uint32_t signature = ZIP64EOC;
    uint64_t size_zip64_end_central = 44;
    uint16_t version_made_by = 45;
    uint16_t version_needed_to_extract = 45;
    uint32_t This_Disk = 0;
    uint32_t Start_Central_Disk = 0;
    uint64_t Num_Entries_This_Disk = 0;
    uint64_t Num_Entries = 0;
    uint64_t Size_Central = 0;
    uint64_t Offset_Central = 0;
};

// The zip64 extended information in memory (the on-disk block holds only
// the values whose classic field is saturated).
struct zip64_Extra_Field {
    uint16_t Tag = kZip64ExtraTag;
    uint16_t Size = 0;
    uint64_t Uncompressed_Size = 0;
    uint64_t Compressed_Size = 0;
    uint64_t Relative_Offset = 0;
    uint32_t Disk_Start_Number = 0;
};

// Each returns false when the bytes are too few; the signature is stored
// as read and not compared.
bool ParseLocalHeader(std::span<const uint8_t> bytes, local_file_header& out);
bool ParseCentralHeader(std::span<const uint8_t> bytes, central_file_header& out);
bool ParseEndOfCentral(std::span<const uint8_t> bytes, end_of_central& out);
bool ParseZip64Locator(std::span<const uint8_t> bytes, zip64_end_of_central_locator& out);
bool ParseZip64EndOfCentral(std::span<const uint8_t> bytes, zip64_end_of_central& out);
