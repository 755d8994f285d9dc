// Walking the central directory into the entry list, and the archive comment.
#include <set>

#include "zip/UnZipper.h"
#include "zip/base/StreamUtil.h"
#include "zip/component/DirectoryReader.h"
#include "zip/io/SplitStream.h"

namespace {

void SkipExtraAndComment(TStream& stream, const TZipHeaderInfo& header) {
    stream.Seek(static_cast<int64_t>(header.extra_field_length) + header.file_comment_length,
                TSeekOrigin::soCurrent);
}

}  // namespace

void TDirectoryReader::ReadCentralEntries(TSplitStream& stream) {
    uint64_t index = 0;
    TZipHeaderInfo* previous = nullptr;  // last entry that declared an extra field
    std::set<int32_t> merged;            // rebuilt entries already described
    while (index < z_.endCentral_->GetNum_Entries()) {
        z_.GiveTurn(true);
        auto header = z_.NewHeader();
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
            if (z_.rebuiltDirectory_) {
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
        if (z_.rebuiltDirectory_) {
            int32_t at = 0;
            // Each rebuilt entry takes the data of one central record only:
            // a second record claiming the same place would relabel it.
            if (z_.entryList_->Search(header.get(), at) && merged.insert(at).second) {
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
            // Two entries at one place: the directory cannot be trusted.
            if (!Rebuild()) {
                FailBadZip();
            }
            stream.Restart(*z_.archiveStream_, z_.currentDisk_, z_.currentDisk_);
            index = 0;
            continue;
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
