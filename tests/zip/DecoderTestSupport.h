#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "zip/codec/EntryStages.h"
#include "zip/codec/ZipCrypt.h"

// Per-entry stages over bytes in memory, recording what the decoders ask of
// them: every archive read, every block written, every message pump.
class TMemoryStages : public TEntryStages {
  public:
    // Starts an entry whose compressed data is `data`. `declaredSize` is the
    // compressed size the entry claims (reads past `data` raise the
    // premature-end error); -1 means data.size().
    void Begin(std::string data, int64_t uncompressedSize, int64_t declaredSize = -1);

    std::string output;
    std::vector<uint32_t> reads;   // sizes of ReadArchive calls
    std::vector<uint32_t> writes;  // sizes of WriteOutput calls
    int pumps = 0;
    std::function<void()> onPump;  // e.g. raise a cancel
    TZipCrypt* cipher = nullptr;   // decrypts input and stored blocks when set
    uint32_t Crc32() const { return ~Crc(); }

  protected:
    void HonourMessages() override;
    void ReadArchive(uint8_t* dest, uint32_t count) override;
    void DecryptInput(uint8_t* data, uint32_t count) override;
    void DecryptStored(uint8_t* data, uint32_t count) override;
    void WriteOutput(uint8_t* data, uint32_t count) override;

  private:
    std::string data_;
    size_t pos_ = 0;
};

// One entry found by walking an archive's local headers front to back.
// Sizes and CRC come from expected.tsv, since entries with a data descriptor
// leave them out of the local header.
struct TLocalEntry {
    std::string name;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint32_t dosDateTime = 0;
    uint32_t crc32 = 0;
    int64_t compressedSize = 0;
    int64_t uncompressedSize = 0;
    std::string data;  // compressed data, with any 12-byte encryption header
};

// Runs `decode` over `data`, an entry of `uncompressedSize` bytes, expects it
// to end with `expected` and returns what it wrote.
std::string DecodeOutput(const std::string& data, int64_t uncompressedSize, TDecodeResult expected,
                         const std::function<TDecodeResult(TMemoryStages&)>& decode);

std::string TestDataPath(const std::string& relative);
std::string ReadWholeFile(const std::string& path);
// `archive` is relative to the zip test data folder, e.g. "legacy/x.zip".
std::vector<TLocalEntry> ReadLocalEntries(const std::string& archive);

struct TDecodeOutcome {
    bool passwordAccepted = true;
    TDecodeResult result = TDecodeResult::Complete;
    uint32_t crc32 = 0;
    std::string output;
};

// Runs the method's decoder over one entry (after the header check when the
// entry is encrypted), as the extraction driver will.
TDecodeOutcome DecodeEntry(const TLocalEntry& entry, const std::string& password = {});

// Writes bits least significant first, as shrunk, reduced and imploded data
// hold them.
class TBitWriter {
  public:
    void Put(uint32_t value, unsigned bits);
    // Writes a code most significant bit first (Huffman-style codes).
    void PutCodeMsbFirst(uint32_t code, unsigned bits);
    std::string Bytes() const;

  private:
    std::string bytes_;
    uint32_t buffer_ = 0;
    unsigned count_ = 0;
};

// Encrypts like the traditional cipher's writers do: 12 header bytes whose
// last one is `checkByte`, then `plain`.
std::string EncryptTraditional(const std::string& password, const std::string& plain,
                               uint8_t checkByte);

// Raw deflate (or zlib format) of `data` at the given level.
std::string Deflate(const std::string& data, bool raw = true, int level = 6);

// Reproducible incompressible bytes.
std::string PseudoRandomBytes(size_t count, uint32_t seed);

// Decodes every entry of `archive` whose method `accepts`, comparing each CRC
// with expected.tsv; returns how many entries were checked.
int ExpectEntriesDecode(const std::string& archive, const std::function<bool(int method)>& accepts,
                        const std::string& password = {});

// Up to six real entries of one legacy method.
std::vector<TLocalEntry> LegacySamples(int method);

// The legacy test archives.
const std::vector<std::string>& LegacyArchives();

// ExpectEntriesDecode over every legacy archive; the entries checked.
int ExpectLegacyEntriesDecode(const std::function<bool(int method)>& accepts);

// Feeds damaged copies of real entries (bytes flipped, cut short) and pure
// noise to `decode`, over stages that accept any amount of output. A decoder
// must end every one of them; the sanitizer build checks every access.
void ExpectSurvivesDamage(const std::vector<TLocalEntry>& samples,
                          const std::function<void(TMemoryStages&, const TLocalEntry&)>& decode);
