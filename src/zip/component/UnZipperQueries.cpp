// Per-entry and per-archive queries of TUnZipper.
#include <algorithm>
#include <cstdio>

#include "zip/UnZipper.h"
#include "zip/base/DateTimeHelpers.h"
#include "zip/base/SmallHelpers.h"
#include "zip/base/StreamUtil.h"
#include "zip/base/ZipStrings.h"
#include "zip/format/ZipRecords.h"

namespace {

// Names of the methods Stored (0) to Deflated (8), in number order.
const char* const kMethodNames[] = {"STOR", "SHR", "RED1", "RED2", "RED3",
                                    "RED4", "IMP", "TOK",  "DEF"};

// Names of the later methods that entries may carry but this component
// does not decompress.
struct TMethodName {
    uint16_t method;
    const char* name;
};
constexpr TMethodName kLaterMethodNames[] = {
    {ZipMethod::Deflate64, "DF64"}, {ZipMethod::BZip2, "BZ2"}, {ZipMethod::Lzma, "LZMA"},
    {ZipMethod::Zstd, "ZSTD"},      {ZipMethod::Xz, "XZ"},     {ZipMethod::PPMd, "PPMD"},
    {ZipMethod::Aes, "AES"}};

std::string MethodName(uint16_t method) {
    if (method < std::size(kMethodNames)) {
        return kMethodNames[method];
    }
    for (const TMethodName& known : kLaterMethodNames) {
        if (known.method == method) {
            return known.name;
        }
    }
    return "UNK";
}

TDateTime DateOrNow(uint32_t dos) {
    TDateTime value = 0;
    return TryDosDateTimeToDateTime(dos, value) ? value : NowDateTime();
}

std::string LowerAscii(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return s;
}

}  // namespace

void TUnZipper::LoadEntryComment(TZipHeaderInfo& entry, TStream& stream) {
    const int64_t here = stream.Position();
    if (auto text = entry.Getfilecomment(stream)) {
        entry.file_comment = std::make_unique<std::string>(*text);
    }
    stream.Seek(here, TSeekOrigin::soBeginning);
}

void TUnZipper::CheckIndex(int32_t index) const {
    if (index < 0 || index >= GetCount()) {
        char text[64];
        std::snprintf(text, sizeof text, ZipStrings::IndexOutOfRange, index);
        throw EListError(text);
    }
}

TZipHeaderInfo& TUnZipper::Entry(int32_t index) const {
    CheckIndex(index);
    return *sortedList_->Entry(index);
}

std::string TUnZipper::GetFilename(int32_t i) const { return Entry(i).filename; }
std::string TUnZipper::GetPathname(int32_t i) const { return Entry(i).directory; }
std::string TUnZipper::GetFullname(int32_t i) const {
    const TZipHeaderInfo& e = Entry(i);
    return e.directory + e.filename;
}
uint16_t TUnZipper::GetCompressMethod(int32_t i) const { return Entry(i).compression_method; }
std::string TUnZipper::GetCompressMethodStr(int32_t i) const {
    return MethodName(Entry(i).compression_method);
}
TDateTime TUnZipper::GetDateTime(int32_t i) const {
    return DateOrNow(Entry(i).last_mod_file_date_time);
}
uint32_t TUnZipper::GetCrc(int32_t i) const { return Entry(i).crc32; }
uint64_t TUnZipper::GetCompressedSize(int32_t i) const { return Entry(i).GetCompressedSize(); }
uint64_t TUnZipper::GetUnCompressedSize(int32_t i) const { return Entry(i).GetUnCompressedSize(); }
uint32_t TUnZipper::GetExternalFileAttributes(int32_t i) const {
    return Entry(i).external_file_attributes;
}
bool TUnZipper::GetIsEncrypted(int32_t i) const { return Entry(i).GetIsEncrypted(); }
bool TUnZipper::GetHasComment(int32_t i) const { return Entry(i).GetHasComment(); }
uint32_t TUnZipper::GetDiskNo(int32_t i) const { return Entry(i).GetDisk_number_start() + 1; }
bool TUnZipper::GetSelected(int32_t i) const { return Entry(i).Selected; }

void TUnZipper::SetSelected(int32_t i, bool value) {
    TZipHeaderInfo& e = Entry(i);
    if (e.Selected != value) {
        e.Selected = value;
        selectedCount_ += value ? 1 : -1;
    }
}

void TUnZipper::ClearSelected() {
    for (int32_t i = 0; i < GetCount(); ++i) {
        sortedList_->Entry(i)->Selected = false;
    }
    selectedCount_ = 0;
}

std::string TUnZipper::GetFileComment(int32_t index) {
    {
        const TZipHeaderInfo& e = Entry(index);
        if (!e.GetHasComment()) {
            return {};
        }
        if (e.file_comment) {
            return *e.file_comment;
        }
    }
    OpenZip();
    // Opening may have re-read a changed archive: look the entry up again.
    TZipHeaderInfo& e = Entry(index);
    if (!e.file_comment && e.GetHasComment()) {
        LoadEntryComment(e, *archiveStream_);
    }
    std::string text = e.file_comment ? *e.file_comment : std::string();
    if (multiMode_ == mmNone) {
        CloseZip();
    }
    return text;
}

void TUnZipper::SetFileComment(int32_t index, const std::string& text) {
    TZipHeaderInfo& e = Entry(index);
    if (!e.file_comment || *e.file_comment != text) {
        e.SetFileComment(text);
        endCentral_->Modified = true;
    }
}

bool TUnZipper::GetZipHasComment() const { return endCentral_->GetZipHasComment(); }

std::string TUnZipper::GetZipComment() {
    if (!endCentral_->GetZipHasComment()) {
        return {};
    }
    if (!endCentral_->ZipComment) {
        OpenZip();
        TStream& stream = *archiveStream_;
        const int64_t here = stream.Position();
        if (SeekWithin(stream, endCentral_->ZipCommentPos)) {
            endCentral_->ZipComment = std::make_unique<std::string>(
                ReadUpTo(stream, endCentral_->Record.zip_comment_length));
        }
        stream.Seek(here, TSeekOrigin::soBeginning);
        if (multiMode_ == mmNone) {
            CloseZip();
        }
    }
    return endCentral_->ZipComment ? *endCentral_->ZipComment : std::string();
}

void TUnZipper::SetZipComment(const std::string& text) {
    if (!endCentral_->ZipComment || *endCentral_->ZipComment != text) {
        endCentral_->ZipComment = std::make_unique<std::string>(text);
        endCentral_->Record.zip_comment_length = static_cast<uint16_t>(text.size());
        endCentral_->Modified = true;
    }
}

int64_t TUnZipper::GetZipSize() {
    if (ZipName_.empty() && !archiveIsStream_) {
        return 0;
    }
    OpenZip();
    const int64_t size = archiveStream_->Size();
    if (multiMode_ == mmNone) {
        CloseZip();
    }
    return size;
}

void TUnZipper::GetDecryptHeaderPtr(int32_t index, uint8_t* buffer) {
    std::fill(buffer, buffer + 12, uint8_t{0});
    if (!Entry(index).GetIsEncrypted()) {
        return;
    }
    OpenZip();
    const TZipHeaderInfo& e = Entry(index);
    TStream& stream = *archiveStream_;
    const int64_t here = stream.Position();
    const std::string raw =
        SeekWithin(stream, e.GetRelativeOffset()) ? ReadUpTo(stream, 30) : std::string();
    local_file_header local;
    if (ParseLocalHeader({reinterpret_cast<const uint8_t*>(raw.data()), raw.size()}, local) &&
        local.signature == LOCSIG) {
        stream.Seek(local.filename_length + local.extra_field_length, TSeekOrigin::soCurrent);
        const std::string header = ReadUpTo(stream, 12);
        std::copy(header.begin(), header.end(), buffer);
    }
    stream.Seek(here, TSeekOrigin::soBeginning);
    if (multiMode_ == mmNone) {
        CloseZip();
    }
}

bool TUnZipper::GetIsZip64() const {
    if (!entryList_) {
        return false;
    }
    return endCentral_->GetOffset_Central() >= 0xFFFFFFFFu ||
           endCentral_->GetNum_Entries() >= 0xFFFFu ||
           (sortedList_ != nullptr && sortedList_->HasZip64Entries);
}

void TUnZipper::FillList(std::vector<std::string>& lines) const {
    lines.clear();
    for (int32_t i = 0; i < GetCount(); ++i) {
        const TZipHeaderInfo& e = *sortedList_->Entry(i);
        const DateTimeParts t = DecodeDateTime(DateOrNow(e.last_mod_file_date_time));
        const int hour12 = t.hour % 12 == 0 ? 12 : t.hour % 12;
        char date[32];
        char time[32];
        std::snprintf(date, sizeof date, "%02d/%02d/%02d", t.month, t.day, t.year % 100);
        std::snprintf(time, sizeof time, "%02d:%02d%s", hour12, t.minute,
                      t.hour < 12 ? "am" : "pm");
        const int rate = CBigRate(static_cast<int64_t>(e.GetUnCompressedSize()),
                                  static_cast<int64_t>(e.GetCompressedSize()));
        char numbers[96];
        std::snprintf(numbers, sizeof numbers, "%8s\t%7s\t%8llu\t%8llu\t%3d%s", date, time,
                      static_cast<unsigned long long>(e.GetUnCompressedSize()),
                      static_cast<unsigned long long>(e.GetCompressedSize()), rate, "%");
        std::string line = e.filename;
        line += e.GetIsEncrypted() ? "#" : "";
        line += e.GetHasComment() ? "@" : "";
        line += "\t";
        line += numbers;
        line += '\t';
        line += MethodName(e.compression_method);
        line += '\t';
        line += e.directory;
        lines.push_back(LowerAscii(line));
    }
}
