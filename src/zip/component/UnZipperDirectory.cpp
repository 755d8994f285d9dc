// Opening, closing and clearing the archive and its directory, sorting,
// and the turns given to the message loop.
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
#include "zip/component/DirectoryReader.h"
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

std::unique_ptr<TZipHeaderInfo> TUnZipper::NewHeader() const {
    auto header = std::make_unique<TZipHeaderInfo>();
    header->OEMConvertMode = OEMConvert;
    header->OEMCodePage = OEMCodePage;
    return header;
}

void TUnZipper::GetFileInfo() { TDirectoryReader(*this).Read(); }
