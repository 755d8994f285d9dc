#pragma once

#include <cstdint>
#include <functional>
#include <utility>

#include "zip/codec/EntryStages.h"
#include "zip/codec/ZipCrypt.h"

class TStream;
class TSplitStream;
class TUnZipper;
class TOutputFile;
class TMemoryTarget;

// The per-entry stages of an extraction run, bound to the component: input
// from the archive (continuing on the next part of a split set), decryption
// with the traditional cipher or OnDecrypt, output to the run's target, and
// the progress events. One object per run; its buffers live as long.
class TExtractStages final : public TEntryStages {
  public:
    // `giveTurn` yields to the message loop at each input refill.
    TExtractStages(TUnZipper& owner, std::function<void(bool honourPause)> giveTurn)
        : owner_(owner), giveTurn_(std::move(giveTurn)) {}

    // The archive, part after part; the run owns it.
    void SetArchive(TSplitStream& archive) { archive_ = &archive; }

    // Reads exactly `count` bytes of the archive, going on with the next
    // part of a split set; a part refused or missing ends the run as its
    // swap does. An archive whose (last) part ends first raises
    // EFatalUnzipError ("Premature end of file reached"); a read that the
    // system fails raises it with "I/O error reading the archive: " and the
    // system's text.
    void ReadExact(uint8_t* dest, uint32_t count);
    // Skips `count` bytes by reading them (crossing parts the same way).
    void SkipExact(uint32_t count);

    TZipCrypt& Cipher() { return cipher_; }
    // Whether the current entry's data goes through the cipher.
    void SetEncrypted(bool encrypted) { encrypted_ = encrypted; }

    // The target of the current entry; exactly one (or none, when testing).
    void UseFile(TOutputFile* file);
    void UseStream(TStream* stream);
    void UseMemory(TMemoryTarget* memory);
    void UseNothing();

    // Run totals for OnTotalPercentDone.
    double TotalBytes = 0;
    double TotalDone = 0;

  protected:
    void HonourMessages() override;
    void ReadArchive(uint8_t* dest, uint32_t count) override;
    void DecryptInput(uint8_t* data, uint32_t count) override;
    void DecryptStored(uint8_t* data, uint32_t count) override;
    void WriteOutput(uint8_t* data, uint32_t count) override;

  private:
    void ReportProgress(uint32_t count);

    TUnZipper& owner_;
    std::function<void(bool honourPause)> giveTurn_;
    TSplitStream* archive_ = nullptr;
    TZipCrypt cipher_;
    bool encrypted_ = false;
    TOutputFile* file_ = nullptr;
    TStream* stream_ = nullptr;
    TMemoryTarget* memory_ = nullptr;
};
