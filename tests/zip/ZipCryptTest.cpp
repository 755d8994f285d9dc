#include <gtest/gtest.h>

#include "DecoderTestSupport.h"
#include "platform/MemoryStream.h"
#include "zip/codec/Inflate.h"
#include "zip/codec/ZipCrypt.h"

TEST(ZipCrypt, EmptyPasswordLeavesTheInitialKeys) {
    TZipCrypt cipher;
    cipher.Init_Keys("");
    EXPECT_EQ(cipher.Key(0), 0x12345678u);
    EXPECT_EQ(cipher.Key(1), 0x23456789u);
    EXPECT_EQ(cipher.Key(2), 0x34567890u);
}

// The key state must run on across calls, or block-wise decryption of an
// entry would differ from decrypting it at once.
TEST(ZipCrypt, TwoHalvesEqualOneCall) {
    const std::string cipherText = PseudoRandomBytes(1001, 3);
    std::string whole = cipherText;
    std::string halves = cipherText;
    TZipCrypt a;
    TZipCrypt b;
    a.Init_Keys("secret");
    b.Init_Keys("secret");
    a.decrypt_buff(reinterpret_cast<uint8_t*>(whole.data()), whole.size());
    b.decrypt_buff(reinterpret_cast<uint8_t*>(halves.data()), 500);
    b.decrypt_buff(reinterpret_cast<uint8_t*>(halves.data()) + 500, 501);
    EXPECT_EQ(whole, halves);
    EXPECT_NE(whole, cipherText);
}

TEST(ZipCrypt, HeaderCheckAndDataRoundTrip) {
    const std::string sealed = EncryptTraditional("pw", "hello, world", 0xAB);
    TZipCrypt cipher;
    EXPECT_EQ(cipher.DecryptHeaderByteByPtr("pw", sealed.data()), 0xAB);
    std::string body = sealed.substr(TZipCrypt::kHeaderSize);
    cipher.decrypt_buff(reinterpret_cast<uint8_t*>(body.data()), body.size());
    EXPECT_EQ(body, "hello, world");
    // A wrong password gives another check byte for this header.
    EXPECT_NE(cipher.DecryptHeaderByteByPtr("pW", sealed.data()), 0xAB);
}

// An entry with a data descriptor is checked against its time's high byte,
// an entry without one against its CRC's.
TEST(ZipCrypt, CheckByteSource) {
    EXPECT_EQ(PasswordCheckByte(0x0009, 0x5A3B1C2Du, 0x11223344u), 0x1C);
    EXPECT_EQ(PasswordCheckByte(0x0001, 0x5A3B1C2Du, 0x11223344u), 0x11);
}

TEST(ZipCrypt, HeaderFromStreamAndShortStream) {
    const std::string sealed = EncryptTraditional("k", "x", 0x42);
    TMemoryStream stream;
    stream.WriteBuffer(sealed.data(), static_cast<int64_t>(sealed.size()));
    stream.SetPosition(0);
    TZipCrypt cipher;
    EXPECT_EQ(cipher.DecryptTheHeader("k", stream), 0x42);
    EXPECT_EQ(stream.Position(), 12);
    TMemoryStream shortStream;
    shortStream.WriteBuffer(sealed.data(), 5);
    shortStream.SetPosition(0);
    EXPECT_THROW(cipher.DecryptTheHeader("k", shortStream), EReadError);
}

TEST(ZipCrypt, WipeClearsTheKeys) {
    TZipCrypt cipher;
    cipher.Init_Keys("secret");
    cipher.Wipe();
    EXPECT_EQ(cipher.Key(0) | cipher.Key(1) | cipher.Key(2), 0u);
}

// An encrypted stored entry with an empty password decrypts with the keys
// of the empty password, like every other method (the stages' contract).
TEST(ZipCrypt, StoredEntryWithEmptyPasswordIsDecrypted) {
    const std::string plain = PseudoRandomBytes(40000, 9);
    const std::string sealed = EncryptTraditional("", plain, 0x00);
    TZipCrypt cipher;
    ASSERT_EQ(cipher.DecryptHeaderByteByPtr("", sealed.data()), 0x00);
    TMemoryStages stages;
    stages.cipher = &cipher;
    stages.Begin(sealed.substr(12), static_cast<int64_t>(plain.size()));
    UnStore(stages);
    EXPECT_EQ(stages.output, plain);
}

// Every traditionally encrypted archive with a method of ours decodes with
// its password: stored entries decrypted in the output window, deflated
// ones in the input buffer, both across many 32 KB blocks (the WinRAR sets).
TEST(ZipCrypt, RealArchivesWithTheirPasswords) {
    const std::vector<std::pair<std::string, std::string>> archives = {
        {"crypto/zipcrypto_stored_dd.zip", "a"},
        {"crypto/zipcrypto_deflated_dd.zip", "a"},
        {"crypto/zipcrypto_stored_8files.zip", "test"},
        {"crypto/zipcrypto_deflated_nodd.zip", "12345678"},
        {"crypto/zipcrypto_deflated_dd_2files.zip", "12345678"},
        {"crypto/zipcrypto_stored_dd_2files.zip", "pass1"},
        {"crypto/zipcrypto_mixed_plain_encrypted.zip", "foo"},
        {"crypto/zipcrypto_deflated_dd_libzip.zip", "1234"},
        {"crypto/zipcrypto_empty_entry.zip", "1"},
        {"crypto/zipcrypto_noentropy_mtime.zip", "no-entropy"},
        {"crypto/zipcrypto_zip64_sizes_only.zip", "Shu1an@2019GTS"},
        {"crypto/zipcrypto_winrar_stored_large.zip", "1"},
        {"crypto/zipcrypto_winrar_deflated_large.zip", "1"},
    };
    int checked = 0;
    for (const auto& [archive, password] : archives) {
        checked += ExpectEntriesDecode(
            archive, [](int method) { return method == 0 || method == 8; }, password);
    }
    EXPECT_EQ(checked, 31);
}

// A wrong password is caught by the header check (or, by chance, the CRC).
TEST(ZipCrypt, WrongPasswordIsRefused) {
    for (const TLocalEntry& entry : ReadLocalEntries("crypto/zipcrypto_stored_8files.zip")) {
        const TDecodeOutcome outcome = DecodeEntry(entry, "wrong");
        EXPECT_TRUE(!outcome.passwordAccepted || outcome.crc32 != entry.crc32) << entry.name;
    }
}
