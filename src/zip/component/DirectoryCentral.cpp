// Walking the central directory into the entry list, and the archive comment.
#include <cstdint>
#include <set>

#include "zip/UnZipper.h"
#include "zip/base/StreamUtil.h"
#include "zip/base/ZipStrings.h"
#include "zip/component/DirectoryReader.h"
#include "zip/format/EntryOverlap.h"
#include "zip/io/SplitStream.h"

namespace {

void SkipExtraAndComment(TStream& stream, const TZipHeaderInfo& header) {
    stream.Seek(static_cast<int64_t>(header.extra_field_length) + header.file_comment_length,
                TSeekOrigin::soCurrent);
}

// Whether a central record found at a rebuilt entry's place is about that
// entry: offsets that do not count bytes in front of the archive can point
// at another entry, whose data the record must not relabel.
bool Describes(const TZipHeaderInfo& central, const TZipHeaderInfo& local) {
    if (!local.GetHasDescriptor()) {
        return central.crc32 == local.crc32 &&
               central.GetCompressedSize() == local.GetCompressedSize();
    }
    return central.directory + central.filename == local.directory + local.filename;
}

}  // namespace

void TDirectoryReader::RefuseSharedHeader(const TZipHeaderInfo& entry) {
    int32_t at = 0;
    std::string other;
    if (z_.entryList_->Search(const_cast<TZipHeaderInfo*>(&entry), at)) {
        const TZipHeaderInfo& first = *z_.entryList_->Entry(at);
        other = first.directory + first.filename;
    }
    const std::string text = ZipStrings::SharedLocalHeaderPrefix + ("\"" + other + "\" and \"") +
                             entry.directory + entry.filename + "\" (local header at " +
                             std::to_string(entry.GetRelativeOffset()) + ")";
    z_.ClearZip();
    throw EBadZipFile(text);
}

void TDirectoryReader::RefuseOverlaps(uint64_t directoryStart) {
    const uint64_t dataEnd = z_.multiMode_ == mmNone ? directoryStart : UINT64_MAX;
    if (const auto overlap = FindOverlappingEntries(*z_.entryList_, dataEnd)) {
        z_.ClearZip();
        throw EBadZipFile(*overlap);
    }
}

void TDirectoryReader::ReadCentralEntries(TSplitStream& stream) {
    // In one part the directory's offset and size say where it ends; the
    // entry count of the end record wraps at 65,536 without zip64 and some
    // writers get it wrong, so there it only decides with several parts.
    const bool sized = z_.multiMode_ == mmNone && !z_.rebuiltDirectory_;
    const auto start = static_cast<uint64_t>(stream.Position());
    const uint64_t end = start + (sized ? z_.endCentral_->GetSize_Central() : 0);
    const auto inDirectory = [&] {
        return !z_.rebuiltDirectory_ && sized && static_cast<uint64_t>(stream.Position()) < end;
    };
    uint64_t index = 0;
    TZipHeaderInfo* previous = nullptr;  // last entry that declared an extra field
    std::set<int32_t> merged;            // rebuilt entries already described
    while (index < z_.endCentral_->GetNum_Entries() || inDirectory()) {
        z_.GiveTurn(true);
        auto header = z_.NewHeader();
        bool ok = header->ReadCentralFromStream(stream);
        if (!ok && previous != nullptr) {
            // Some writers declare a central extra field they never wrote:
            // take it as absent and read this header where it really starts.
            const uint16_t declared = previous->extra_field_length;
            previous->extra_field_length = 0;
            stream.Seek(-static_cast<int64_t>(declared), TSeekOrigin::soCurrent);
            ok = header->ReadCentralFromStream(stream);
            if (!ok) {
                // Not that either: the extra field stays as declared.
                previous->extra_field_length = declared;
                stream.Seek(declared, TSeekOrigin::soCurrent);
            }
        }
        previous = nullptr;
        if (!ok) {
            if (z_.rebuiltDirectory_) {
                break;
            }
            // Past either the recorded count or the recorded size: the
            // directory is read, the other figure was wrong.
            const bool read = index >= z_.endCentral_->GetNum_Entries() || !inDirectory();
            if (index > 0 && read) {
                break;
            }
            if (z_.multiMode_ != mmNone || !Rebuild()) {
                FailBadZip();
            }
            stream.Restart(*z_.archiveStream_, z_.currentDisk_, z_.currentDisk_);
            index = 0;
            merged.clear();
            continue;
        }
        if (prefix_ > 0) {
            header->SetRelativeOffset(header->GetRelativeOffset() + prefix_);
        }
        if (z_.rebuiltDirectory_) {
            int32_t at = 0;
            // Each rebuilt entry takes the data of one central record only:
            // a second record claiming the same place would relabel it.
            if (z_.entryList_->Search(header.get(), at) &&
                Describes(*header, *z_.entryList_->Entry(at)) && merged.insert(at).second) {
                TZipHeaderInfo& entry = *z_.entryList_->Entry(at);
                const uint64_t offset = entry.GetRelativeOffset();
                const uint16_t localExtra = entry.local_extra_field_length;
                entry.Assign(*header);
                entry.SetRelativeOffset(offset);
                entry.local_extra_field_length = localExtra;
                z_.entryList_->HasZip64Entries |= entry.Zip64Extended != nullptr;
            }
            SkipExtraAndComment(stream, *header);
            ++index;
            continue;
        }
        TZipHeaderInfo* entry = header.get();
        try {
            z_.entryList_->AddObject(entry);
            header.release();
        } catch (const EListError&) {
            RefuseSharedHeader(*entry);
        }
        if (z_.endCentral_->GetThis_Disk() > 0 && entry->GetHasComment()) {
            z_.LoadEntryComment(*entry, stream);
        }
        SkipExtraAndComment(stream, *entry);
        if (entry->extra_field_length > 0) {
            previous = entry;
        }
        ++index;
    }
    if (!z_.rebuiltDirectory_) {
        RefuseOverlaps(start);
        if (index != z_.endCentral_->GetNum_Entries()) {
            Warn(ZipStrings::EntryCountPrefix + std::to_string(z_.endCentral_->GetNum_Entries()) +
                 ZipStrings::EntryCountMiddle + std::to_string(index) +
                 ZipStrings::EntryCountSuffix);
        }
    }
}

namespace {

std::unique_ptr<std::string> ReadArchiveComment(TStream& stream, const TEndCentral& end) {
    const int64_t here = stream.Position();
    std::unique_ptr<std::string> text;
    if (SeekWithin(stream, end.ZipCommentPos)) {
        text = std::make_unique<std::string>(ReadUpTo(stream, end.Record.zip_comment_length));
    }
    stream.Seek(here, TSeekOrigin::soBeginning);
    return text;
}

}  // namespace

void TDirectoryReader::LoadArchiveCommentAfterRead(TStream* sideCar) {
    if (z_.endCentral_->GetThis_Disk() == 0 || !z_.endCentral_->GetZipHasComment()) {
        return;
    }
    if (sideCar != nullptr) {
        z_.endCentral_->ZipComment = ReadArchiveComment(*sideCar, *z_.endCentral_);
        z_.endCentral_->Modified = false;
        return;
    }
    const auto lastDisk = static_cast<int>(z_.endCentral_->GetThis_Disk());
    if (z_.currentDisk_ != lastDisk) {
        z_.SwapDisk(lastDisk + 1);
    }
    z_.endCentral_->ZipComment = ReadArchiveComment(*z_.archiveStream_, *z_.endCentral_);
}
