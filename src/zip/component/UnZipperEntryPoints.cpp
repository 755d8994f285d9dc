// The extraction entry points: into files, into a caller's stream or
// memory, and the integrity test. Each ends in one extraction run.
#include <functional>

#include "platform/ScopeExit.h"
#include "zip/UnZipper.h"
#include "zip/base/SetForScope.h"
#include "zip/extract/ExtractRun.h"
#include "zip/extract/OutputPaths.h"

namespace {

bool IsBlank(const std::string& text) {
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

}  // namespace

int32_t TUnZipper::UnZip() {
    const auto busy = SetForScope(busy_, true);
    CancelRequested = false;
    const ScopeExit clearCancel([this] { CancelRequested = false; });
    ReadZip();
    OpenZip();
    const int32_t count = UnZipFiles(archiveStream_);
    CloseZip();
    return count;
}

int32_t TUnZipper::UnZipSelected() {
    const auto selected = SetForScope(selectedOnly_, true);
    return UnZip();
}

int32_t TUnZipper::UnZipFiles(TStream* archive) {
    TExtractRequest request = runTarget_;
    request.testing = testing_;
    request.selectedOnly = selectedOnly_;
    request.giveTurn = [this](bool honourPause) { GiveTurn(honourPause); };
    const auto mode = SetForScope(operationMode_, omUnZip);
    TExtractRun run(*this, *archive, request);
    return run.Run();
}

int32_t TUnZipper::UnZipToTarget(const TExtractRequest& target, bool selectedOnly,
                                 const std::function<void()>& chooseEntries) {
    // Every stream and buffer run ends alike, also when an exception
    // passes: the target goes back to files and the archive is closed.
    const ScopeExit endRun([this, busy = busy_] {
        runTarget_ = {};
        CloseZip();
        busy_ = busy;
        CancelRequested = false;
    });
    busy_ = true;
    runTarget_ = target;
    CancelRequested = false;
    const auto selected = SetForScope(selectedOnly_, selectedOnly);
    OpenZip();
    chooseEntries();
    return UnZipFiles(archiveStream_);
}

int32_t TUnZipper::UnZipToStream(TStream* stream, const std::string& fileName) {
    if (stream == nullptr || IsBlank(fileName)) {
        return 0;
    }
    return UnZipToTarget({TExtractTarget::Stream, stream, nullptr, false, false, {}}, selectedOnly_,
                         [&] { filesList_ = {fileName}; });
}

int32_t TUnZipper::UnZipToStreamByIndex(TStream* stream, int32_t index) {
    if (stream == nullptr) {
        return 0;
    }
    return UnZipToTarget({TExtractTarget::Stream, stream, nullptr, false, false, {}}, true, [&] {
        filesList_.clear();
        SetSelected(index, true);
    });
}

int32_t TUnZipper::UnZipToBuffer(std::vector<uint8_t>& buffer, const std::string& fileName) {
    if (IsBlank(fileName)) {
        return 0;
    }
    return UnZipToTarget({TExtractTarget::Memory, nullptr, &buffer, false, false, {}},
                         selectedOnly_, [&] { filesList_ = {fileName}; });
}

int32_t TUnZipper::UnZipToBufferByIndex(std::vector<uint8_t>& buffer, int32_t index) {
    return UnZipToTarget({TExtractTarget::Memory, nullptr, &buffer, false, false, {}},
                         selectedOnly_ || !DoAll, [&] {
                             filesList_.clear();
                             if (index >= 0) {
                                 SetSelected(index, true);
                             }
                         });
}

bool TUnZipper::ProcessIntegrityCheck(int32_t index) {
    if (index != -1) {
        CheckIndex(index);
        const uint8_t verdict = Entry(index).FileIsOK;
        if (verdict == FileVerdict::Good) {
            return true;
        }
        if (verdict == FileVerdict::BadOrUnderTest) {
            return false;
        }
    }
    const auto testing = SetForScope(testing_, true);
    const auto recreate = SetForScope(RecreateDirs, true);
    const std::string oldDestDir = destDir_;
    const int32_t selectedBefore = SelectedCount();
    if (index != -1) {
        Entry(index).FileIsOK = FileVerdict::BadOrUnderTest;
    }
    SetDestDir("");
    int32_t result = 0;
    {
        const ScopeExit restoreDestDir([this, &oldDestDir] { SetDestDir(oldDestDir); });
        // A placeholder, so that nothing is sized: testing copies nothing.
        std::vector<uint8_t> placeholder(1);
        result = UnZipToBufferByIndex(placeholder, index);
    }
    bool ok = result > 0;
    if (index != -1) {
        if (ok) {
            Entry(index).FileIsOK = FileVerdict::Good;
        }
    } else if (DoAll ? result < GetCount() : result != selectedBefore) {
        ok = false;
    }
    return ok;
}

bool TUnZipper::CheckArchive() {
    const auto doAll = SetForScope(DoAll, true);
    return ProcessIntegrityCheck(-1);
}

bool TUnZipper::GetFileIsOK(int32_t index) {
    const auto doAll = SetForScope(DoAll, false);
    return ProcessIntegrityCheck(index);
}

void TUnZipper::StripRelativePath(std::string& path) const {
    StripRelativePrefix(path, RelativePathList);
}
