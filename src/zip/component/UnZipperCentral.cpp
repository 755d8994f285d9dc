// Walking the central directory into the entry list.
#include <set>

#include "zip/UnZipper.h"
#include "zip/base/StreamUtil.h"

namespace {

void SkipExtraAndComment(TStream& stream, const TZipHeaderInfo& header) {
    stream.Seek(static_cast<int64_t>(header.extra_field_length) + header.file_comment_length,
                TSeekOrigin::soCurrent);
}

}  // namespace

void TUnZipper::ReadCentralEntries(TSplitStream& stream) {
    uint64_t index = 0;
    TZipHeaderInfo* previous = nullptr;  // last entry that declared an extra field
    std::set<int32_t> merged;            // rebuilt entries already described
    while (index < endCentral_->GetNum_Entries()) {
        GiveTurn(true);
        auto header = NewHeader();
        bool ok = header->ReadCentralFromStream(stream);
        if (!ok && previous != nullptr) {
            // Some writers declare a central extra field they never wrote:
            // take it as absent and read this header where it really starts.
            const int64_t back = previous->extra_field_length;
            previous->extra_field_length = 0;
            stream.Seek(-back, TSeekOrigin::soCurrent);
            ok = header->ReadCentralFromStream(stream);
        }
        previous = nullptr;
        if (!ok) {
            if (rebuiltDirectory_) {
                break;
            }
            if (multiMode_ != mmNone || !Rebuild()) {
                FailBadZip();
            }
            stream.Restart(*archiveStream_, currentDisk_, currentDisk_);
            index = 0;
            merged.clear();
            continue;
        }
        if (rebuiltDirectory_) {
            int32_t at = 0;
            // Each rebuilt entry takes the data of one central record only:
            // a second record claiming the same place would relabel it.
            if (entryList_->Search(header.get(), at) && merged.insert(at).second) {
                TZipHeaderInfo& entry = *entryList_->Entry(at);
                const uint64_t offset = entry.GetRelativeOffset();
                const uint16_t localExtra = entry.local_extra_field_length;
                entry.Assign(*header);
                entry.SetRelativeOffset(offset);
                entry.local_extra_field_length = localExtra;
                entryList_->HasZip64Entries |= entry.Zip64Extended != nullptr;
            }
            SkipExtraAndComment(stream, *header);
            ++index;
            continue;
        }
        TZipHeaderInfo* entry = header.get();
        try {
            entryList_->AddObject(entry);
            header.release();
        } catch (const EListError&) {
            // Two entries at one place: the directory cannot be trusted.
            if (!Rebuild()) {
                FailBadZip();
            }
            stream.Restart(*archiveStream_, currentDisk_, currentDisk_);
            index = 0;
            continue;
        }
        if (endCentral_->GetThis_Disk() > 0 && entry->GetHasComment()) {
            LoadEntryComment(*entry, stream);
        }
        SkipExtraAndComment(stream, *entry);
        if (entry->extra_field_length > 0) {
            previous = entry;
        }
        ++index;
    }
}

void TUnZipper::LoadEntryComment(TZipHeaderInfo& entry, TStream& stream) {
    const int64_t here = stream.Position();
    if (auto text = entry.Getfilecomment(stream)) {
        entry.file_comment = std::make_unique<std::string>(*text);
    }
    stream.Seek(here, TSeekOrigin::soBeginning);
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

void TUnZipper::LoadArchiveCommentAfterRead(TStream* sideCar) {
    if (endCentral_->GetThis_Disk() == 0 || !endCentral_->GetZipHasComment()) {
        return;
    }
    if (sideCar != nullptr) {
        endCentral_->ZipComment = ReadArchiveComment(*sideCar, *endCentral_);
        endCentral_->Modified = false;
        return;
    }
    const auto lastDisk = static_cast<int>(endCentral_->GetThis_Disk());
    if (currentDisk_ != lastDisk) {
        SwapDisk(lastDisk + 1);
    }
    endCentral_->ZipComment = ReadArchiveComment(*archiveStream_, *endCentral_);
}
