// The parsers a downloaded package's trust rests on, over arbitrary bytes:
// the first byte picks one, the rest is its text. Each may refuse (raising
// EPackageRefused) but must never crash, and what it accepts must hold
// together: a manifest parses back from its own text form, a decoded
// base64 text re-encodes to itself, version order is antisymmetric.
#include <cstddef>
#include <cstdint>
#include <string>

#include "package/Base64.h"
#include "package/Manifest.h"
#include "package/Minisign.h"
#include "package/PackageErrors.h"

namespace {

// A fixed key: a signature from it cannot be forged by the fuzzer, so the
// verification runs every parse and refusal path up to the key lookup and
// the signature checks.
const char* const kKey = "RWQ3Z202U+/iFTIXImLi/mHeuzlxN4tlOlsvzhvodP0UWbtn3LQaSUPK";

void Manifest(const std::string& text) {
    const TPackageManifest manifest = ParseManifest(text);
    if (FormatManifest(ParseManifest(FormatManifest(manifest))) != FormatManifest(manifest)) {
        __builtin_trap();
    }
    if (CompareVersions(manifest.version, manifest.version) != 0) {
        __builtin_trap();
    }
}

void Versions(const std::string& text) {
    const size_t split = text.find(' ');
    const std::string a = text.substr(0, split);
    const std::string b = split == std::string::npos ? "" : text.substr(split + 1);
    if (CompareVersions(a, b) != -CompareVersions(b, a)) {
        __builtin_trap();
    }
}

void Base64(const std::string& text) {
    if (EncodeBase64(DecodeBase64(text)) != text) {
        __builtin_trap();
    }
}

void Signature(const std::string& text) {
    static const std::vector<TMinisignPublicKey> keys = {ParsePublicKey(kKey)};
    const size_t split = text.find('\0');
    const std::string message = text.substr(0, split);
    const std::string signature = split == std::string::npos ? "" : text.substr(split + 1);
    VerifyMinisign(keys, message, signature);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    try {
        switch (data[0] % 5) {
            case 0:
                Manifest(text);
                break;
            case 1:
                Versions(text);
                break;
            case 2:
                Base64(text);
                break;
            case 3:
                ParsePublicKeyList(text);
                break;
            default:
                Signature(text);
                break;
        }
    } catch (const EPackageRefused&) {
    }
    return 0;
}
