#pragma once

#include <cstddef>
#include <cstdint>

// The zip standard's CRC-32 (reflected polynomial 0xEDB88320). The functions
// work on the running register: it starts at kCrcPreset for each entry and
// the entry's CRC is its complement.
inline constexpr uint32_t kCrcPreset = 0xFFFFFFFFu;

// The register after one more byte: table[(c xor b) and 0xFF] xor (c shr 8).
// The traditional cipher's key schedule runs on this step.
uint32_t UpdCRC(uint8_t b, uint32_t c);

// The register after a whole block, through ISA-L's CRC routine where the
// build has it, else zlib's crc32 (both fast for large blocks).
uint32_t Update_CRC_buff(uint32_t c, const uint8_t* buffer, size_t count);

// The finished CRC of a byte range (preset, run, complement).
uint32_t Crc32Of(const uint8_t* buffer, size_t count);
