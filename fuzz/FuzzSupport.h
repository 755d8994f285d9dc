#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/MemoryStream.h"
#include "zip/codec/EntryStages.h"
#include "zip/codec/ZipCrypt.h"

// Helpers shared by the fuzz targets. None of them may hide a fault: they
// only feed bytes in and swallow the errors the libraries are allowed to
// raise for bad input (descendants of the runtime's Exception).

// Installs hooks that answer every message box with its cancel button (or
// the only one) and pump nothing, so no target ever waits for a person.
void InstallQuietHooks();

// The file name under which targets that let the component open the archive
// itself write the input, relative to the working directory.
inline constexpr const char* kArchiveFile = "fuzz-archive.zip";

// Writes the whole input to `kArchiveFile`; false if any step fails.
bool WriteArchiveFile(const uint8_t* data, size_t size);

// Fills `stream` with `size` bytes of input and rewinds it.
void LoadStream(TMemoryStream& stream, const void* data, size_t size);

// Takes bytes off the front of the fuzz input; past the end it hands out
// zeros and empty spans, never reading outside the input.
class TInputCursor {
  public:
    TInputCursor(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    uint8_t Byte();
    uint32_t Le32();
    // Up to `count` bytes (fewer at the end of the input).
    std::string Bytes(size_t count);
    std::string Rest();
    size_t Left() const { return size_ - pos_; }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// Per-entry stages over compressed bytes held in memory. The output goes
// nowhere but into the CRC and a byte count, so any declared size can be
// decoded without holding it; reads past the data raise the driver's
// premature-end error, as a short archive does.
class TFuzzStages : public TEntryStages {
  public:
    void Begin(std::string data, int64_t declaredCompressed, int64_t uncompressedSize);
    TZipCrypt* cipher = nullptr;
    int64_t written = 0;

  protected:
    void HonourMessages() override {}
    void ReadArchive(uint8_t* dest, uint32_t count) override;
    void DecryptInput(uint8_t* data, uint32_t count) override;
    void DecryptStored(uint8_t* data, uint32_t count) override;
    void WriteOutput(uint8_t* data, uint32_t count) override;

  private:
    std::string data_;
    size_t pos_ = 0;
};
