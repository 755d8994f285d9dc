// Package trust from its parts: base64, minisign keys and signatures, the
// manifest's strict form, version order and the checked extraction target.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SecretKey.h"
#include "SignedPackage.h"
#include "package/Base64.h"
#include "package/CheckedSink.h"
#include "package/Manifest.h"
#include "package/Minisign.h"
#include "package/PackageErrors.h"
#include "platform/MemoryStream.h"
#include "workflow/PackageSteps.h"

namespace {

const std::string kManifest =
    "zuvo-package 1\n"
    "product zuvo-browser\n"
    "version 2.0.17\n"
    "file 9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08 4 Browser.exe\n"
    "file e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855 0 plugins/a b.txt\n";

const std::string kHash = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";

std::string Sign(const std::string& message, bool legacy = false,
                 const char* secretKey = kTrustedSecretKey) {
    return SignMinisign(ParseSecretKey(secretKey), message, "timestamp:1\tfile:x", legacy);
}

std::vector<TMinisignPublicKey> Trusted() { return {ParsePublicKey(kTrustedPublicKey)}; }

// The message of the refusal, or "" when the call went through.
template <typename Call>
std::string RefusalOf(Call call) {
    try {
        call();
    } catch (const EPackageRefused& e) {
        return e.Message();
    }
    return "";
}

}  // namespace

TEST(Base64, DecodesWhatItEncodesAtEveryPaddingLength) {
    for (const std::string text : {"", "a", "ab", "abc", "abcd", "\xff\x00\x7f"}) {
        const std::vector<uint8_t> bytes(text.begin(), text.end());
        EXPECT_EQ(DecodeBase64(EncodeBase64(bytes)), bytes) << text;
    }
    EXPECT_EQ(EncodeBase64({'a', 'b'}), "YWI=");
}

TEST(Base64, RefusesEverythingButCanonicalText) {
    for (const char* bad : {"YWI", "YW=I", "YWI=YWI=", "YW!=", "YWJ=", "Y===", "YWI=\n", " YWI"}) {
        EXPECT_NE(RefusalOf([&] { DecodeBase64(bad); }), "") << bad;
    }
}

TEST(MinisignKeys, ReadTheKeyLineAndTheWholeFile) {
    const TMinisignPublicKey line = ParsePublicKey(kTrustedPublicKey);
    const TMinisignPublicKey file =
        ParsePublicKey(std::string("untrusted comment: minisign public key 15E2EF53366D6737\n") +
                       kTrustedPublicKey + "\n");
    EXPECT_EQ(line.keyId, file.keyId);
    EXPECT_EQ(line.key, file.key);
    EXPECT_EQ(line.keyId[0], 0x37);  // the id is stored little-endian
    EXPECT_EQ(
        ParsePublicKeyList(std::string(" ") + kTrustedPublicKey + ";\n" + kOtherPublicKey + ";")
            .size(),
        2u);
    EXPECT_EQ(PublicKeyLine(ParseSecretKey(kTrustedSecretKey)), kTrustedPublicKey);
}

TEST(MinisignKeys, RefuseOtherAlgorithmsAndLengths) {
    std::string otherAlgorithm = kTrustedPublicKey;
    otherAlgorithm[1] = 'X';  // "Ed" becomes something else
    EXPECT_NE(RefusalOf([&] { ParsePublicKey(otherAlgorithm); }), "");
    EXPECT_NE(RefusalOf([&] { ParsePublicKey(std::string(kTrustedPublicKey).substr(4)); }), "");
    EXPECT_NE(RefusalOf([&] { ParsePublicKey("a\nb\nc"); }), "");
}

TEST(MinisignVerify, AcceptsPrehashedAndLegacySignatures) {
    for (const bool legacy : {false, true}) {
        EXPECT_EQ(VerifyMinisign(Trusted(), kManifest, Sign(kManifest, legacy)),
                  "timestamp:1\tfile:x");
    }
    EXPECT_EQ(ParseSignature(Sign(kManifest)).prehashed, true);
    EXPECT_EQ(ParseSignature(Sign(kManifest, true)).prehashed, false);
}

TEST(MinisignVerify, AnyOfSeveralKeysMayMatchByItsId) {
    const std::vector<TMinisignPublicKey> keys = {ParsePublicKey(kOtherPublicKey),
                                                  ParsePublicKey(kTrustedPublicKey)};
    EXPECT_NO_THROW(VerifyMinisign(keys, kManifest, Sign(kManifest)));
    EXPECT_NO_THROW(VerifyMinisign(keys, kManifest, Sign(kManifest, false, kOtherSecretKey)));
}

TEST(MinisignVerify, RefusesEveryForgery) {
    const std::string good = Sign(kManifest);
    EXPECT_NE(RefusalOf([&] { VerifyMinisign(Trusted(), kManifest + "x", good); }), "");
    EXPECT_NE(RefusalOf([&] { VerifyMinisign({}, kManifest, good); }), "");
    EXPECT_EQ(RefusalOf([&] {
                  VerifyMinisign(Trusted(), kManifest, Sign(kManifest, false, kOtherSecretKey));
              }),
              "the signature was made by a key this build does not trust");

    // The other key's signature under the trusted key's id.
    TMinisignSignature other = ParseSignature(Sign(kManifest, false, kOtherSecretKey));
    std::vector<uint8_t> line = {'E', 'D'};
    const TKeyId trustedId = ParsePublicKey(kTrustedPublicKey).keyId;
    line.insert(line.end(), trustedId.begin(), trustedId.end());
    line.insert(line.end(), other.signature.begin(), other.signature.end());
    std::string relabelled = good;
    const size_t lineStart = relabelled.find('\n') + 1;
    relabelled.replace(lineStart, relabelled.find('\n', lineStart) - lineStart, EncodeBase64(line));
    EXPECT_EQ(RefusalOf([&] { VerifyMinisign(Trusted(), kManifest, relabelled); }),
              "the signature does not match the signed file");

    // A changed trusted comment keeps the file signature but not the global one.
    std::string comment = good;
    comment.replace(comment.find("timestamp:1"), 11, "timestamp:2");
    EXPECT_EQ(RefusalOf([&] { VerifyMinisign(Trusted(), kManifest, comment); }),
              "the global signature does not match the trusted comment");

    // The prehashed signature presented as a legacy one.
    std::string algorithm = good;
    algorithm[algorithm.find("\nRUR") + 3] = 'W';
    EXPECT_NE(RefusalOf([&] { VerifyMinisign(Trusted(), kManifest, algorithm); }), "");
}

TEST(MinisignVerify, RefusesMalformedSignatureFiles) {
    const std::string good = Sign(kManifest);
    const size_t secondLine = good.find('\n') + 1;
    const std::vector<std::string> bad = {
        "",
        good.substr(secondLine),                      // three lines
        good + "extra\n",                             // five lines
        "comment: x" + good.substr(good.find('\n')),  // no untrusted comment
        good.substr(0, good.find("trusted comment: ", secondLine)) + "comment: x" +
            good.substr(good.find('\n', good.find("trusted comment: ", secondLine))),
        good.substr(0, good.rfind('=')) + "A=\n",  // padding inside the global signature
    };
    for (const std::string& text : bad) {
        EXPECT_NE(RefusalOf([&] { VerifyMinisign(Trusted(), kManifest, text); }), "") << text;
    }
}

TEST(Manifest, ReadsTheCanonicalFormAndWritesItBack) {
    const TPackageManifest manifest = ParseManifest(kManifest);
    EXPECT_EQ(manifest.product, "zuvo-browser");
    EXPECT_EQ(manifest.version, "2.0.17");
    ASSERT_EQ(manifest.files.size(), 2u);
    EXPECT_EQ(manifest.files[0].size, 4u);
    EXPECT_EQ(manifest.files[1].path, "plugins/a b.txt");
    ASSERT_NE(manifest.Find("Browser.exe"), nullptr);
    EXPECT_EQ(manifest.Find("browser.exe"), nullptr);
    EXPECT_EQ(FormatManifest(manifest), kManifest);
}

TEST(Manifest, RefusesEveryLooseForm) {
    const std::string head = "zuvo-package 1\nproduct zuvo-browser\nversion 2.0\n";
    const std::string file = "file " + kHash + " 4 ";
    const std::vector<std::pair<const char*, std::string>> bad = {
        {"CRLF line ends",
         "zuvo-package 1\r\nproduct zuvo-browser\r\nversion 2.0\r\n" + file + "Browser.exe\r\n"},
        {"no final line end", head + file + "Browser.exe"},
        {"another format version", "zuvo-package 2\nproduct p\nversion 1\n" + file + "a\n"},
        {"no header", "product zuvo-browser\nversion 2.0\n" + file + "Browser.exe\n"},
        {"an empty line", head + "\n" + file + "Browser.exe\n"},
        {"an unknown line", head + file + "Browser.exe\nsigner me\n"},
        {"a file twice", head + file + "Browser.exe\n" + file + "Browser.exe\n"},
        {"a second product", head + "product other\n" + file + "Browser.exe\n"},
        {"a second version", head + "version 3.0\n" + file + "Browser.exe\n"},
        {"no version", "zuvo-package 1\nproduct p\n" + file + "Browser.exe\n"},
        {"no product", "zuvo-package 1\nversion 1\n" + file + "Browser.exe\n"},
        {"no file", head},
        {"an absolute path", head + file + "/etc/passwd\n"},
        {"a parent part", head + file + "plugins/../../Browser.exe\n"},
        {"a dot part", head + file + "./Browser.exe\n"},
        {"an empty part", head + file + "plugins//a\n"},
        {"a trailing slash", head + file + "plugins/\n"},
        {"a backslash", head + file + "plugins\\a\n"},
        {"a control character", head + file + "a\tb\n"},
        {"an empty path", head + file + "\n"},
        {"the manifest itself", head + file + "zuvo-package.txt\n"},
        {"upper-case hex", head + "file " + std::string(64, 'A') + " 4 Browser.exe\n"},
        {"a short hash", head + "file " + kHash.substr(1) + " 4 Browser.exe\n"},
        {"a size with a sign", head + "file " + kHash + " +4 Browser.exe\n"},
        {"a size with a leading zero", head + "file " + kHash + " 04 Browser.exe\n"},
        {"a size beyond any package", head + "file " + kHash + " 999999999999999 Browser.exe\n"},
        {"no path", head + "file " + kHash + " 4\n"},
        {"a version with letters", "zuvo-package 1\nproduct p\nversion 2.0b\n" + file + "a\n"},
        {"a version with a space", "zuvo-package 1\nproduct p\nversion 2 0\n" + file + "a\n"},
    };
    for (const auto& [fault, text] : bad) {
        EXPECT_NE(RefusalOf([&] { ParseManifest(text); }), "") << fault;
    }
}

TEST(Versions, CompareNumericallyPartByPart) {
    EXPECT_GT(CompareVersions("2.0.17", "2.0.9"), 0);
    EXPECT_GT(CompareVersions("10.0", "9.99.99"), 0);
    EXPECT_LT(CompareVersions("2.0", "2.0.1"), 0);
    EXPECT_EQ(CompareVersions("2.0", "2.0.0"), 0);
    EXPECT_EQ(CompareVersions("002.1", "2.1"), 0);
    EXPECT_GT(CompareVersions("999999999", "999999998.9"), 0);
    for (const char* bad : {"", "2..0", ".2", "2.", "v2", "2.0-rc1", "1234567890"}) {
        EXPECT_NE(RefusalOf([&] { CompareVersions(bad, "1"); }), "") << bad;
    }
}

TEST(CheckedSink, PassesExactlyTheListedBytesAndChecksTheirHash) {
    TMemoryStream exact;
    TCheckedSink sink(exact, 4);
    sink.WriteBuffer("te", 2);
    sink.WriteBuffer("st", 2);
    EXPECT_TRUE(sink.Matches(kHash));  // SHA-256 of "test"
    EXPECT_EQ(exact.Size(), 4);

    TMemoryStream longer;
    TCheckedSink overflowing(longer, 4);
    EXPECT_EQ(overflowing.Write("testing", 7), 4);
    EXPECT_TRUE(overflowing.Overflowed());
    EXPECT_EQ(longer.Size(), 4) << "nothing beyond the listed size reaches the target";
    EXPECT_FALSE(overflowing.Matches(kHash));

    TMemoryStream shorter;
    TCheckedSink tooShort(shorter, 4);
    tooShort.WriteBuffer("tes", 3);
    EXPECT_FALSE(tooShort.Matches(kHash));

    TMemoryStream other;
    TCheckedSink otherBytes(other, 4);
    otherBytes.WriteBuffer("TEST", 4);
    EXPECT_FALSE(otherBytes.Matches(kHash));
    EXPECT_THROW(otherBytes.Seek(0, TSeekOrigin::soBeginning), EStreamError);
}

// The keys this build was configured with are what an installation uses by
// default; a key line the parser refuses would refuse every package.
TEST(BuildKeys, TheBuildsOwnKeysParse) {
    const std::string keys = TPackageSteps().PackageKeys;
    EXPECT_EQ(keys, ZUVO_PACKAGE_PUBLIC_KEYS);
    EXPECT_NO_THROW(ParsePublicKeyList(keys));
}
