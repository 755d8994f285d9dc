#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// minisign public keys and signatures: parsing and verification. Every
// refusal raises EPackageRefused with the reason.

using TKeyId = std::array<uint8_t, 8>;

struct TMinisignPublicKey {
    TKeyId keyId{};
    std::vector<uint8_t> key;  // Ed25519, 32 bytes
};

struct TMinisignSignature {
    bool prehashed = false;  // "ED": over BLAKE2b-512 of the file; "Ed": over the file
    TKeyId keyId{};
    std::vector<uint8_t> signature;        // 64 bytes
    std::string trustedComment;            // the text after "trusted comment: "
    std::vector<uint8_t> globalSignature;  // 64 bytes, over signature + trusted comment
};

// The base64 line of a public key (the "RW..." line minisign -P takes), or
// a whole public-key file whose second line is that line.
TMinisignPublicKey ParsePublicKey(std::string_view text);

// A .minisig file: untrusted comment, signature line, trusted comment,
// global signature line.
TMinisignSignature ParseSignature(std::string_view text);

// Verifies `message` against the signature file with whichever of `keys`
// carries the signature's key id; returns the trusted comment. Raises when
// no key matches, the signature or the global signature does not verify.
std::string VerifyMinisign(const std::vector<TMinisignPublicKey>& keys, std::string_view message,
                           std::string_view signatureFile);

// The public keys of a list of key lines separated by `;`, spaces or line
// ends; empty items are skipped.
std::vector<TMinisignPublicKey> ParsePublicKeyList(std::string_view list);
