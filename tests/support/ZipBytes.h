#pragma once

#include <cstdint>
#include <string>

// Little-endian fields as zip records hold them, appended to `out`.
void Put16(std::string& out, uint32_t v);
void Put32(std::string& out, uint32_t v);
void Put64(std::string& out, uint64_t v);

// Appends the directory, then an end record for one disk without a comment
// that points at it.
void AppendDirectoryAndEnd(std::string& out, const std::string& central, uint32_t entries);
