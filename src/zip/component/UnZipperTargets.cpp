// Extraction into a caller's stream or memory, and the integrity test.
#include <functional>

#include "zip/UnZipper.h"
#include "zip/extract/OutputPaths.h"

namespace {

// Runs an action when a scope ends, also by an exception.
class TScopeExit {
  public:
    explicit TScopeExit(std::function<void()> action) : action_(std::move(action)) {}
    ~TScopeExit() { action_(); }
    TScopeExit(const TScopeExit&) = delete;
    TScopeExit& operator=(const TScopeExit&) = delete;

  private:
    std::function<void()> action_;
};

bool IsBlank(const std::string& text) {
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

}  // namespace

// Every stream and buffer run ends alike, also when an exception passes:
// the target goes back to files and the archive is closed.
void TUnZipper::EndTargetRun(bool busy) {
    extractTarget_ = TExtractTarget::Files;
    targetStream_ = nullptr;
    targetBuffer_ = nullptr;
    CloseZip();
    busy_ = busy;
    CancelRequested = false;
}

int32_t TUnZipper::UnZipToStream(TStream* stream, const std::string& fileName) {
    if (stream == nullptr || IsBlank(fileName)) {
        return 0;
    }
    const TScopeExit scope([this, busy = busy_] { EndTargetRun(busy); });
    busy_ = true;
    extractTarget_ = TExtractTarget::Stream;
    CancelRequested = false;
    targetStream_ = stream;
    OpenZip();
    filesList_ = {fileName};
    return UnZipFiles(archiveStream_);
}

int32_t TUnZipper::UnZipToStreamByIndex(TStream* stream, int32_t index) {
    if (stream == nullptr) {
        return 0;
    }
    const TScopeExit scope([this, busy = busy_] { EndTargetRun(busy); });
    busy_ = true;
    extractTarget_ = TExtractTarget::Stream;
    CancelRequested = false;
    Restore<bool> selected(selectedOnly_, true);
    targetStream_ = stream;
    OpenZip();
    filesList_.clear();
    SetSelected(index, true);
    return UnZipFiles(archiveStream_);
}

int32_t TUnZipper::UnZipToBuffer(std::vector<uint8_t>& buffer, const std::string& fileName) {
    if (IsBlank(fileName)) {
        return 0;
    }
    const TScopeExit scope([this, busy = busy_] { EndTargetRun(busy); });
    busy_ = true;
    extractTarget_ = TExtractTarget::Memory;
    CancelRequested = false;
    targetBuffer_ = &buffer;
    OpenZip();
    filesList_ = {fileName};
    return UnZipFiles(archiveStream_);
}

int32_t TUnZipper::UnZipToBufferByIndex(std::vector<uint8_t>& buffer, int32_t index) {
    const TScopeExit scope([this, busy = busy_] { EndTargetRun(busy); });
    busy_ = true;
    extractTarget_ = TExtractTarget::Memory;
    CancelRequested = false;
    Restore<bool> selected(selectedOnly_, selectedOnly_ || !DoAll);
    targetBuffer_ = &buffer;
    OpenZip();
    filesList_.clear();
    if (index >= 0) {
        SetSelected(index, true);
    }
    return UnZipFiles(archiveStream_);
}

bool TUnZipper::ProcessIntegrityCheck(int32_t index) {
    if (index != -1) {
        CheckIndex(index);
        const uint8_t verdict = Entry(index).FileIsOK;
        if (verdict == 1) {
            return true;
        }
        if (verdict == 2) {
            return false;
        }
    }
    Restore<bool> testing(testing_, true);
    Restore<bool> recreate(RecreateDirs, true);
    const std::string oldDestDir = destDir_;
    const int32_t selectedBefore = SelectedCount();
    if (index != -1) {
        Entry(index).FileIsOK = 2;
    }
    SetDestDir("");
    int32_t result = 0;
    try {
        // A placeholder, so that nothing is sized: testing copies nothing.
        std::vector<uint8_t> placeholder(1);
        result = UnZipToBufferByIndex(placeholder, index);
    } catch (...) {
        SetDestDir(oldDestDir);
        throw;
    }
    SetDestDir(oldDestDir);
    bool ok = result > 0;
    if (index != -1) {
        if (ok) {
            Entry(index).FileIsOK = 1;
        }
    } else if (DoAll ? result < GetCount() : result != selectedBefore) {
        ok = false;
    }
    return ok;
}

bool TUnZipper::CheckArchive() {
    Restore<bool> doAll(DoAll, true);
    return ProcessIntegrityCheck(-1);
}

bool TUnZipper::GetFileIsOK(int32_t index) {
    Restore<bool> doAll(DoAll, false);
    return ProcessIntegrityCheck(index);
}

void TUnZipper::StripRelativePath(std::string& path) const {
    StripRelativePrefix(path, RelativePathList);
}
