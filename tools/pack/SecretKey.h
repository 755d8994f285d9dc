#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "package/Minisign.h"

// A minisign secret key file, read for signing. Only keys without a
// password are read here; a password-protected one is recognised so that
// the caller can hand it to the minisign program instead.
struct TMinisignSecretKey {
    TMinisignSecretKey() = default;
    TMinisignSecretKey(const TMinisignSecretKey&) = delete;
    TMinisignSecretKey& operator=(const TMinisignSecretKey&) = delete;
    TMinisignSecretKey(TMinisignSecretKey&&) = default;
    // The key material is wiped before the memory goes.
    ~TMinisignSecretKey();

    TKeyId keyId{};
    std::vector<uint8_t> seed;       // Ed25519 secret seed, 32 bytes
    std::vector<uint8_t> publicKey;  // 32 bytes
};

// True when the file's key is protected by a password (scrypt).
bool SecretKeyHasPassword(std::string_view fileText);

// Reads a key without password; raises EPackageRefused for a damaged file,
// a wrong checksum or a key with password.
TMinisignSecretKey ParseSecretKey(std::string_view fileText);

// A .minisig file for `message`: the prehashed ("ED") signature unless
// `legacy` asks for the "Ed" one over the message itself.
std::string SignMinisign(const TMinisignSecretKey& key, std::string_view message,
                         const std::string& trustedComment, bool legacy = false);

// The public key line ("RW...") that belongs to the key.
std::string PublicKeyLine(const TMinisignSecretKey& key);
