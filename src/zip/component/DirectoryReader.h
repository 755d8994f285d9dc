#pragma once

#include <cstdint>
#include <memory>

class TSplitStream;
class TStream;
class TUnZipper;

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
    void PositionAtDirectory(TSplitStream& stream, bool sideCarMode);
    [[noreturn]] void FailBadZip();

    // DirectoryCentral.cpp: the central headers and the archive comment.
    void ReadCentralEntries(TSplitStream& stream);
    void LoadArchiveCommentAfterRead(TStream* sideCar);

    // DirectoryRebuild.cpp: the entries from the local headers.
    bool Rebuild();
    bool ScanForLocalHeader(TStream& stream);
    void ReadLocalEntries(TStream& stream);

    TUnZipper& z_;
};
