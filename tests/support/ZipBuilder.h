#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes small, well-formed zip archives for tests: local headers, data,
// central directory and end record, with stored or deflated entries.
class ZipBuilder {
  public:
    struct Entry {
        std::string name;
        std::string data;
        bool deflate = false;
        uint32_t unixMode = 0;  // permission bits; 0 makes a DOS-host entry
        bool breakCrc = false;  // store a wrong CRC to provoke a check failure
    };

    ZipBuilder& Add(Entry entry);
    ZipBuilder& Add(const std::string& name, const std::string& data, bool deflate = false);

    // The archive's bytes.
    std::string Build() const;

  private:
    std::vector<Entry> entries_;
};

std::string DeflateRaw(const std::string& data);
