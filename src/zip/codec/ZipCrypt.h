#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

class TStream;

// Overwrites key or password material so that it does not linger in freed
// memory; the compiler may not drop these stores.
void SecureWipe(void* data, size_t count);

// The traditional PKWARE stream cipher ("ZipCrypto"). One key state per
// entry: the header check sets it up from the password, and the entry's data
// is then decrypted as one stream, block after block, with the state running
// on across calls. The keys are wiped by Wipe() and by the destructor.
class TZipCrypt {
  public:
    static constexpr size_t kHeaderSize = 12;

    TZipCrypt() { Init_Keys(std::string()); }
    ~TZipCrypt() { Wipe(); }
    TZipCrypt(const TZipCrypt&) = delete;
    TZipCrypt& operator=(const TZipCrypt&) = delete;

    // Sets the keys from a password (its bytes as stored; empty allowed).
    void Init_Keys(const std::string& password);
    // Advances the keys by one plaintext byte.
    void update_keys(uint8_t c);
    // The next keystream byte; the state does not change.
    uint8_t decrypt_byte() const;
    // Decrypts `count` bytes in place, continuing the stream.
    void decrypt_buff(uint8_t* buffer, size_t count);

    // Initialises the keys from `password`, decrypts a copy of the 12-byte
    // encryption header and returns its last plaintext byte; the keys are
    // then ready for the entry's data.
    uint8_t DecryptHeaderByte(const std::string& password,
                              const std::array<uint8_t, kHeaderSize>& header);
    // The same for 12 bytes at `header` (copied first).
    uint8_t DecryptHeaderByteByPtr(const std::string& password, const void* header);
    // Reads the 12-byte header from `stream` (EReadError when it is short)
    // and returns DecryptHeaderByte of it.
    uint8_t DecryptTheHeader(const std::string& password, TStream& stream);

    // Sets the keys to zero; Init_Keys must run before further use.
    void Wipe();

    uint32_t Key(int index) const { return keys_[static_cast<size_t>(index)]; }

  private:
    std::array<uint32_t, 3> keys_{};
};

// The byte that the last decrypted header byte must equal: the high byte of
// the DOS time for an entry with a data descriptor (flag bit 3), else the
// high byte of the CRC.
uint8_t PasswordCheckByte(uint16_t generalPurposeFlags, uint32_t dosDateTime, uint32_t crc32);
