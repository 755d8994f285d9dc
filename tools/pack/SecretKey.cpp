#include "SecretKey.h"

#include <gcrypt.h>

#include <algorithm>

#include "package/Base64.h"
#include "package/Crypto.h"
#include "package/PackageErrors.h"
#include "platform/ScopeExit.h"

namespace {

// Offsets in the decoded key: "Ed", KDF algorithm, checksum algorithm,
// salt (32), opslimit (8), memlimit (8), then key id, secret key (seed and
// public key) and checksum.
constexpr size_t kKdfAt = 2;
constexpr size_t kChecksumAlgAt = 4;
constexpr size_t kKeyIdAt = 54;
constexpr size_t kSecretAt = 62;
constexpr size_t kChecksumAt = 126;
constexpr size_t kKeySize = 158;

void Wipe(std::vector<uint8_t>& bytes) {
    volatile uint8_t* p = bytes.data();
    for (size_t i = 0; i < bytes.size(); ++i) {
        p[i] = 0;
    }
}

std::vector<uint8_t> DecodeKeyFile(std::string_view text) {
    const size_t lineEnd = text.find('\n');
    if (text.substr(0, 18) != "untrusted comment:" || lineEnd == std::string_view::npos) {
        throw EPackageRefused("a secret key file without its comment line");
    }
    std::string_view line = text.substr(lineEnd + 1);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    std::vector<uint8_t> bytes = DecodeBase64(line);
    if (bytes.size() != kKeySize || bytes[0] != 'E' || bytes[1] != 'd' ||
        bytes[kChecksumAlgAt] != 'B' || bytes[kChecksumAlgAt + 1] != '2') {
        Wipe(bytes);
        throw EPackageRefused("not a minisign Ed25519 secret key");
    }
    return bytes;
}

std::vector<uint8_t> Part(const std::vector<uint8_t>& bytes, size_t at, size_t count) {
    return std::vector<uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                bytes.begin() + static_cast<std::ptrdiff_t>(at + count));
}

std::vector<uint8_t> TokenBytes(gcry_sexp_t sexp, const char* name) {
    gcry_sexp_t token = gcry_sexp_find_token(sexp, name, 0);
    const ScopeExit release([token] { gcry_sexp_release(token); });
    size_t length = 0;
    const char* data = token ? gcry_sexp_nth_data(token, 1, &length) : nullptr;
    if (data == nullptr || length != 32) {
        throw EPackageRefused("libgcrypt returned a signature of an unexpected shape");
    }
    return std::vector<uint8_t>(data, data + length);
}

std::vector<uint8_t> Ed25519Sign(const TMinisignSecretKey& key, std::string_view message) {
    InitCrypto();
    gcry_sexp_t secret = nullptr;
    gcry_sexp_t data = nullptr;
    gcry_sexp_t signature = nullptr;
    const ScopeExit release([&] {
        gcry_sexp_release(secret);
        gcry_sexp_release(data);
        gcry_sexp_release(signature);
    });
    if (gcry_sexp_build(&secret, nullptr,
                        "(private-key (ecc (curve Ed25519) (flags eddsa) (q %b) (d %b)))", 32,
                        key.publicKey.data(), 32, key.seed.data()) != 0 ||
        gcry_sexp_build(&data, nullptr, "(data (flags eddsa) (hash-algo sha512) (value %b))",
                        static_cast<int>(message.size()), message.data()) != 0 ||
        gcry_pk_sign(&signature, data, secret) != 0) {
        throw EPackageRefused("libgcrypt could not sign");
    }
    std::vector<uint8_t> out = TokenBytes(signature, "r");
    const std::vector<uint8_t> s = TokenBytes(signature, "s");
    out.insert(out.end(), s.begin(), s.end());
    // A key file whose two halves do not belong together signs what its
    // own public key rejects; better to say so here than in the field.
    if (!Ed25519Verify(key.publicKey, message, out)) {
        throw EPackageRefused("the secret key does not match its public half");
    }
    return out;
}

}  // namespace

TMinisignSecretKey::~TMinisignSecretKey() { Wipe(seed); }

bool SecretKeyHasPassword(std::string_view fileText) {
    std::vector<uint8_t> bytes = DecodeKeyFile(fileText);
    const bool protectedKey = bytes[kKdfAt] != 0 || bytes[kKdfAt + 1] != 0;
    Wipe(bytes);
    return protectedKey;
}

TMinisignSecretKey ParseSecretKey(std::string_view fileText) {
    std::vector<uint8_t> bytes = DecodeKeyFile(fileText);
    const ScopeExit wipe([&bytes] { Wipe(bytes); });
    if (bytes[kKdfAt] != 0 || bytes[kKdfAt + 1] != 0) {
        throw EPackageRefused("the secret key has a password");
    }
    // The checksum covers "Ed", the key id and the secret key.
    std::vector<uint8_t> covered = Part(bytes, 0, 2);
    const std::vector<uint8_t> idAndSecret = Part(bytes, kKeyIdAt, 8 + 64);
    covered.insert(covered.end(), idAndSecret.begin(), idAndSecret.end());
    const std::vector<uint8_t> checksum =
        Digest(THashKind::Blake2b256,
               std::string_view(reinterpret_cast<const char*>(covered.data()), covered.size()));
    Wipe(covered);
    // minisign -W leaves the checksum of a key without password zero.
    const std::vector<uint8_t> stored = Part(bytes, kChecksumAt, 32);
    const bool noChecksum =
        std::all_of(stored.begin(), stored.end(), [](uint8_t b) { return b == 0; });
    if (!noChecksum && checksum != stored) {
        throw EPackageRefused("the secret key's checksum does not match");
    }
    TMinisignSecretKey key;
    std::copy_n(bytes.begin() + kKeyIdAt, key.keyId.size(), key.keyId.begin());
    key.seed = Part(bytes, kSecretAt, 32);
    key.publicKey = Part(bytes, kSecretAt + 32, 32);
    return key;
}

std::string SignMinisign(const TMinisignSecretKey& key, std::string_view message,
                         const std::string& trustedComment, bool legacy) {
    std::string signedBytes;
    if (legacy) {
        signedBytes.assign(message);
    } else {
        const std::vector<uint8_t> hash = Digest(THashKind::Blake2b512, message);
        signedBytes.assign(hash.begin(), hash.end());
    }
    const std::vector<uint8_t> signature = Ed25519Sign(key, signedBytes);
    std::vector<uint8_t> line = {'E', static_cast<uint8_t>(legacy ? 'd' : 'D')};
    line.insert(line.end(), key.keyId.begin(), key.keyId.end());
    line.insert(line.end(), signature.begin(), signature.end());
    std::string global(signature.begin(), signature.end());
    global += trustedComment;
    return "untrusted comment: signature from zuvo-pack\n" + EncodeBase64(line) +
           "\ntrusted comment: " + trustedComment + "\n" + EncodeBase64(Ed25519Sign(key, global)) +
           "\n";
}

std::string PublicKeyLine(const TMinisignSecretKey& key) {
    std::vector<uint8_t> bytes = {'E', 'd'};
    bytes.insert(bytes.end(), key.keyId.begin(), key.keyId.end());
    bytes.insert(bytes.end(), key.publicKey.begin(), key.publicKey.end());
    return EncodeBase64(bytes);
}
