// Construction, settings and the archive name of TUnZipper.
#include "zip/UnZipper.h"
#include "zip/base/FileHelpers.h"
#include "zip/base/ZipStrings.h"

namespace {

// The archive name without the extension of its file-name part (all of it
// when that part has no "."): my.pkg.zip is the set my.pkg.z01, my.pkg.zip.
std::string BaseNameOf(const std::string& zipName) {
    const size_t slash = zipName.find_last_of("\\/");
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = zipName.rfind('.');
    return dot == std::string::npos || dot < nameStart ? zipName : zipName.substr(0, dot);
}

}  // namespace

TUnZipper::TUnZipper() : endCentral_(std::make_unique<TEndCentral>()) {}

TUnZipper::~TUnZipper() {
    try {
        ClearZip();
    } catch (...) {
        // Closing files cannot be reported from a destructor.
    }
}

void TUnZipper::Assign(const TUnZipper& source) {
    if (&source == this) {
        return;
    }
    SetZipName(source.ZipName_);
    destDir_ = source.destDir_;
    rootDir_ = source.rootDir_;
    SetSortMode(source.sortMode_);
    RecreateDirs = source.RecreateDirs;
    OverwriteMode = source.OverwriteMode;
    filesList_ = source.filesList_;
    RelativePathList = source.RelativePathList;
    DoAll = source.DoAll;
    IncompleteZipMode = source.IncompleteZipMode;
    KeepZipOpen = source.KeepZipOpen;
    DoProcessMessages = source.DoProcessMessages;
    RetainAttributes = source.RetainAttributes;
    ReplaceReadOnly = source.ReplaceReadOnly;
    OnInCompleteZip = source.OnInCompleteZip;
    OnGetNextDisk = source.OnGetNextDisk;
    OnFileNameForSplitPart = source.OnFileNameForSplitPart;
    OnHandleMessage = source.OnHandleMessage;
    OnStartUnZipInfo = source.OnStartUnZipInfo;
    OnFilePercentDone = source.OnFilePercentDone;
    OnTotalPercentDone = source.OnTotalPercentDone;
    OnStartUnZip = source.OnStartUnZip;
    OnEndUnZip = source.OnEndUnZip;
    OnPromptForOverwrite = source.OnPromptForOverwrite;
    OnSkippingFile = source.OnSkippingFile;
    OnBadPassword = source.OnBadPassword;
    OnBadCRC = source.OnBadCRC;
    OnUnZipComplete = source.OnUnZipComplete;
    OnGetNextBuffer = source.OnGetNextBuffer;
    OnDecrypt = source.OnDecrypt;
}

void TUnZipper::SetZipName(const std::string& name) {
    // Names are compared as the file system compares them: "A.zip" and
    // "a.zip" are two archives, and "?" is an ordinary character.
    if (name == ZipName_) {
        return;
    }
    ZipName_ = name;
    splitBaseName_ = BaseNameOf(ZipName_);
    FreeLists();
    archiveDate_ = 0;
    endCentral_->Clear();
    ownedStream_.reset();
    archiveStream_ = nullptr;  // a caller's stream is dropped, never freed
    rebuiltDirectory_ = false;
    archiveIsStream_ = false;
}

void TUnZipper::SetArchiveStream(TStream* stream) {
    ClearZip();
    archiveStream_ = stream;
    archiveIsStream_ = stream != nullptr;
    if (stream != nullptr) {
        KeepZipOpen = true;
    }
}

void TUnZipper::SetDestDir(const std::string& value) {
    if (value == "?") {
        // A directory chooser would open here; without one the choice is refused.
        throw EUserCanceled(ZipStrings::UserCanceledDestDir);
    }
    destDir_ = StripBackSlash(value);
}

void TUnZipper::SetRootDir(const std::string& value) {
    if (value.empty()) {
        rootDir_.clear();
    } else {
        rootDir_ = value;
        if (rootDir_.back() != '\\') {
            rootDir_ += '\\';
        }
    }
    RelativePathList.clear();
    RelativePathList.push_back(rootDir_);
}

void TUnZipper::SetSortMode(TZipSortMode mode) {
    if (entryList_) {
        Sort(mode);
    } else {
        sortMode_ = mode;
    }
}

void TUnZipper::CloseArchive() {
    ownedStream_.reset();
    archiveStream_ = archiveIsStream_ ? archiveStream_ : nullptr;
}
