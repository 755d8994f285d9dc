#pragma once

#include <cstdint>
#include <memory>
#include <string>

class TSplitStream;
class TStream;
class TUnZipper;
class TZipHeaderInfo;

// Reads the directory of the component's open archive into its entry
// list: the end record (or a side-car file that holds it), the part that
// the central directory starts on, the central headers, and a rebuild
// from the local headers when the directory is missing or cannot be
// trusted. Lives for one read; the component keeps what it reads.
class TDirectoryReader {
  public:
    explicit TDirectoryReader(TUnZipper& owner) : z_(owner) {}

    void Read();

  private:
    // DirectoryReader.cpp: the end record and where the directory starts.
    bool FindEndOfCentral(std::unique_ptr<TStream>& sideCar);
    void HandleMissingEnd();
    void DecideMultiMode();
    uint64_t PrefixLength(TStream& stream) const;
    void PositionAtDirectory(TSplitStream& stream, bool sideCarMode);
    [[noreturn]] void FailBadZip();
    void Warn(const std::string& text);

    // DirectoryCentral.cpp: the central headers and the archive comment.
    void ReadCentralEntries(TSplitStream& stream);
    [[noreturn]] void RefuseSharedHeader(const TZipHeaderInfo& entry);
    void RefuseOverlaps(uint64_t directoryStart);
    void LoadArchiveCommentAfterRead(TStream* sideCar);

    // DirectoryRebuild.cpp: the entries from the local headers.
    bool Rebuild();
    bool ScanForLocalHeader(TStream& stream);
    void ReadLocalEntries(TStream& stream);

    TUnZipper& z_;
    // Bytes in front of the archive (a self-extractor stub, a file it was
    // appended to) that the offsets in its directory do not count.
    uint64_t prefix_ = 0;
};
