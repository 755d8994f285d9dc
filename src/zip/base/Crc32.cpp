#include "zip/base/Crc32.h"

#include <zlib.h>

#ifdef ZUVO_HAVE_ISAL
#include <isa-l/crc.h>
#endif

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
    // Both libraries keep the CRC in its finished (complemented) form.
#ifdef ZUVO_HAVE_ISAL
    // ISA-L folds with the carry-less multiply: several times zlib's speed
    // on the 32 KB blocks of an extraction.
    return ~crc32_gzip_refl(~c, buffer, count);
#else
    return ~static_cast<uint32_t>(crc32_z(~c & 0xFFFFFFFFu, buffer, count));
#endif
}

uint32_t Crc32Of(const uint8_t* buffer, size_t count) {
    return ~Update_CRC_buff(kCrcPreset, buffer, count);
}
