#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Stream.h"
#include "zip/ZipExceptions.h"
#include "zip/ZipTypes.h"
#include "zip/extract/ExtractRequest.h"
#include "zip/format/EndCentral.h"
#include "zip/format/SortedZip.h"
#include "zip/format/ZipHeaderInfo.h"

// The zip extraction component: archive name or stream, the directory with
// its entries (in archive order and in the chosen sort order), the queries
// on it, and the switching between the parts of a multi-part archive.
class TUnZipper {
  public:
    // Events: unassigned ones are skipped or replaced by a built-in default.
    using InCompleteZipEvent = std::function<void(TUnZipper& sender, TIncompleteZipMode& mode)>;
    using GetNextDiskEvent =
        std::function<void(TUnZipper& sender, int diskNumber, std::string& fileName)>;
    using FileNameForSplitPartEvent = std::function<void(TUnZipper& sender, std::string& fileName,
                                                         int partNumber, TSplitPartType partType)>;
    using HandleMessageEvent =
        std::function<void(TUnZipper& sender, int messageId, const std::string& msg1,
                           const std::string& msg2, unsigned flags, int& result)>;
    using StartUnZipInfoEvent =
        std::function<void(TUnZipper& sender, int numFiles, double totalBytes, bool& stopNow)>;
    using PercentDoneEvent = std::function<void(TUnZipper& sender, int percent)>;
    using StartUnZipEvent =
        std::function<void(TUnZipper& sender, int fileIndex, std::string& fName, bool& skip)>;
    using EndUnZipEvent =
        std::function<void(TUnZipper& sender, int fileIndex, const std::string& fName)>;
    using PromptForOverwriteEvent = std::function<void(TUnZipper& sender, bool& overWriteIt,
                                                       int fileIndex, std::string& fName)>;
    using SkippingFileEvent =
        std::function<void(TUnZipper& sender, TSkipReason reason, const std::string& fName,
                           int fileIndex, bool& retry)>;
    using BadPasswordEvent =
        std::function<void(TUnZipper& sender, int fileIndex, std::string& newPassword)>;
    using BadCRCEvent =
        std::function<void(TUnZipper& sender, uint32_t calcCRC, uint32_t storedCRC, int fileIndex)>;
    using UnZipCompleteEvent = std::function<void(TUnZipper& sender, int fileCount)>;
    using GetNextBufferEvent = std::function<void(TUnZipper& sender, std::vector<uint8_t>& buffer,
                                                  const std::string& fName, int64_t amountUsed,
                                                  int bufferNum, bool& quit)>;
    using DecryptEvent = std::function<void(TUnZipper& sender, uint8_t* buffer, int length,
                                            const std::string& password)>;

    TUnZipper();
    virtual ~TUnZipper();
    TUnZipper(const TUnZipper&) = delete;
    TUnZipper& operator=(const TUnZipper&) = delete;

    // Copies the settings and every event handler of another component.
    void Assign(const TUnZipper& source);

    // ---- Properties (component/UnZipperProperties.cpp) ----
    int ThisVersion() const { return thisVersion_; }
    void SetThisVersion(int /*value*/) { thisVersion_ = 310; }
    int ThisBuild() const { return thisBuild_; }
    void SetThisBuild(int /*value*/) { thisBuild_ = 1; }
    const std::string& GetZipName() const { return ZipName_; }
    // Names the archive; nothing is opened. The same name again (compared
    // case-sensitively) keeps the directory already read.
    virtual void SetZipName(const std::string& name);
    // Reads from a caller-owned stream instead of a file (never freed here).
    void SetArchiveStream(TStream* stream);
    const std::string& DestDir() const { return destDir_; }
    void SetDestDir(const std::string& value);
    const std::string& RootDir() const { return rootDir_; }
    void SetRootDir(const std::string& value);
    const std::vector<std::string>& FilesList() const { return filesList_; }
    void SetFilesList(const std::vector<std::string>& list) { filesList_ = list; }
    std::vector<std::string> RelativePathList;
    TZipSortMode SortMode() const { return sortMode_; }
    void SetSortMode(TZipSortMode mode);
    virtual bool GetCheckDiskLabels() const { return checkDiskLabels_; }
    virtual void SetCheckDiskLabels(bool value) { checkDiskLabels_ = value; }
    virtual TMultiMode GetMultiMode() const { return multiMode_; }
    virtual void SetMultiMode(TMultiMode value) { multiMode_ = value; }
    int NumDisks() const { return numDisks_; }
    void WriteNumDisks(int value) { numDisks_ = value; }

    bool RecreateDirs = false;
    TUZOverwriteMode OverwriteMode = Prompt;
    bool DoAll = false;
    TIncompleteZipMode IncompleteZipMode = izAssumeMulti;
    bool KeepZipOpen = false;
    bool DoProcessMessages = true;
    bool RetainAttributes = true;
    bool ReplaceReadOnly = false;
    bool FlushFilesOnClose = false;
    TBlockMode BlockMode = bmStandard;
    TOEMConvert OEMConvert = oemAlways;
    // The code page of names that are not flagged as UTF-8 (an iconv name).
    std::string OEMCodePage = "CP437";

    InCompleteZipEvent OnInCompleteZip;
    GetNextDiskEvent OnGetNextDisk;
    FileNameForSplitPartEvent OnFileNameForSplitPart;
    HandleMessageEvent OnHandleMessage;
    StartUnZipInfoEvent OnStartUnZipInfo;
    PercentDoneEvent OnFilePercentDone;
    PercentDoneEvent OnTotalPercentDone;
    StartUnZipEvent OnStartUnZip;
    EndUnZipEvent OnEndUnZip;
    PromptForOverwriteEvent OnPromptForOverwrite;
    SkippingFileEvent OnSkippingFile;
    BadPasswordEvent OnBadPassword;
    BadCRCEvent OnBadCRC;
    UnZipCompleteEvent OnUnZipComplete;
    GetNextBufferEvent OnGetNextBuffer;
    DecryptEvent OnDecrypt;

    // ---- Directory (component/UnZipperDirectory.cpp) ----
    // Reads the archive's directory; the archive is closed again afterwards
    // unless KeepZipOpen is set or a caller stream is used.
    void ReadZip();
    // Opens the archive if needed and (re)reads the directory when there is
    // none yet or the archive file's date has changed.
    void OpenZip();
    void CloseZip();
    // Closes the archive (also with KeepZipOpen) and forgets the directory.
    void ClearZip();
    int32_t GetCount() const;
    void Sort(TZipSortMode mode);

    // ---- Entry queries (component/UnZipperQueries.cpp); indexes follow the sort order ----
    std::string GetFilename(int32_t index) const;
    std::string GetPathname(int32_t index) const;
    std::string GetFullname(int32_t index) const;
    uint16_t GetCompressMethod(int32_t index) const;
    std::string GetCompressMethodStr(int32_t index) const;
    TDateTime GetDateTime(int32_t index) const;
    uint32_t GetCrc(int32_t index) const;
    uint64_t GetCompressedSize(int32_t index) const;
    uint64_t GetUnCompressedSize(int32_t index) const;
    uint32_t GetExternalFileAttributes(int32_t index) const;
    bool GetIsEncrypted(int32_t index) const;
    bool GetHasComment(int32_t index) const;
    uint32_t GetDiskNo(int32_t index) const;
    bool GetSelected(int32_t index) const;
    void SetSelected(int32_t index, bool value);
    void ClearSelected();
    int32_t SelectedCount() const { return selectedCount_; }
    std::string GetFileComment(int32_t index);
    void SetFileComment(int32_t index, const std::string& text);
    bool GetZipHasComment() const;
    std::string GetZipComment();
    void SetZipComment(const std::string& text);
    int64_t GetZipSize();
    // Copies the 12-byte encryption header of an encrypted entry (12 zero
    // bytes for an unencrypted one or one whose header cannot be read).
    void GetDecryptHeaderPtr(int32_t index, uint8_t* buffer);
    // Forgets the integrity-test verdict of an entry.
    void ResetFileIsOK(int32_t index) { Entry(index).FileIsOK = FileVerdict::Untested; }
    bool GetIsZip64() const;
    // One line per entry in sort order (name, flags, date, time, sizes,
    // ratio, method, directory), lower-cased.
    void FillList(std::vector<std::string>& lines) const;
    // The entry at a position of the current sort order (range-checked).
    TZipHeaderInfo& Entry(int32_t index) const;

    // ---- Parts and messages (component/UnZipperDisks.cpp) ----
    // Closes the current part and opens part n (1-based); returns its stream.
    TStream* SwapDisk(int n);
    TStream* AskForNewDisk(int n) { return SwapDisk(n); }
    // Switches to the part after the current one.
    TStream* NewDiskEvent();
    void DefaultFileNameForSplitPart(std::string& fileName, int partNumber,
                                     TSplitPartType partType) const;
    void DefaultGetNextDisk(int diskNumber, std::string& fileName);
    int DoHandleMessage(int messageId, const std::string& msg1, const std::string& msg2,
                        unsigned flags);
    int DefaultHandleMessage(int messageId, const std::string& msg1, const std::string& msg2,
                             unsigned flags);
    void CancelTheOperation();
    void PauseTheOperation();
    void RestartTheOperation();
    void DoPause();

    // ---- State for the directory reader and the extraction ----
    bool Busy() const { return busy_; }
    TOperationMode OperationMode() const { return operationMode_; }
    TStream* ArchiveStream() const { return archiveStream_; }
    bool ArchiveIsStream() const { return archiveIsStream_; }
    TDateTime ArchiveDate() const { return archiveDate_; }
    bool RebuiltDirectory() const { return rebuiltDirectory_; }
    int CurrentDisk() const { return currentDisk_; }
    const std::string& SplitBaseName() const { return splitBaseName_; }
    TEndCentral& EndCentral() const { return *endCentral_; }
    TSortedZip* EntryList() const { return entryList_.get(); }
    TSortedZip* SortedList() const { return sortedList_; }

    bool CancelRequested = false;
    bool PauseRequested = false;
    bool CheckDiskLabels() const { return GetCheckDiskLabels(); }
    int32_t BufferSize = 8192;
    TZipHeaderInfo ScratchHeader;
    // What the decoder found wrong with the entry that just failed its
    // check (its data is damaged, or ends early); empty when the check
    // value alone tells. Valid while OnBadCRC runs.
    std::string LastEntryProblem;

    // ---- Extraction (component/UnZipperEntryPoints.cpp, the run in extract/) ----
    // The password of encrypted entries, its bytes as stored.
    std::string Password;
    // A positive value hands memory-target data over in chunks of this many
    // bytes through OnGetNextBuffer; 0 keeps a whole entry in the buffer.
    int64_t BufferChunkSize = 0;
    // Each returns the number of entries extracted and verified.
    int32_t UnZip();
    int32_t UnZipSelected();
    // The stream is the caller's and is never freed here.
    int32_t UnZipToStream(TStream* stream, const std::string& fileName);
    int32_t UnZipToStreamByIndex(TStream* stream, int32_t index);
    // An empty buffer is sized here for the entry; the caller keeps it.
    int32_t UnZipToBuffer(std::vector<uint8_t>& buffer, const std::string& fileName);
    int32_t UnZipToBufferByIndex(std::vector<uint8_t>& buffer, int32_t index);
    // Integrity test: decompresses into nowhere and checks every CRC.
    bool CheckArchive();
    bool GetFileIsOK(int32_t index);
    bool ProcessIntegrityCheck(int32_t index);
    // Removes the first item of RelativePathList that prefixes the path.
    void StripRelativePath(std::string& path) const;

  private:
    // The directory reader fills the entry list and the state that goes
    // with it (component/DirectoryReader.h).
    friend class TDirectoryReader;
    void GetFileInfo();
    void FreeLists();
    void NewEntryList();
    // Yields to the message loop and honours cancel (and pause when asked).
    void GiveTurn(bool honourPause);
    void CloseArchive();
    void CheckIndex(int32_t index) const;
    void LoadEntryComment(TZipHeaderInfo& entry, TStream& stream);
    std::unique_ptr<TZipHeaderInfo> NewHeader() const;

    // Extraction: the run that every UnZip variant ends in, and the one
    // preamble and ending of the stream and buffer variants.
    int32_t UnZipFiles(TStream* archive);
    int32_t UnZipToTarget(const TExtractRequest& target, bool selectedOnly,
                          const std::function<void()>& chooseEntries);
    TExtractRequest runTarget_;
    bool testing_ = false;
    bool selectedOnly_ = false;

    std::string ZipName_;
    std::string destDir_;
    std::string rootDir_;
    std::vector<std::string> filesList_;
    TZipSortMode sortMode_ = ByNone;
    int thisVersion_ = 310;
    int thisBuild_ = 1;
    bool checkDiskLabels_ = true;
    TMultiMode multiMode_ = mmNone;
    int numDisks_ = 1;

    bool busy_ = false;
    TOperationMode operationMode_ = omNone;
    std::unique_ptr<TStream> ownedStream_;
    TStream* archiveStream_ = nullptr;
    bool archiveIsStream_ = false;
    TDateTime archiveDate_ = 0;
    bool rebuiltDirectory_ = false;
    int currentDisk_ = 0;
    std::string splitBaseName_;
    std::unique_ptr<TEndCentral> endCentral_;
    std::unique_ptr<TSortedZip> entryList_;
    std::unique_ptr<TSortedZip> sortedView_;  // separate view when SortMode != ByNone
    TSortedZip* sortedList_ = nullptr;
    int32_t selectedCount_ = 0;
};
