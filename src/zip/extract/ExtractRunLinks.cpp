// Symbolic-link entries of a run that writes files: the target is read to
// memory while the entries are visited, and each link is made after every
// file is written, only when the target stays inside the destination.
#include <set>

#include "platform/FileSystem.h"
#include "platform/MemoryStream.h"
#include "platform/MessageHooks.h"
#include "platform/ScopeExit.h"
#include "zip/UnZipper.h"
#include "zip/base/FileHelpers.h"
#include "zip/base/ZipStrings.h"
#include "zip/extract/ExtractRun.h"
#include "zip/extract/OutputFile.h"

namespace {

// The longest target a link may have on the systems we run on.
constexpr uint64_t kLongestLinkTarget = 4095;

}  // namespace

void TExtractRun::ExtractLinkEntry(int32_t index, const TZipHeaderInfo& entry,
                                   const std::string& fName, int64_t compressedLeft) {
    if (entry.GetUnCompressedSize() > kLongestLinkTarget) {
        ReportLinkSkipped(index, "", ZipStrings::LinkTargetTooLong);
        return;
    }
    TMemoryStream target;
    stages_.UseStream(&target);
    ScopeExit detach([this] { stages_.UseNothing(); });
    stages_.BeginEntry(compressedLeft, static_cast<int64_t>(entry.GetUnCompressedSize()));
    stages_.SetEncrypted(entry.GetIsEncrypted());
    const TEntryOutcome outcome = DecompressEntry(entry);
    if (!Intact(entry, outcome)) {
        ReportDamaged(index, entry);
        return;
    }
    pendingLinks_.push_back({index, fName,
                             std::string(reinterpret_cast<const char*>(target.Memory()),
                                         static_cast<size_t>(target.Size()))});
}

void TExtractRun::PlaceLinks() {
    for (const TPendingLink& link : pendingLinks_) {
        request_.giveTurn(false);
        PlaceLink(link.index, link.path, link.target);
    }
    pendingLinks_.clear();
}

void TExtractRun::PlaceLink(int32_t index, const std::string& path, const std::string& target) {
    // Checked again now: links made before this one may stand in its way.
    std::set<std::string> fresh;
    std::string reason = MakeDirectoriesInside(rules_.destDir, path, true, fresh);
    if (reason.empty()) {
        reason = CheckLinkTarget(rules_.destDir, path, target);
    }
    if (!reason.empty()) {
        ReportLinkSkipped(index, target, reason);
        return;
    }
    z_.ScratchHeader.Assign(*z_.SortedList()->Entry(index));
    if (PathStatus(path, TLinks::DoNotFollow).Kind != TPathKind::Absent &&
        !MayReplace(index, z_.ScratchHeader, path)) {
        return;
    }
    if (!PlaceSymbolicLink(path, target)) {
        ReportLinkSkipped(index, target, ZipStrings::LinkNotCreated);
        return;
    }
    if (z_.OnEndUnZip) {
        z_.OnEndUnZip(z_, index, path);
    }
    ++fileCount_;
}

void TExtractRun::ReportLinkSkipped(int32_t index, const std::string& target,
                                    const std::string& reason) {
    const TZipHeaderInfo& entry = *z_.SortedList()->Entry(index);
    const std::string name = DOSToUnixFilename(entry.directory + entry.filename);
    z_.DoHandleMessage(ZipStrings::LinkSkippedMessageId,
                       name + " -> " + target + ": " + reason + ZipStrings::LinkSkippedSuffix,
                       ZipStrings::LinkSkippedCaption, MB_OK);
}
