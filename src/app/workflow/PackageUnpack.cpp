// Unpacking the downloaded package into the update directory: with package
// keys only what a signed manifest lists, each entry checked for its size
// and SHA-256 as it is written; without keys every entry, unverified.
#include <algorithm>
#include <map>
#include <optional>

#include "PackageSteps.h"
#include "package/CheckedSink.h"
#include "package/PackageErrors.h"
#include "platform/FileOps.h"
#include "platform/FileStream.h"
#include "platform/FileSystem.h"
#include "platform/MemoryStream.h"
#include "platform/MessageHooks.h"
#include "platform/ScopeExit.h"

namespace {

// Far above any real manifest or signature; keeps a forged one from
// claiming memory.
constexpr uint64_t kManifestLimit = 1024 * 1024;
constexpr uint64_t kSignatureLimit = 4096;

const char* const kPackageFileName = "Browser.zip";
const char* const kBrowserName = "Browser.exe";

// The zip component keeps names with '\' between directories.
std::string EntryPath(const TUnZipper& zip, int32_t index) {
    std::string name = zip.GetFullname(index);
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

bool IsParentOfListed(const TPackageManifest& manifest, const std::string& directory) {
    return std::any_of(manifest.files.begin(), manifest.files.end(),
                       [&](const TManifestFile& file) {
                           return file.path.compare(0, directory.size(), directory) == 0;
                       });
}

// The package's own entries found by name; a second entry of either name
// is refused, it could hide which one was verified.
struct TPackageIndex {
    int32_t manifest = -1;
    int32_t signature = -1;
    std::vector<std::pair<std::string, int32_t>> others;
};

TPackageIndex IndexEntries(const TUnZipper& zip) {
    TPackageIndex found;
    for (int32_t i = 0; i < zip.GetCount(); ++i) {
        if (zip.GetIsEncrypted(i)) {
            throw EPackageRefused("an encrypted entry");
        }
        const std::string path = EntryPath(zip, i);
        int32_t* own = path == kManifestName            ? &found.manifest
                       : path == kManifestSignatureName ? &found.signature
                                                        : nullptr;
        if (own == nullptr) {
            found.others.emplace_back(path, i);
        } else if (*own >= 0) {
            throw EPackageRefused("a package with two entries named " + path);
        } else {
            *own = i;
        }
    }
    if (found.manifest < 0 || found.signature < 0) {
        throw EPackageRefused("a package without its manifest or its signature");
    }
    return found;
}

// Pairs each listed file with its entry; refuses entries the manifest does
// not list (directory entries above listed files aside) and listed files
// that are missing.
std::map<std::string, int32_t> MatchListed(const TPackageManifest& manifest,
                                           const TPackageIndex& found) {
    std::map<std::string, int32_t> listed;
    for (const auto& [path, index] : found.others) {
        if (!path.empty() && path.back() == '/' && IsParentOfListed(manifest, path)) {
            continue;
        }
        if (manifest.Find(path) == nullptr) {
            throw EPackageRefused("an entry the manifest does not list: " + path);
        }
        if (!listed.emplace(path, index).second) {
            throw EPackageRefused("a package with two entries named " + path);
        }
    }
    for (const TManifestFile& file : manifest.files) {
        if (listed.count(file.path) == 0) {
            throw EPackageRefused("a listed file the package does not hold: " + file.path);
        }
    }
    return listed;
}

std::string ReadWholeFile(const std::string& path) {
    TFileStream file(path, TFileMode::fmOpenRead);
    std::string text(static_cast<size_t>(file.Size()), '\0');
    file.ReadBuffer(text.data(), static_cast<int64_t>(text.size()));
    return text;
}

// Makes the directories above a listed path below the update directory.
void MakeParents(const std::string& updateDir, const std::string& path) {
    for (size_t slash = path.find('/'); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string directory = updateDir + "/" + path.substr(0, slash);
        if (!DirectoryExists(directory) && !CreateDir(directory)) {
            throw EPackageRefused("the folder of a listed file could not be made: " + directory);
        }
    }
}

}  // namespace

std::string TPackageSteps::InstalledManifestPath() const {
    return ProgramDir() + std::string(kManifestName);
}

bool TPackageSteps::ClearUpdateDir() {
    const std::string updateDir = UpdateDir();
    bool cleared = true;
    for (const std::string& name : ListDirectory(updateDir)) {
        if (name != kPackageFileName) {
            cleared = RemoveTree(updateDir + "/" + name) && cleared;
        }
    }
    return cleared;
}

std::optional<TPackageManifest> TPackageSteps::UnpackPackage() {
    const std::vector<TMinisignPublicKey> keys = ParsePublicKeyList(PackageKeys);
    // The component's own questions and notes (an unknown method, ...) are
    // not shown: whatever they concern ends in the one failure box.
    UnZipper1->OnHandleMessage = [](TUnZipper&, int, const std::string&, const std::string&,
                                    unsigned, int& result) { result = IDNO; };
    ScopeExit forget([this] { UnZipper1->OnHandleMessage = nullptr; });
    UnZipper1->ClearZip();
    UnZipper1->SetZipName(UpdateDir() + "/" + kPackageFileName);
    if (keys.empty()) {
        UnpackUnverified();
        return std::nullopt;
    }
    return UnpackVerified(keys);
}

TPackageManifest TPackageSteps::UnpackVerified(const std::vector<TMinisignPublicKey>& keys) {
    // One entry at a time, each into its own checked target.
    const bool doAll = UnZipper1->DoAll;
    UnZipper1->DoAll = false;
    ScopeExit restore([this, doAll] { UnZipper1->DoAll = doAll; });
    UnZipper1->ReadZip();
    const TPackageIndex found = IndexEntries(*UnZipper1);
    const std::string manifestText = ReadSmallEntry(found.manifest, kManifestLimit);
    const std::string signature = ReadSmallEntry(found.signature, kSignatureLimit);
    const TPackageManifest manifest = AcceptManifest(keys, manifestText, signature);
    if (manifest.Find(kBrowserName) == nullptr) {
        throw EPackageRefused("a manifest that does not list Browser.exe");
    }
    if (manifest.Find(kPackageFileName) != nullptr) {
        throw EPackageRefused("a manifest that lists a file named like the package");
    }
    for (const auto& [path, index] : MatchListed(manifest, found)) {
        ExtractListed(index, *manifest.Find(path));
    }
    return manifest;
}

TPackageManifest TPackageSteps::AcceptManifest(const std::vector<TMinisignPublicKey>& keys,
                                               const std::string& manifestText,
                                               const std::string& signature) {
    VerifyMinisign(keys, manifestText, signature);
    TPackageManifest manifest = ParseManifest(manifestText);
    if (manifest.product != Product) {
        throw EPackageRefused("a package for another product: " + manifest.product);
    }
    if (const std::optional<TPackageManifest> installed = InstalledManifest()) {
        if (CompareVersions(manifest.version, installed->version) <= 0) {
            throw EPackageRefused("version " + manifest.version + " is not newer than " +
                                  installed->version);
        }
    }
    return manifest;
}

std::optional<TPackageManifest> TPackageSteps::InstalledManifest() const {
    const std::string path = InstalledManifestPath();
    if (!FileExists(path)) {
        return std::nullopt;
    }
    // Written by an earlier install from a verified manifest. One that a
    // crash cut short is taken as none: refusing every package would leave
    // the browser without updates for good, and whoever could damage it on
    // purpose could as well replace the browser itself.
    try {
        return ParseManifest(ReadWholeFile(path));
    } catch (const Exception&) {
        return std::nullopt;
    }
}

std::string TPackageSteps::ReadSmallEntry(int32_t index, uint64_t limit) {
    TMemoryStream memory;
    TCheckedSink sink(memory, limit);
    UnZipper1->ClearSelected();
    if (UnZipper1->UnZipToStreamByIndex(&sink, index) != 1 || sink.Overflowed()) {
        throw EPackageRefused("the manifest or its signature could not be read whole");
    }
    return std::string(reinterpret_cast<const char*>(memory.Memory()), sink.Written());
}

void TPackageSteps::ExtractListed(int32_t index, const TManifestFile& file) {
    const std::string updateDir = UpdateDir();
    MakeParents(updateDir, file.path);
    TFileStream out(updateDir + "/" + file.path, TFileMode::fmCreate);
    TCheckedSink sink(out, file.size);
    UnZipper1->ClearSelected();
    const int32_t extracted = UnZipper1->UnZipToStreamByIndex(&sink, index);
    if (extracted != 1 || !sink.Matches(file.sha256)) {
        throw EPackageRefused("an entry that is not what the manifest lists: " + file.path);
    }
}

void TPackageSteps::UnpackUnverified() {
    const std::string updateDir = UpdateDir();
    const std::string extracted = updateDir + "/" + kBrowserName;
    bool browserVerified = false;
    // Only an entry that was written and passed its check value may replace
    // the installed browser; the component reports exactly those here.
    UnZipper1->OnEndUnZip = [&](TUnZipper&, int, const std::string& fName) {
        if (fName == extracted) {
            browserVerified = true;
        }
    };
    ScopeExit forget([this] { UnZipper1->OnEndUnZip = nullptr; });
    UnZipper1->SetDestDir(updateDir);
    UnZipper1->UnZip();
    if (!browserVerified || !FileExists(extracted)) {
        throw EPackageRefused("a package without a verified Browser.exe");
    }
}
