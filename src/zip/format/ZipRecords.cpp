#include "zip/format/ZipRecords.h"

#include "zip/base/ByteReader.h"

uint32_t CENTSIG = 0x02014B50;
uint32_t LOCSIG = 0x04034B50;
uint32_t ENDSIG = 0x06054B50;
uint8_t LOC4 = 0x50;
uint8_t LOC3 = 0x4B;
uint8_t LOC2 = 0x03;
uint8_t LOC1 = 0x04;
uint8_t END4 = 0x50;

void setZipSignatures(uint32_t central, uint32_t local, uint32_t end) {
    CENTSIG = central != 0 ? central : 0x02014B50;
    LOCSIG = local != 0 ? local : 0x04034B50;
    ENDSIG = end != 0 ? end : 0x06054B50;
    LOC4 = static_cast<uint8_t>(LOCSIG);
    LOC3 = static_cast<uint8_t>(LOCSIG >> 8);
    LOC2 = static_cast<uint8_t>(LOCSIG >> 16);
    LOC1 = static_cast<uint8_t>(LOCSIG >> 24);
    END4 = static_cast<uint8_t>(ENDSIG);
}

namespace {

// The fields from "version needed" to the extra field's length, which the
// local and the central header both carry in this order.
void ReadSharedFields(ByteReader& r, shared_header_fields& out) {
    out.version_needed_to_extract = r.U16();
    out.general_purpose_bit_flag = r.U16();
    out.compression_method = r.U16();
    out.last_mod_file_date_time = r.U32();
    out.crc32 = r.U32();
    out.compressed_size = r.U32();
    out.uncompressed_size = r.U32();
    out.filename_length = r.U16();
    out.extra_field_length = r.U16();
}

}  // namespace

bool ParseLocalHeader(std::span<const uint8_t> bytes, local_file_header& out) {
    ByteReader r(bytes);
    out.signature = r.U32();
    ReadSharedFields(r, out);
    return r.Ok();
}

bool ParseCentralHeader(std::span<const uint8_t> bytes, central_file_header& out) {
    ByteReader r(bytes);
    out.signature = r.U32();
    out.version_made_by = r.U16();
    ReadSharedFields(r, out);
    out.file_comment_length = r.U16();
    out.disk_number_start = r.U16();
    out.internal_file_attributes = r.U16();
    out.external_file_attributes = r.U32();
    out.relative_offset = r.U32();
    return r.Ok();
}

bool ParseEndOfCentral(std::span<const uint8_t> bytes, end_of_central& out) {
    ByteReader r(bytes);
    out.signature = r.U32();
    out.This_Disk = r.U16();
    out.Start_Central_Disk = r.U16();
    out.Num_Entries_This_Disk = r.U16();
    out.Num_Entries = r.U16();
    out.Size_Central = r.U32();
    out.Offset_Central = r.U32();
    out.zip_comment_length = r.U16();
    return r.Ok();
}

bool ParseZip64Locator(std::span<const uint8_t> bytes, zip64_end_of_central_locator& out) {
    ByteReader r(bytes);
    out.signature = r.U32();
    out.num_disk_start_zip64_end_central = r.U32();
    out.offset_zip64_end_central = r.U64();
    out.num_disks = r.U32();
    return r.Ok();
}

bool ParseZip64EndOfCentral(std::span<const uint8_t> bytes, zip64_end_of_central& out) {
    ByteReader r(bytes);
    out.signature = r.U32();
    out.size_zip64_end_central = r.U64();
    out.version_made_by = r.U16();
    out.version_needed_to_extract = r.U16();
    out.This_Disk = r.U32();
    out.Start_Central_Disk = r.U32();
    out.Num_Entries_This_Disk = r.U64();
    out.Num_Entries = r.U64();
    out.Size_Central = r.U64();
    out.Offset_Central = r.U64();
    return r.Ok();
}
