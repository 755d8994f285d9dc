// Parts of multi-part archives, messages, cancel and pause.
#include <cctype>
#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/FileOps.h"
#include "platform/MessageHooks.h"
#include "zip/UnZipper.h"
#include "zip/base/DateTimeHelpers.h"
#include "zip/base/FileHelpers.h"
#include "zip/base/ZipStrings.h"
#include "zip/io/LFNFileStream.h"

namespace {

std::string Formatted(const char* format, int value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

void TUnZipper::DefaultFileNameForSplitPart(std::string& fileName, int partNumber,
                                            TSplitPartType partType) const {
    if (BlockMode == bmClassic) {
        fileName += '.';
        fileName += Formatted("%3.3d", partNumber);
        return;
    }
    if (partType == spLast) {
        fileName += ".zip";
        return;
    }
    const std::string own = fileName + ".zip." + Formatted("z%2.2d", partNumber);
    // Split archives written by other tools name their parts base.z01,
    // base.z02 ...; use that name when only it exists, and for a missing
    // part of a set named that way, so that the message names the file the
    // user has to find.
    const std::string common = fileName + ".z" + Formatted("%2.2d", partNumber);
    const bool commonSet =
        FileExists(DOSToUnixFilename(common)) || FileExists(DOSToUnixFilename(fileName + ".z01"));
    fileName = (!FileExists(DOSToUnixFilename(own)) && commonSet) ? common : own;
}

void TUnZipper::DefaultGetNextDisk(int diskNumber, std::string& fileName) {
    if (multiMode_ != mmSpan) {
        return;
    }
    const std::string text =
        ZipStrings::InsertDiskPrefix + std::to_string(diskNumber) + ZipStrings::InsertDiskSuffix;
    if (DoHandleMessage(ZipStrings::InsertDiskMessageId, text, "", MB_OKCANCEL) == IDCANCEL) {
        fileName.clear();
    }
}

int TUnZipper::DoHandleMessage(int messageId, const std::string& msg1, const std::string& msg2,
                               unsigned flags) {
    if (OnHandleMessage) {
        int result = 0;
        OnHandleMessage(*this, messageId, msg1, msg2, flags, result);
        return result;
    }
    return DefaultHandleMessage(messageId, msg1, msg2, flags);
}

int TUnZipper::DefaultHandleMessage(int /*messageId*/, const std::string& msg1,
                                    const std::string& msg2, unsigned flags) {
    return AppMessageBox(msg1, msg2, flags);
}

TStream* TUnZipper::SwapDisk(int n) {
    CloseArchive();
    archiveStream_ = nullptr;
    archiveIsStream_ = false;
    std::string name;
    if (multiMode_ == mmBlocks) {
        const TSplitPartType type = (operationMode_ == omUnZip && n == numDisks_) ? spLast
                                    : n == 1                                      ? spFirst
                                                                                  : spMiddle;
        name = splitBaseName_;
        if (OnFileNameForSplitPart) {
            OnFileNameForSplitPart(*this, name, n, type);
        } else {
            DefaultFileNameForSplitPart(name, n, type);
        }
    } else {
        for (;;) {
            name = ZipName_;
            if (OnGetNextDisk) {
                OnGetNextDisk(*this, n, name);
            } else {
                DefaultGetNextDisk(n, name);
            }
            if (name.empty()) {
                throw EUserCanceled(ZipStrings::UserCanceledNewDisk);
            }
            if (GetCheckDiskLabels() && multiMode_ == mmSpan) {
                const auto label = GetVolumeLabel(DriveRoot(ZipName_));
                // A label that cannot be read cannot be checked.
                if (label && !EndsWith(label->substr(0, 11), Formatted("%3.3d", n))) {
                    continue;
                }
            }
            if (FileExists(DOSToUnixFilename(name))) {
                break;
            }
        }
    }
    ownedStream_ = std::make_unique<TLFNFileStream>(name, lfn::fmOpenRead | lfn::fmShareDenyNone,
                                                    false, BufferSize);
    archiveStream_ = ownedStream_.get();
    currentDisk_ = n - 1;
    archiveDate_ = FileDateTime(name);
    ZipName_ = name;
    return archiveStream_;
}

TStream* TUnZipper::NewDiskEvent() { return SwapDisk(currentDisk_ + 2); }

void TUnZipper::CancelTheOperation() {
    CancelRequested = true;
    PauseRequested = false;
}

void TUnZipper::PauseTheOperation() {
    PauseRequested = true;
    CancelRequested = false;
}

void TUnZipper::RestartTheOperation() { PauseRequested = false; }

void TUnZipper::DoPause() {
    while (PauseRequested) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        YieldProcess();
    }
}
