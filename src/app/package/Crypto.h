#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

// The few primitives package trust needs, all from libgcrypt: hashing and
// Ed25519 verification. Nothing here is hand-written cryptography.

// Initialises libgcrypt once for this process (version check, no secure
// memory: only public keys and digests pass through here). Every function
// below calls it; calling it again is cheap.
void InitCrypto();

enum class THashKind { Sha256, Blake2b256, Blake2b512 };

struct gcry_md_handle;

// An incremental digest, for data that is hashed as it is written.
class TDigest {
  public:
    explicit TDigest(THashKind kind);
    ~TDigest();
    TDigest(const TDigest&) = delete;
    TDigest& operator=(const TDigest&) = delete;

    void Update(const void* data, size_t size);
    // The digest of everything passed to Update; the object is spent after it.
    std::vector<uint8_t> Final();

  private:
    gcry_md_handle* handle_ = nullptr;
    THashKind kind_;
};

std::vector<uint8_t> Digest(THashKind kind, std::string_view data);

// Lower-case hexadecimal, two digits a byte.
std::string ToHex(const std::vector<uint8_t>& bytes);

// True when `signature` (64 bytes, R then S) is a valid Ed25519 signature of
// `message` by `publicKey` (32 bytes). Anything malformed is simply false.
bool Ed25519Verify(const std::vector<uint8_t>& publicKey, std::string_view message,
                   const std::vector<uint8_t>& signature);
