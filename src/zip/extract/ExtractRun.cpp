// The extraction run: the selection pass, the visit of the chosen entries
// and the final step.
#include "zip/extract/ExtractRun.h"

#include <exception>

#include "platform/LocalTime.h"
#include "zip/UnZipper.h"
#include "zip/base/FileHelpers.h"
#include "zip/base/SetForScope.h"
#include "zip/base/WildMatch.h"
#include "zip/extract/EntryAttributes.h"
#include "zip/extract/MemoryTarget.h"
#include "zip/extract/OutputFile.h"

TExtractRun::TExtractRun(TUnZipper& owner, TStream& archive, TExtractRequest request)
    : z_(owner),
      request_(std::move(request)),
      archive_(archive, owner.CurrentDisk(), static_cast<int>(owner.EndCentral().GetThis_Disk()),
               [&owner](int number) -> TStream& { return *owner.SwapDisk(number + 1); }),
      stages_(owner, request_.giveTurn) {
    stages_.SetArchive(archive_);
}

TExtractRun::~TExtractRun() = default;

bool TExtractRun::FilesTarget() const {
    return request_.target == TExtractTarget::Files && !request_.testing;
}

int32_t TExtractRun::Run() {
    z_.CancelRequested = false;
    const auto keepOpen = SetForScope(z_.KeepZipOpen, true);
    skipRetry_ = false;
    // The final step runs on both roads. It calls a handler and may raise,
    // so it cannot be a scope guard's clean-up: an exception of its own
    // replaces the body's, as it always has.
    std::exception_ptr failure;
    try {
        Body();
    } catch (...) {
        failure = std::current_exception();
    }
    Finish();
    if (failure) {
        std::rethrow_exception(failure);
    }
    return fileCount_;
}

void TExtractRun::Body() {
    if (request_.target == TExtractTarget::Memory) {
        memory_ = std::make_unique<TMemoryTarget>(z_, *request_.buffer);
    }
    rules_ = {z_.DestDir(), z_.RecreateDirs, z_.RelativePathList};
    if (FilesTarget() && !z_.DestDir().empty() && !DirExists(z_.DestDir())) {
        ForceCreateDirectories(z_.DestDir());
    }
    if (FilesTarget()) {
        RefreshLocalTimeZone();  // the files' dates are read in it
    }
    // A split set is read part after part: visit the entries in archive order.
    if (z_.EndCentral().GetThis_Disk() != 0 && z_.SortMode() != ByNone) {
        rememberedSortMode_ = z_.SortMode();
        resorted_ = true;
        z_.Sort(ByNone);
    }
    SelectEntries();
    bool stopNow = false;
    if (z_.OnStartUnZipInfo) {
        z_.OnStartUnZipInfo(z_, numFiles_, stages_.TotalBytes, stopNow);
    }
    if (numFiles_ > 0 && !stopNow) {
        VisitEntries();
        PlaceLinks();
    }
}

void TExtractRun::SelectEntries() {
    const int32_t count = z_.GetCount();
    stages_.TotalBytes = 0;
    stages_.TotalDone = 0;
    numFiles_ = count;
    for (int32_t i = 0; i < count; ++i) {
        request_.giveTurn(false);
        TZipHeaderInfo& entry = *z_.SortedList()->Entry(i);
        entry.MatchFlag = z_.DoAll;
        if (entry.filename.empty() && !z_.RecreateDirs) {
            entry.MatchFlag = false;
            --numFiles_;
            continue;
        }
        if (request_.selectedOnly) {
            if (entry.Selected) {
                entry.MatchFlag = true;
                z_.SetSelected(i, false);
            }
        } else if (z_.DoAll) {
            entry.MatchFlag = true;
        } else {
            const std::string name = entry.directory + entry.filename;
            for (const auto& pattern : z_.FilesList()) {
                if (IsMatch(pattern, name)) {
                    entry.MatchFlag = true;
                    break;
                }
            }
        }
        if (entry.MatchFlag) {
            stages_.TotalBytes += static_cast<double>(entry.GetUnCompressedSize());
        } else {
            --numFiles_;
        }
    }
}

void TExtractRun::VisitEntries() {
    const int32_t count = z_.GetCount();
    for (int32_t i = 0; i < count; ++i) {
        if (!z_.DoAll && !z_.SortedList()->Entry(i)->MatchFlag) {
            continue;
        }
        do {
            ExtractEntry(i);
        } while (retry_);
    }
}

void TExtractRun::Finish() {
    file_.reset();
    z_.SetFilesList({});
    if (resorted_) {
        resorted_ = false;
        z_.Sort(rememberedSortMode_);
    }
    // The parts of a split set were swapped while reading: come back to the
    // last one, which holds the directory and names the archive.
    const auto lastDisk = static_cast<int>(z_.EndCentral().GetThis_Disk());
    if (z_.GetMultiMode() == mmBlocks && z_.CurrentDisk() != lastDisk && !z_.ArchiveIsStream()) {
        try {
            z_.SwapDisk(lastDisk + 1);
        } catch (const Exception&) {
            // The next operation opens the archive again and reports it.
        }
    }
    if (z_.OnUnZipComplete) {
        z_.OnUnZipComplete(z_, fileCount_);
    }
}
