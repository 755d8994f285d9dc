#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "zip/ZipTypes.h"
#include "zip/extract/ExtractRequest.h"
#include "zip/extract/ExtractStages.h"
#include "zip/extract/OutputPaths.h"
#include "zip/io/SplitStream.h"

class TMemoryTarget;
class TOutputFile;
class TStream;
class TUnZipper;
class TZipHeaderInfo;

// One run of the extraction driver over an open archive: the selection
// pass, the visit of every chosen entry, and the entry extraction itself
// (output place, existing files, password, target, decompression, date and
// attributes, verdict). Lives for one UnZipFiles call.
class TExtractRun {
  public:
    // Reads the archive from `archive`, the component's current part.
    TExtractRun(TUnZipper& owner, TStream& archive, TExtractRequest request);
    ~TExtractRun();
    TExtractRun(const TExtractRun&) = delete;
    TExtractRun& operator=(const TExtractRun&) = delete;

    // Returns the number of entries extracted and verified; also after an
    // exception the run's final step (clearing FilesList, restoring the
    // order, OnUnZipComplete) has happened.
    int32_t Run();

  private:
    // ExtractRun.cpp: the run.
    void Body();
    void SelectEntries();
    void VisitEntries();
    void Finish();

    // ExtractRunEntry.cpp: one entry.
    void ExtractEntry(int32_t index);
    bool PositionAtData(const TZipHeaderInfo& entry);
    void ExtractDirectory(int32_t index, const TZipHeaderInfo& entry, const TOutputPlace& place);
    bool PrepareFileTarget(int32_t index, const TZipHeaderInfo& entry, const std::string& fName,
                           bool nameIsOurs);
    // `knownAbsent`: nothing had the name when the entry began; no look.
    bool MayReplace(int32_t index, const TZipHeaderInfo& entry, const std::string& fName,
                    bool knownAbsent = false);
    bool CreateOutputFile(int32_t index, const TZipHeaderInfo& entry, const std::string& fName);
    bool CheckPassword(int32_t index, const TZipHeaderInfo& entry, int64_t& compressedLeft);
    void PrepareStreamOrMemory(const TZipHeaderInfo& entry, int64_t compressedLeft);
    // How the decoding of one entry ended.
    enum class TEntryOutcome {
        Decoded,      // the decoder ran to its end; the CRC decides
        TooLong,      // more data than the declared size; the CRC decides
        Cancelled,    // a chunked memory target was stopped
        Undecodable,  // the decoder refused the (encrypted) data
    };
    TEntryOutcome DecompressEntry(const TZipHeaderInfo& entry);
    TDecodeResult Decompress(const TZipHeaderInfo& entry);
    void RaiseUnlessDecoded(TDecodeResult result, const TZipHeaderInfo& entry);
    void FinishFile(const TZipHeaderInfo& entry, bool decompressed);
    void Verdict(int32_t index, const TZipHeaderInfo& entry, const std::string& fName,
                 TEntryOutcome outcome);
    bool Intact(const TZipHeaderInfo& entry, TEntryOutcome outcome);
    // Reports an entry whose data did not come out whole: a bad password
    // (perhaps asking for another and retrying) or a bad CRC.
    void ReportDamaged(int32_t index, const TZipHeaderInfo& entry);

    // ExtractRunLinks.cpp: symbolic-link entries. Their targets are read
    // to memory during the visit and the links made after every file is
    // written, so no entry of the archive can be written through a link
    // that the archive itself made.
    void ExtractLinkEntry(int32_t index, const TZipHeaderInfo& entry, const std::string& fName,
                          int64_t compressedLeft);
    void PlaceLinks();
    void PlaceLink(int32_t index, const std::string& path, const std::string& target);
    void ReportLinkSkipped(int32_t index, const std::string& target, const std::string& reason);
    struct TPendingLink {
        int32_t index;
        std::string path;
        std::string target;
    };
    std::vector<TPendingLink> pendingLinks_;
    void Skip(int32_t index, TSkipReason reason, const std::string& name);
    bool FilesTarget() const;
    // The size of the archive part being read. A one-part archive is asked
    // once per run (each ask is a system call); a split set's parts change.
    int64_t ArchiveSize();

    TUnZipper& z_;
    TExtractRequest request_;
    TSplitStream archive_;
    TExtractStages stages_;
    std::unique_ptr<TMemoryTarget> memory_;
    std::unique_ptr<TOutputFile> file_;
    std::set<std::string> checkedDirs_;
    TPlacementRules rules_;
    // The date and time as stored in the current entry's local header.
    uint32_t localDosDateTime_ = 0;
    int64_t onePartSize_ = -1;  // not asked yet
    int32_t numFiles_ = 0;
    int32_t fileCount_ = 0;
    bool retry_ = false;
    bool skipRetry_ = false;
    bool resorted_ = false;
    TZipSortMode rememberedSortMode_ = ByNone;
};
