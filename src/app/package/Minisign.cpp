#include "Minisign.h"

#include <algorithm>

#include "Base64.h"
#include "Crypto.h"
#include "PackageErrors.h"

namespace {

const std::string_view kUntrustedPrefix = "untrusted comment:";
const std::string_view kTrustedPrefix = "trusted comment: ";

// Splits at LF; a CR before the LF is dropped, so a file that went through
// a Windows editor still reads. A last line without LF counts as a line.
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }
    return lines;
}

std::string_view Trim(std::string_view text) {
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && isSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

TKeyId KeyIdAt(const std::vector<uint8_t>& bytes, size_t offset) {
    TKeyId id{};
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), id.size(), id.begin());
    return id;
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, size_t offset, size_t count) {
    const auto from = bytes.begin() + static_cast<std::ptrdiff_t>(offset);
    return std::vector<uint8_t>(from, from + static_cast<std::ptrdiff_t>(count));
}

const TMinisignPublicKey& KeyFor(const std::vector<TMinisignPublicKey>& keys, const TKeyId& id) {
    for (const TMinisignPublicKey& key : keys) {
        if (key.keyId == id) {
            return key;
        }
    }
    throw EPackageRefused("the signature was made by a key this build does not trust");
}

}  // namespace

TMinisignPublicKey ParsePublicKey(std::string_view text) {
    std::vector<std::string_view> lines = SplitLines(Trim(text));
    if (lines.size() == 2 && lines[0].substr(0, kUntrustedPrefix.size()) == kUntrustedPrefix) {
        lines.erase(lines.begin());
    }
    if (lines.size() != 1) {
        throw EPackageRefused("a public key is one base64 line");
    }
    const std::vector<uint8_t> bytes = DecodeBase64(lines[0]);
    if (bytes.size() != 42) {
        throw EPackageRefused("a public key line that does not hold 42 bytes");
    }
    if (bytes[0] != 'E' || bytes[1] != 'd') {
        throw EPackageRefused("a public key of another algorithm than Ed25519");
    }
    return TMinisignPublicKey{KeyIdAt(bytes, 2), Slice(bytes, 10, 32)};
}

std::vector<TMinisignPublicKey> ParsePublicKeyList(std::string_view list) {
    std::vector<TMinisignPublicKey> keys;
    while (!list.empty()) {
        const size_t end = list.find_first_of("; \t\r\n");
        const std::string_view item = Trim(list.substr(0, end));
        if (!item.empty()) {
            keys.push_back(ParsePublicKey(item));
        }
        if (end == std::string_view::npos) {
            break;
        }
        list.remove_prefix(end + 1);
    }
    return keys;
}

TMinisignSignature ParseSignature(std::string_view text) {
    const std::vector<std::string_view> lines = SplitLines(text);
    if (lines.size() != 4) {
        throw EPackageRefused("a signature file that is not four lines");
    }
    if (lines[0].substr(0, kUntrustedPrefix.size()) != kUntrustedPrefix) {
        throw EPackageRefused("a signature file without its untrusted comment line");
    }
    if (lines[2].substr(0, kTrustedPrefix.size()) != kTrustedPrefix) {
        throw EPackageRefused("a signature file without its trusted comment line");
    }
    const std::vector<uint8_t> bytes = DecodeBase64(lines[1]);
    if (bytes.size() != 74) {
        throw EPackageRefused("a signature line that does not hold 74 bytes");
    }
    TMinisignSignature signature;
    if (bytes[0] == 'E' && bytes[1] == 'D') {
        signature.prehashed = true;
    } else if (!(bytes[0] == 'E' && bytes[1] == 'd')) {
        throw EPackageRefused("a signature of an unknown algorithm");
    }
    signature.keyId = KeyIdAt(bytes, 2);
    signature.signature = Slice(bytes, 10, 64);
    signature.trustedComment = std::string(lines[2].substr(kTrustedPrefix.size()));
    signature.globalSignature = DecodeBase64(lines[3]);
    if (signature.globalSignature.size() != 64) {
        throw EPackageRefused("a global signature line that does not hold 64 bytes");
    }
    return signature;
}

std::string VerifyMinisign(const std::vector<TMinisignPublicKey>& keys, std::string_view message,
                           std::string_view signatureFile) {
    const TMinisignSignature signature = ParseSignature(signatureFile);
    const TMinisignPublicKey& key = KeyFor(keys, signature.keyId);
    std::string signedBytes;
    if (signature.prehashed) {
        const std::vector<uint8_t> hash = Digest(THashKind::Blake2b512, message);
        signedBytes.assign(hash.begin(), hash.end());
    } else {
        signedBytes.assign(message);
    }
    if (!Ed25519Verify(key.key, signedBytes, signature.signature)) {
        throw EPackageRefused("the signature does not match the signed file");
    }
    std::string global(signature.signature.begin(), signature.signature.end());
    global += signature.trustedComment;
    if (!Ed25519Verify(key.key, global, signature.globalSignature)) {
        throw EPackageRefused("the global signature does not match the trusted comment");
    }
    return signature.trustedComment;
}
