#include "zip/codec/ZipCrypt.h"

#include <algorithm>

#include "platform/Stream.h"
#include "zip/base/Crc32.h"

void SecureWipe(void* data, size_t count) {
    volatile auto* p = static_cast<volatile uint8_t*>(data);
    for (size_t i = 0; i < count; ++i) {
        p[i] = 0;
    }
}

void TZipCrypt::Init_Keys(const std::string& password) {
    keys_ = {0x12345678u, 0x23456789u, 0x34567890u};
    for (const char ch : password) {
        update_keys(static_cast<uint8_t>(ch));
    }
}

void TZipCrypt::update_keys(uint8_t c) {
    keys_[0] = UpdCRC(c, keys_[0]);
    keys_[1] = (keys_[1] + (keys_[0] & 0xFFu)) * 134775813u + 1u;
    keys_[2] = UpdCRC(static_cast<uint8_t>(keys_[1] >> 24), keys_[2]);
}

uint8_t TZipCrypt::decrypt_byte() const {
    // Format note: computed in 16 bits; only bits 8 to 15 of the product
    // survive, so the wider product here gives the same byte.
    const uint32_t t = (keys_[2] & 0xFFFFu) | 2u;
    return static_cast<uint8_t>(((t * (t ^ 1u)) >> 8) & 0xFFu);
}

void TZipCrypt::decrypt_buff(uint8_t* buffer, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const auto plain = static_cast<uint8_t>(buffer[i] ^ decrypt_byte());
        buffer[i] = plain;
        update_keys(plain);
    }
}

uint8_t TZipCrypt::DecryptHeaderByte(const std::string& password,
                                     const std::array<uint8_t, kHeaderSize>& header) {
    std::array<uint8_t, kHeaderSize> copy = header;
    Init_Keys(password);
    decrypt_buff(copy.data(), copy.size());
    const uint8_t last = copy[kHeaderSize - 1];
    SecureWipe(copy.data(), copy.size());
    return last;
}

uint8_t TZipCrypt::DecryptHeaderByteByPtr(const std::string& password, const void* header) {
    std::array<uint8_t, kHeaderSize> copy{};
    const auto* bytes = static_cast<const uint8_t*>(header);
    std::copy(bytes, bytes + kHeaderSize, copy.begin());
    const uint8_t last = DecryptHeaderByte(password, copy);
    SecureWipe(copy.data(), copy.size());
    return last;
}

uint8_t TZipCrypt::DecryptTheHeader(const std::string& password, TStream& stream) {
    std::array<uint8_t, kHeaderSize> header{};
    stream.ReadBuffer(header.data(), kHeaderSize);
    return DecryptHeaderByte(password, header);
}

void TZipCrypt::Wipe() { SecureWipe(keys_.data(), sizeof(keys_)); }

uint8_t PasswordCheckByte(uint16_t generalPurposeFlags, uint32_t dosDateTime, uint32_t crc32) {
    constexpr uint16_t kHasDescriptor = 0x0008;
    if ((generalPurposeFlags & kHasDescriptor) != 0) {
        return static_cast<uint8_t>((dosDateTime >> 8) & 0xFFu);
    }
    return static_cast<uint8_t>(crc32 >> 24);
}
