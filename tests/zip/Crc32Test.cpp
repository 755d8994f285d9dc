#include <gtest/gtest.h>

#include "DecoderTestSupport.h"
#include "zip/base/Crc32.h"

// The published check value catches a wrong polynomial, preset or final
// complement.
TEST(Crc32, CheckValueOfTheStandard) {
    const std::string digits = "123456789";
    EXPECT_EQ(Crc32Of(reinterpret_cast<const uint8_t*>(digits.data()), digits.size()), 0xCBF43926u);
    EXPECT_EQ(Crc32Of(nullptr, 0), 0u);
}

// The byte step (used by the cipher) and the block routine (used for
// entries) must run the same register, also when a block is split.
TEST(Crc32, ByteStepAndBlocksAgree) {
    const std::string data = PseudoRandomBytes(70000, 7);
    const auto* bytes = reinterpret_cast<const uint8_t*>(data.data());
    uint32_t stepped = kCrcPreset;
    for (const char ch : data) {
        stepped = UpdCRC(static_cast<uint8_t>(ch), stepped);
    }
    uint32_t blocks = kCrcPreset;
    blocks = Update_CRC_buff(blocks, bytes, 32768);
    blocks = Update_CRC_buff(blocks, bytes + 32768, data.size() - 32768);
    EXPECT_EQ(stepped, blocks);
    EXPECT_EQ(~stepped, Crc32Of(bytes, data.size()));
}
