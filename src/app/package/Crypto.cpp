#include "Crypto.h"

#include <gcrypt.h>

#include <string>

#include "PackageErrors.h"
#include "platform/ScopeExit.h"

namespace {

// The oldest libgcrypt with BLAKE2b and EdDSA as used here.
const char* const kMinimumGcrypt = "1.8.0";

int AlgorithmOf(THashKind kind) {
    switch (kind) {
        case THashKind::Sha256:
            return GCRY_MD_SHA256;
        case THashKind::Blake2b256:
            return GCRY_MD_BLAKE2B_256;
        case THashKind::Blake2b512:
            return GCRY_MD_BLAKE2B_512;
    }
    return GCRY_MD_NONE;
}

bool Initialise() {
    if (gcry_check_version(kMinimumGcrypt) == nullptr) {
        throw EPackageRefused(std::string("libgcrypt older than ") + kMinimumGcrypt);
    }
    // The updater only verifies: no secret passes through libgcrypt, so the
    // locked secure-memory pool (and the privileges it may need) is not
    // wanted. zuvo-pack signs through this same start; its key was read
    // from a file into ordinary memory anyway and is wiped after use.
    gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
    gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    return true;
}

}  // namespace

void InitCrypto() {
    // A function-local static: initialised once, also with several threads.
    static const bool initialised = Initialise();
    (void)initialised;
}

TDigest::TDigest(THashKind kind) : kind_(kind) {
    InitCrypto();
    if (gcry_md_open(&handle_, AlgorithmOf(kind), 0) != 0) {
        throw EPackageRefused("libgcrypt could not open a digest");
    }
}

TDigest::~TDigest() { gcry_md_close(handle_); }

void TDigest::Update(const void* data, size_t size) { gcry_md_write(handle_, data, size); }

std::vector<uint8_t> TDigest::Final() {
    const int algorithm = AlgorithmOf(kind_);
    const unsigned char* digest = gcry_md_read(handle_, algorithm);
    return std::vector<uint8_t>(digest, digest + gcry_md_get_algo_dlen(algorithm));
}

std::vector<uint8_t> Digest(THashKind kind, std::string_view data) {
    TDigest digest(kind);
    digest.Update(data.data(), data.size());
    return digest.Final();
}

std::string ToHex(const std::vector<uint8_t>& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (uint8_t b : bytes) {
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    return out;
}

bool Ed25519Verify(const std::vector<uint8_t>& publicKey, std::string_view message,
                   const std::vector<uint8_t>& signature) {
    if (publicKey.size() != 32 || signature.size() != 64) {
        return false;
    }
    InitCrypto();
    gcry_sexp_t key = nullptr;
    gcry_sexp_t sig = nullptr;
    gcry_sexp_t data = nullptr;
    ScopeExit release([&] {
        gcry_sexp_release(key);
        gcry_sexp_release(sig);
        gcry_sexp_release(data);
    });
    if (gcry_sexp_build(&key, nullptr, "(public-key (ecc (curve Ed25519) (flags eddsa) (q %b)))",
                        32, publicKey.data()) != 0 ||
        gcry_sexp_build(&sig, nullptr, "(sig-val (eddsa (r %b) (s %b)))", 32, signature.data(), 32,
                        signature.data() + 32) != 0 ||
        gcry_sexp_build(&data, nullptr, "(data (flags eddsa) (hash-algo sha512) (value %b))",
                        static_cast<int>(message.size()), message.data()) != 0) {
        return false;
    }
    return gcry_pk_verify(sig, data, key) == 0;
}
