#include "SignedPackage.h"

#include "SecretKey.h"
#include "package/Crypto.h"
#include "package/Manifest.h"

// Test-only keys without password, made by minisign -G -W for these tests.
const char* const kTrustedSecretKey =
    "untrusted comment: minisign encrypted secret key\n"
    "RWQAAEIyAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAN2dtNlPv4hUqmqKVna"
    "DmnLp81ib/jscGGQNXUYcQsKkCXzkhd2zwmjIXImLi/mHeuzlxN4tlOlsvzhvodP0UWbtn3LQaSUPKAAAAAAAAAAAA"
    "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=\n";
const char* const kTrustedPublicKey = "RWQ3Z202U+/iFTIXImLi/mHeuzlxN4tlOlsvzhvodP0UWbtn3LQaSUPK";
const char* const kOtherSecretKey =
    "untrusted comment: minisign encrypted secret key\n"
    "RWQAAEIyAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAkXFJ3DfIm0PyElbXNq"
    "kO0f8btKRqfduTzNNjNi6dotlcnqcu74jzzQ7yQRMWGvqHgoEf+bB+GR45HTR/CpzxnLddqXPXKZhWAAAAAAAAAAAA"
    "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=\n";
const char* const kOtherPublicKey = "RWSRcUncN8ibQw7yQRMWGvqHgoEf+bB+GR45HTR/CpzxnLddqXPXKZhW";

SignedPackage& SignedPackage::Add(ZipBuilder::Entry entry) {
    listed_.push_back(std::move(entry));
    return *this;
}

SignedPackage& SignedPackage::AddUnlisted(ZipBuilder::Entry entry) {
    unlisted_.push_back(std::move(entry));
    return *this;
}

std::string SignedPackage::Manifest() const {
    TPackageManifest manifest;
    manifest.product = product;
    manifest.version = version;
    for (const ZipBuilder::Entry& entry : listed_) {
        manifest.files.push_back(TManifestFile{ToHex(Digest(THashKind::Sha256, entry.data)),
                                               entry.data.size(), entry.name});
    }
    return FormatManifest(manifest);
}

std::string SignedPackage::Signature() const {
    return SignMinisign(ParseSecretKey(secretKey), Manifest(),
                        "timestamp:1796774400\tfile:zuvo-package.txt", legacySignature);
}

std::string SignedPackage::Build() const {
    std::string manifest = Manifest();
    std::string signature = Signature();
    if (tamperManifest) {
        tamperManifest(manifest);
    }
    if (tamperSignature) {
        tamperSignature(signature);
    }
    ZipBuilder zip;
    if (withManifest) {
        zip.Add(std::string(kManifestName), manifest);
    }
    if (withSignature) {
        zip.Add(std::string(kManifestSignatureName), signature);
    }
    std::vector<ZipBuilder::Entry> stored = listed_;
    if (tamperEntries) {
        tamperEntries(stored);
    }
    for (const ZipBuilder::Entry& entry : stored) {
        zip.Add(entry);
    }
    for (const ZipBuilder::Entry& entry : unlisted_) {
        zip.Add(entry);
    }
    return zip.Build();
}
