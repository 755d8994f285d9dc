// Reading the archive directory: end record, central headers, sorting.
#include <algorithm>
#include <cctype>

#include "platform/FileOps.h"
#include "platform/ScopeExit.h"
#include "zip/UnZipper.h"
#include "zip/base/DateTimeHelpers.h"
#include "zip/base/FileHelpers.h"
#include "zip/base/SetForScope.h"
#include "zip/base/StreamUtil.h"
#include "zip/base/ZipStrings.h"
#include "zip/io/LFNFileStream.h"

void TUnZipper::ReadZip() {
    CancelRequested = false;
    const auto busy = SetForScope(busy_, true);
    const auto mode = SetForScope(operationMode_, omUnZip);
    ScopeExit clearOnFailure([this] { ClearZip(); });
    for (;;) {
        try {
            OpenZip();
            break;
        } catch (const EIncompleteZip&) {
            CloseArchive();
            if (!OnInCompleteZip) {
                // No one to ask for the missing part: an empty directory now,
                // and the next OpenZip reports the incomplete archive.
                break;
            }
        }
    }
    clearOnFailure.Release();
    CloseZip();
}

void TUnZipper::OpenZip() {
    if (archiveStream_ == nullptr) {
        ownedStream_ = std::make_unique<TLFNFileStream>(
            ZipName_, lfn::fmOpenRead | lfn::fmShareDenyWrite, FlushFilesOnClose, BufferSize);
        archiveStream_ = ownedStream_.get();
    }
    if (!entryList_ || (!archiveIsStream_ && FileDateTime(ZipName_) != archiveDate_)) {
        GetFileInfo();
    }
}

void TUnZipper::CloseZip() {
    if (!KeepZipOpen && !archiveIsStream_) {
        CloseArchive();
    }
}

void TUnZipper::ClearZip() {
    CloseArchive();
    FreeLists();
    endCentral_->Clear();
    rebuiltDirectory_ = false;
    archiveDate_ = 0;
    numDisks_ = 1;
    multiMode_ = mmNone;
    if (!archiveIsStream_) {
        ZipName_.clear();
        splitBaseName_.clear();
    }
}

int32_t TUnZipper::GetCount() const { return entryList_ ? entryList_->Count() : 0; }

void TUnZipper::FreeLists() {
    sortedView_.reset();
    sortedList_ = nullptr;
    entryList_.reset();
    selectedCount_ = 0;
}

void TUnZipper::NewEntryList() {
    sortedView_.reset();
    entryList_ = std::make_unique<TSortedZip>(TDuplicates::dupError);
    entryList_->ListSortMode = ByNone;
    sortedList_ = entryList_.get();
}

void TUnZipper::Sort(TZipSortMode mode) {
    sortedView_.reset();
    sortedList_ = entryList_.get();
    if (mode != ByNone && entryList_) {
        auto view = std::make_unique<TSortedZip>(TDuplicates::dupAccept);
        view->OwnsItems = false;
        view->ListSortMode = mode;
        view->SetCapacity(entryList_->Count());
        for (int32_t i = 0; i < entryList_->Count(); ++i) {
            view->AddObject(entryList_->Get(i));
        }
        sortedView_ = std::move(view);
        sortedList_ = sortedView_.get();
    }
    sortMode_ = mode;
}

void TUnZipper::GiveTurn(bool honourPause) {
    if (!DoProcessMessages) {
        return;
    }
    YieldProcess();
    if (CancelRequested) {
        CancelRequested = false;
        throw EUserCanceled(ZipStrings::UserAborted);
    }
    if (honourPause && PauseRequested) {
        DoPause();
    }
}

void TUnZipper::FailBadZip() {
    ClearZip();
    throw EBadZipFile(ZipStrings::NotAValidZipFile);
}

std::unique_ptr<TZipHeaderInfo> TUnZipper::NewHeader() const {
    auto header = std::make_unique<TZipHeaderInfo>();
    header->OEMConvertMode = OEMConvert;
    header->OEMCodePage = OEMCodePage;
    return header;
}

namespace {

std::string WithExtension(const std::string& name, const std::string& ext) {
    const size_t slash = name.find_last_of("\\/");
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        return name.substr(0, dot) + ext;
    }
    return name + ext;
}

bool StartsWithDrive(const std::string& name) {
    return name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':';
}

}  // namespace

bool TUnZipper::FindEndOfCentral(std::unique_ptr<TStream>& sideCar) {
    endCentral_->Clear();
    const auto usable = [this] {
        return endCentral_->GetStart_Central_Disk() <= endCentral_->GetThis_Disk();
    };
    if (endCentral_->ReadFromStream(*archiveStream_) && usable()) {
        return true;
    }
    if (archiveIsStream_) {
        return false;
    }
    // A side-car file may hold the directory of an archive that has none.
    const std::string sideCarName = WithExtension(ZipName_, ".zfc");
    if (!FileExists(DOSToUnixFilename(sideCarName))) {
        return false;
    }
    auto candidate =
        std::make_unique<TLFNFileStream>(sideCarName, lfn::fmOpenRead, false, BufferSize);
    endCentral_->Clear();
    if (endCentral_->ReadFromStream(*candidate) && usable()) {
        sideCar = std::move(candidate);
        return true;
    }
    return false;
}

void TUnZipper::HandleMissingEnd() {
    if (OnInCompleteZip) {
        OnInCompleteZip(*this, IncompleteZipMode);
    }
    switch (IncompleteZipMode) {
        case izAssumeNotAZip:
            throw ENotAZipFile(ZipStrings::NotAValidZipFile);
        case izAssumeMulti:
            throw EIncompleteZip(ZipStrings::IncompleteZipFile);
        case izAssumeBad:
            if (!Rebuild()) {
                FailBadZip();
            }
            break;
    }
}

void TUnZipper::DecideMultiMode() {
    const uint32_t thisDisk = endCentral_->GetThis_Disk();
    if (thisDisk > 0 && multiMode_ == mmNone) {
        const bool removable = StartsWithDrive(ZipName_) && isDriveRemovable(DriveRoot(ZipName_));
        multiMode_ = removable ? mmSpan : mmBlocks;
    }
    if (thisDisk == 0) {
        multiMode_ = mmNone;
    }
}

void TUnZipper::PositionAtDirectory(TSplitStream& stream, bool sideCarMode) {
    if (endCentral_->GetNum_Entries() == 0) {
        return;
    }
    if (!sideCarMode && multiMode_ != mmNone) {
        stream.GoTo(static_cast<int>(endCentral_->GetStart_Central_Disk()));
    }
    const uint64_t offset = sideCarMode ? 0 : endCentral_->GetOffset_Central();
    if (!SeekWithin(stream, offset)) {
        // An offset past the end: the first header read fails, as it should.
        stream.Seek(0, TSeekOrigin::soEnd);
    }
}

void TUnZipper::GetFileInfo() {
    const auto mode = SetForScope(operationMode_, omUnZip);
    archiveDate_ = archiveIsStream_ ? NowDateTime() : FileDateTime(ZipName_);
    FreeLists();
    std::unique_ptr<TStream> sideCar;
    if (!FindEndOfCentral(sideCar)) {
        HandleMissingEnd();
    }
    const bool sideCarMode = sideCar != nullptr;
    currentDisk_ = sideCarMode ? 0 : static_cast<int>(endCentral_->GetThis_Disk());
    DecideMultiMode();
    numDisks_ = static_cast<int>(endCentral_->GetThis_Disk()) + 1;
    // The directory may continue on the following parts; after a rebuild
    // it is read from the one part that was scanned.
    const bool continues = multiMode_ != mmNone && !rebuiltDirectory_;
    TSplitStream stream(rebuiltDirectory_ || !sideCarMode ? *archiveStream_ : *sideCar,
                        currentDisk_, continues ? TSplitStream::kOpenEnded : currentDisk_,
                        [this](int number) -> TStream& { return *SwapDisk(number + 1); });
    if (!rebuiltDirectory_) {
        PositionAtDirectory(stream, sideCarMode);
    }
    if (!entryList_) {
        NewEntryList();
    }
    ReadCentralEntries(stream);
    LoadArchiveCommentAfterRead(sideCar.get());
    currentDisk_ = sideCarMode ? 0 : static_cast<int>(endCentral_->GetThis_Disk());
    Sort(sortMode_);
}
