#include "zip/base/Crc32.h"

#include <zlib.h>

namespace {

// zlib's own table, so the byte step and the block routine cannot disagree.
const z_crc_t* CrcTable() {
    static const z_crc_t* const table = get_crc_table();
    return table;
}

}  // namespace

uint32_t UpdCRC(uint8_t b, uint32_t c) {
    return static_cast<uint32_t>(CrcTable()[(c ^ b) & 0xFFu]) ^ (c >> 8);
}

uint32_t Update_CRC_buff(uint32_t c, const uint8_t* buffer, size_t count) {
    // zlib keeps the CRC in its finished (complemented) form.
    return ~static_cast<uint32_t>(crc32_z(~c & 0xFFFFFFFFu, buffer, count));
}

uint32_t Crc32Of(const uint8_t* buffer, size_t count) {
    return ~Update_CRC_buff(kCrcPreset, buffer, count);
}
