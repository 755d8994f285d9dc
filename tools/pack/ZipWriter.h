#pragma once

#include <cstdint>
#include <string>

// Writes a zip archive into memory, one entry after the other: local
// header, data, and at the end the central directory. Entries carry a Unix
// "version made by" and their permission bits in the external attributes,
// so unzip tools on Unix restore the modes. No zip64: an archive or entry
// of 4 GiB or more is refused.
class TZipWriter {
  public:
    enum class TMethod { Stored, Deflated };

    // `mode` is the permission part of a regular file's mode (e.g. 0755).
    void Add(const std::string& name, const std::string& data, uint32_t mode, TMethod method);
    // The whole archive; the writer is spent after it.
    std::string Finish();

  private:
    std::string out_;
    std::string central_;
    uint32_t count_ = 0;
};
