#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>

#include "zip/ZipExceptions.h"
#include "zip/base/Crc32.h"
#include "zip/base/ZipStrings.h"
#include "zip/codec/InflateEngine.h"

// How a legacy decoder ended. When an entry fails its size or CRC check, the
// driver reports this verdict (truncated or damaged) as the reason.
enum class TDecodeResult {
    Complete,   // the data ran to its natural end (size reached, input used up)
    Truncated,  // the compressed data ended in the middle of a code
    Corrupt,    // a table or code that the format does not allow
};

// The per-entry input and output stages that every decompressor works
// through. The extraction driver derives from this class, creates one object
// per run (the three buffers are allocated once, here) and, for each entry,
// calls BeginEntry() and then the method's decompressor.
//
// Contract for the deriving class (the driver):
//
//  * HonourMessages(): called once before every block read from the archive
//    (each input refill, each stored block), also when nothing is left to
//    read. With DoProcessMessages it pumps messages, raises EUserCanceled
//    ("User Aborted Operation") for a cancel request and waits out a pause;
//    otherwise it does nothing.
//  * ReadArchive(dest, count): read exactly `count` (1 to 32,768) bytes of the
//    entry's data from the archive into `dest`, continuing on the next part
//    of a spanned set. It never returns short: a single-volume archive that
//    ends early raises EFatalUnzipError ("Premature end of file reached"), a
//    read the system fails EFatalUnzipError with its error text, a refused
//    next disk EUserCanceled. The stages never ask for more bytes
//    than BeginEntry's compressed size, so the driver need not count.
//  * DecryptInput(data, count): one block of compressed input just read for a
//    compressing method; decrypt it in place when the entry is encrypted
//    (OnDecrypt, or the traditional cipher), else do nothing.
//  * DecryptStored(data, count): the same for one block of a stored entry,
//    which lands straight in the output window. Encrypted stored entries are
//    always decrypted with the cipher, also with an empty password.
//  * WriteOutput(data, count): hand `count` (1 to 32,768) decompressed bytes
//    to the run's target (file, caller's stream, memory, or nowhere when
//    testing) and report progress. BytesWritten() still excludes them. Raises
//    ECantWriteUCF for a short write and ECanceledUnzipToBuffer when a
//    chunked memory target is stopped.
//
// What the stages do themselves: count compressed bytes, keep the running
// CRC (zlib's crc32 over each whole block), refuse output beyond the declared
// uncompressed size (EBiggerThanUncompressed "File is larger than
// uncompressed size!", raised before WriteOutput sees the block), count the
// bytes written.
//
// Contract for decompressors:
//
//  * ReadByte() / FillInput() / InputData() / InputCount() / ConsumeInput()
//    are the input stage; ReadBits() the shared least-significant-bit-first
//    bit reader over ReadByte() for shrunk and reduced data.
//  * OutWindow()/OutCount()/SetOutCount(), PutByte() and PutBytes() fill the
//    output window; Flush() empties it. The window never holds more than
//    32,768 bytes; a decompressor flushes when it is full and once at the end.
//  * Scratch() is 32,780 bytes of tables and windows, aligned for any type;
//    its contents are undefined at the start of an entry.
//  * ReadStoredBlock() serves the stored method: it reads the next block
//    straight into the output window, decrypted, and returns its size.
//  * InflateEngine() is the run's deflate engine, made at its first use
//    (the build's engine unless UseInflateEngine chose one) and kept for
//    every later entry.
class TEntryStages {
  public:
    static constexpr uint32_t kBlockSize = 32768;  // largest block read or written
    static constexpr uint32_t kBufferSize = kBlockSize + 1;
    static constexpr uint32_t kScratchSize = 32780;

    TEntryStages()
        : input_(std::make_unique<uint8_t[]>(kBufferSize)),
          window_(std::make_unique<uint8_t[]>(kBufferSize)),
          scratch_(std::make_unique<uint8_t[]>(kScratchSize)) {}
    TEntryStages(const TEntryStages&) = delete;
    TEntryStages& operator=(const TEntryStages&) = delete;
    virtual ~TEntryStages() = default;

    // Resets every per-entry counter. `compressedSize` is the size of the
    // entry's compressed data after any 12-byte encryption header; the
    // archive must already be positioned at its first byte.
    void BeginEntry(int64_t compressedSize, int64_t uncompressedSize) {
        compressedLeft_ = compressedSize;
        unread_ = compressedSize > 0 ? compressedSize : 0;
        uncompressedSize_ = uncompressedSize;
        inPos_ = input_.get();
        inCount_ = 0;
        outCount_ = 0;
        bytesWritten_ = 0;
        crc_ = kCrcPreset;
        bitBuffer_ = 0;
        bitCount_ = 0;
        endOfInput_ = false;
    }

    // ---- Input stage --------------------------------------------------

    // The next byte of compressed (decrypted) data: returns 8 and sets
    // `byte`, or 0 once the entry's data is exhausted. Every call takes one
    // from CompressedLeft(), also past the end.
    int ReadByte(uint8_t& byte) {
        if (compressedLeft_ <= 0) {
            --compressedLeft_;
            return 0;
        }
        --compressedLeft_;
        if (inCount_ == 0 && FillInput() == 0) {
            return 0;
        }
        byte = *inPos_++;
        --inCount_;
        return 8;
    }

    // Refills the input buffer with the next block (up to 32,768 bytes) of
    // the entry's data and returns its size, 0 when all was read. Any bytes
    // still waiting in the buffer are discarded.
    uint32_t FillInput() {
        HonourMessages();
        const auto n = static_cast<uint32_t>(std::min<int64_t>(kBlockSize, unread_));
        unread_ -= n;
        inPos_ = input_.get();
        inCount_ = 0;
        if (n > 0) {
            ReadArchive(input_.get(), n);
            DecryptInput(input_.get(), n);
            inCount_ = n;
        }
        return n;
    }

    const uint8_t* InputData() const { return inPos_; }
    uint32_t InputCount() const { return inCount_; }
    // Marks `count` waiting input bytes as used (bulk consumers).
    void ConsumeInput(uint32_t count) {
        count = std::min(count, inCount_);
        inPos_ += count;
        inCount_ -= count;
    }

    // Reads the next stored block into the output window (decrypted) and
    // sets OutCount() to its size; 0 when the entry's data is all read.
    uint32_t ReadStoredBlock() {
        HonourMessages();
        const auto n = static_cast<uint32_t>(std::min<int64_t>(kBlockSize, unread_));
        unread_ -= n;
        if (n > 0) {
            ReadArchive(window_.get(), n);
            DecryptStored(window_.get(), n);
        }
        outCount_ = n;
        return n;
    }

    // ---- Shared bit reader (shrunk, reduced) ---------------------------

    // The next `n` (1 to 16) bits, least significant first. When the data
    // cannot supply them the missing bits read as 0 and EndOfInput() turns
    // true; it stays true for the rest of the entry.
    uint32_t ReadBits(unsigned n) {
        if (bitCount_ < n) {
            uint8_t byte = 0;
            while (bitCount_ <= 24 && ReadByte(byte) == 8) {
                bitBuffer_ |= static_cast<uint32_t>(byte) << bitCount_;
                bitCount_ += 8;
            }
            if (bitCount_ < n) {
                endOfInput_ = true;
                const uint32_t partial = bitBuffer_;
                bitBuffer_ = 0;
                bitCount_ = 0;
                return partial;
            }
        }
        const uint32_t value = bitBuffer_ & ((1u << n) - 1);
        bitBuffer_ >>= n;
        bitCount_ -= n;
        return value;
    }
    bool EndOfInput() const { return endOfInput_; }

    // ---- Output stage -------------------------------------------------

    uint8_t* OutWindow() { return window_.get(); }
    uint32_t OutCount() const { return outCount_; }
    void SetOutCount(uint32_t count) { outCount_ = std::min(count, kBlockSize); }

    void PutByte(uint8_t byte) {
        window_[outCount_++] = byte;
        if (outCount_ == kBlockSize) {
            Flush();
        }
    }

    void PutBytes(const uint8_t* data, size_t count) {
        while (count > 0) {
            const size_t room = kBlockSize - outCount_;
            const size_t n = std::min(room, count);
            std::memcpy(window_.get() + outCount_, data, n);
            outCount_ += static_cast<uint32_t>(n);
            data += n;
            count -= n;
            if (outCount_ == kBlockSize) {
                Flush();
            }
        }
    }

    // Passes the waiting output to the target and empties the window.
    void Flush() {
        const uint32_t n = outCount_;
        if (n == 0) {
            return;
        }
        outCount_ = 0;
        if (n > uncompressedSize_ - bytesWritten_) {
            throw EBiggerThanUncompressed(ZipStrings::LargerThanDeclared);
        }
        WriteOutput(window_.get(), n);
        crc_ = Update_CRC_buff(crc_, window_.get(), n);
        bytesWritten_ += n;
    }

    // ---- Deflate engine ------------------------------------------------

    IInflateEngine& InflateEngine() {
        if (!engine_) {
            engine_ = MakeInflateEngine();
        }
        return *engine_;
    }
    // Inflates with `engine` from now on (tests run both engines this way).
    void UseInflateEngine(std::unique_ptr<IInflateEngine> engine) { engine_ = std::move(engine); }

    // ---- Per-entry state ----------------------------------------------

    uint8_t* Scratch() { return scratch_.get(); }
    // Compressed bytes not yet taken by ReadByte (negative past the end).
    int64_t CompressedLeft() const { return compressedLeft_; }
    // Compressed bytes not yet read from the archive.
    int64_t Unread() const { return unread_; }
    int64_t UncompressedSize() const { return uncompressedSize_; }
    int64_t BytesWritten() const { return bytesWritten_; }
    // The running CRC register; the entry's CRC is its complement.
    uint32_t Crc() const { return crc_; }

  protected:
    virtual void HonourMessages() = 0;
    virtual void ReadArchive(uint8_t* dest, uint32_t count) = 0;
    virtual void DecryptInput(uint8_t* data, uint32_t count) = 0;
    virtual void DecryptStored(uint8_t* data, uint32_t count) = 0;
    virtual void WriteOutput(uint8_t* data, uint32_t count) = 0;

  private:
    std::unique_ptr<uint8_t[]> input_;
    std::unique_ptr<uint8_t[]> window_;
    std::unique_ptr<uint8_t[]> scratch_;
    std::unique_ptr<IInflateEngine> engine_;

    int64_t compressedLeft_ = 0;
    int64_t unread_ = 0;
    int64_t uncompressedSize_ = 0;
    int64_t bytesWritten_ = 0;
    uint8_t* inPos_ = nullptr;
    uint32_t inCount_ = 0;
    uint32_t outCount_ = 0;
    uint32_t crc_ = kCrcPreset;
    uint32_t bitBuffer_ = 0;
    unsigned bitCount_ = 0;
    bool endOfInput_ = false;
};
