// Reading TZipHeaderInfo from central and local headers.
#include <algorithm>
#include <array>
#include <span>

#include "zip/base/ByteReader.h"
#include "zip/base/FileHelpers.h"
#include "zip/base/SmallHelpers.h"
#include "zip/base/StreamUtil.h"
#include "zip/format/ZipHeaderInfo.h"

namespace {

std::span<const uint8_t> Bytes(const std::string& s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

uint32_t Signature(const std::string& raw) {
    ByteReader r(Bytes(raw));
    return r.U32();
}

constexpr uint8_t kUnixHost = 3;

// Stored names use `/`; inside the component they use `\`. A backslash in
// a name made on Unix is part of the name there, not a separator.
std::string StoredToInternal(std::string name, uint8_t host) {
    if (host == kUnixHost) {
        std::string held;
        for (const char c : name) {
            held += c == '\\' ? kNameBackslash : std::string(1, c);
        }
        name = held;
    }
    std::replace(name.begin(), name.end(), '/', '\\');
    return name;
}

// Reads the values of a zip64 block whose classic fields are saturated,
// in the fixed order, as far as the block holds them.
void ReadZip64Values(ByteReader& block, zip64_Extra_Field& z, bool uncompressed, bool compressed,
                     bool offset, bool disk) {
    if (uncompressed && block.Has(8)) {
        z.Uncompressed_Size = block.U64();
    }
    if (compressed && block.Has(8)) {
        z.Compressed_Size = block.U64();
    }
    if (offset && block.Has(8)) {
        z.Relative_Offset = block.U64();
    }
    if (disk && block.Has(4)) {
        z.Disk_Start_Number = block.U32();
    }
}

// Calls `onZip64` with a reader over the data of the first zip64 block and
// its declared size. Blocks are stepped over by their declared size; a
// block that claims more than remains ends the walk.
template <typename Fn>
void WalkExtra(const std::string& extra, Fn onZip64) {
    ByteReader walk(Bytes(extra));
    while (walk.Remaining() >= 4) {
        const uint16_t tag = walk.U16();
        const uint16_t size = walk.U16();
        const size_t available = std::min<size_t>(size, walk.Remaining());
        if (tag == kZip64ExtraTag) {
            ByteReader block(Bytes(extra).subspan(walk.Offset(), available));
            onZip64(block, size);
        }
        if (size > walk.Remaining()) {
            break;
        }
        walk.Skip(size);
    }
}

}  // namespace

void TZipHeaderInfo::GetExtraFields(const std::string& extra) {
    WalkExtra(extra, [this](ByteReader& block, uint16_t size) {
        Zip64ExtraLength = static_cast<uint16_t>(size + 4);
        ReadZip64Values(block, Zip64(), uncompressed_size == kSaturated32,
                        compressed_size == kSaturated32, relative_offset == kSaturated32,
                        disk_number_start == kSaturated16);
    });
}

// The fields that local and central headers both carry.
void TZipHeaderInfo::TakeSharedFields(const shared_header_fields& h) {
    version_needed_to_extract = h.version_needed_to_extract;
    general_purpose_bit_flag = h.general_purpose_bit_flag;
    compression_method = h.compression_method;
    last_mod_file_date_time = GoodTimeStamp(h.last_mod_file_date_time);
    crc32 = h.crc32;
    compressed_size = h.compressed_size;
    uncompressed_size = h.uncompressed_size;
}

// A new name; what the entry knew about its comment and selection is gone.
void TZipHeaderInfo::SetName(const std::string& name) {
    SplitName(name);
    file_comment.reset();
    MatchFlag = false;
    Selected = false;
}

void TZipHeaderInfo::SetFromCentral(const central_file_header& h, const std::string& name) {
    version_made_by = h.version_made_by;
    TakeSharedFields(h);
    extra_field_length = h.extra_field_length;
    file_comment_length = h.file_comment_length;
    disk_number_start = h.disk_number_start;
    internal_file_attributes = h.internal_file_attributes;
    external_file_attributes = h.external_file_attributes;
    relative_offset = h.relative_offset;
    SetName(name);
}

void TZipHeaderInfo::SetFromLocal(const local_file_header& h, const std::string& name) {
    version_made_by = 0;
    TakeSharedFields(h);
    extra_field_length = 0;
    local_extra_field_length = h.extra_field_length;
    file_comment_length = 0;
    disk_number_start = 0;
    internal_file_attributes = 0;
    external_file_attributes = 0;
    relative_offset = 0;
    central_offset = 0;
    SetName(name);
}

bool TZipHeaderInfo::ReadCentralFromStream(TSplitStream& parts) {
    const int64_t start = parts.Position();
    std::string raw = ReadUpTo(parts.Part(), central_file_header::kSize);
    bool switched = false;
    const bool partialHeader =
        raw.size() < central_file_header::kSize && raw.size() >= 4 && Signature(raw) == CENTSIG;
    if ((raw.empty() || partialHeader) && parts.Next()) {
        // The directory continues on the next part.
        switched = true;
        raw += ReadUpTo(parts.Part(), central_file_header::kSize - raw.size());
    }
    TStream* stream = &parts.Part();
    central_file_header header;
    if (raw.size() < central_file_header::kSize || !ParseCentralHeader(Bytes(raw), header) ||
        header.signature != CENTSIG) {
        stream->Seek(switched ? 0 : start, TSeekOrigin::soBeginning);
        return false;
    }
    std::string name = ReadUpTo(*stream, header.filename_length);
    if (name.size() < header.filename_length) {
        stream->Seek(switched ? 0 : start, TSeekOrigin::soBeginning);
        return false;
    }
    name = StoredToInternal(name, static_cast<uint8_t>(header.version_made_by >> 8));
    general_purpose_bit_flag = header.general_purpose_bit_flag;
    version_made_by = header.version_made_by;
    if ((header.version_made_by >> 8) == 0) {
        FromOEM(name);
    }
    SetFromCentral(header, name);
    central_offset = static_cast<uint64_t>(switched ? 0 : start);
    if (extra_field_length > 0) {
        CentralExtraPos = static_cast<uint64_t>(stream->Position());
        CentralExtraLength = extra_field_length;
        GetExtraFields(ReadUpTo(*stream, extra_field_length));
        stream->Seek(static_cast<int64_t>(CentralExtraPos), TSeekOrigin::soBeginning);
    }
    return true;
}

bool TZipHeaderInfo::ReadLocalFromStream(TStream& stream) {
    const int64_t start = stream.Position();
    const std::string raw = ReadUpTo(stream, local_file_header::kSize);
    local_file_header header;
    if (!ParseLocalHeader(Bytes(raw), header) || header.signature != LOCSIG) {
        stream.Seek(start, TSeekOrigin::soBeginning);
        return false;
    }
    std::string name = ReadUpTo(stream, header.filename_length);
    if (name.size() < header.filename_length) {
        stream.Seek(start, TSeekOrigin::soBeginning);
        return false;
    }
    name = StoredToInternal(name, 0);  // a local header does not say
    general_purpose_bit_flag = header.general_purpose_bit_flag;
    version_made_by = 0;
    FromOEM(name);
    SetFromLocal(header, name);
    SetRelativeOffset(static_cast<uint64_t>(start));
    if (local_extra_field_length > 0) {
        const int64_t extraStart = stream.Position();
        const std::string extra = ReadUpTo(stream, local_extra_field_length);
        WalkExtra(extra, [this](ByteReader& block, uint16_t /*size*/) {
            ReadZip64Values(block, Zip64(), uncompressed_size == kSaturated32,
                            compressed_size == kSaturated32, false, false);
        });
        stream.Seek(extraStart, TSeekOrigin::soBeginning);
    }
    return true;
}
