#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ZipBuilder.h"

// Two minisign key pairs made for these tests only (minisign -G -W): the
// one the tests' updater trusts and one it does not.
extern const char* const kTrustedSecretKey;
extern const char* const kTrustedPublicKey;
extern const char* const kOtherSecretKey;
extern const char* const kOtherPublicKey;

// An update package as zuvo-pack makes it, with knobs to make it wrong:
// listed and unlisted entries, another key, the legacy signature, and
// changes to the manifest or signature after signing.
class SignedPackage {
  public:
    // Listed in the manifest (with the hash and size of its data) and stored.
    SignedPackage& Add(ZipBuilder::Entry entry);
    // Stored only.
    SignedPackage& AddUnlisted(ZipBuilder::Entry entry);

    std::string product = "zuvo-browser";
    std::string version = "2.0";
    const char* secretKey = kTrustedSecretKey;
    bool legacySignature = false;
    bool withManifest = true;
    bool withSignature = true;
    // Run on the signed texts before they are stored.
    std::function<void(std::string&)> tamperManifest;
    std::function<void(std::string&)> tamperSignature;
    // Run on the listed entries after the manifest was made from them.
    std::function<void(std::vector<ZipBuilder::Entry>&)> tamperEntries;

    std::string Manifest() const;
    std::string Signature() const;
    std::string Build() const;

  private:
    std::vector<ZipBuilder::Entry> listed_;
    std::vector<ZipBuilder::Entry> unlisted_;
};
