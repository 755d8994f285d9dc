#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "PackageLimits.h"
#include "UpdateSteps.h"
#include "net/TcpClient.h"
#include "package/Manifest.h"
#include "package/Minisign.h"
#include "zip/UnZipper.h"

class TFileStream;
class TStream;

// The real download and installation: the update protocol over the TCP
// client into updateFile/Browser.zip, then the zip component and the file
// operations that put the new Browser.exe in place and start it.
class TPackageSteps : public IUpdateSteps {
  public:
    TPackageSteps();
    ~TPackageSteps() override;
    TPackageSteps(const TPackageSteps&) = delete;
    TPackageSteps& operator=(const TPackageSteps&) = delete;

    // The update-server port of both hosts.
    static constexpr int kServerPort = 10290;

    // Bounded by the workflow's timings and by PackageLimits; a package
    // that did not arrive whole is deleted. Cancel stops it without a box.
    bool DownloadPackage(TUpdateWorkflow& workflow) override;
    // Verifies and unpacks the package, puts the new browser in place and
    // starts it; shows the failure box when that did not happen. The old
    // browser stays in place until the new one has started.
    bool InstallPackage(TUpdateWorkflow& workflow) override;

    // Tries the update-server hosts in order; true when one accepted a
    // connection. Host and Port are left at the host tried last.
    bool FindServer();
    // Removes everything in the update directory but the package itself:
    // what an earlier run left must neither be asked about nor block this
    // one. False when something could not be removed.
    bool ClearUpdateDir();
    // Unpacks the package into the update directory. With package keys: only
    // a package whose manifest is signed by one of them, names Product and a
    // version newer than the installed one, and whose entries are exactly
    // the listed files with their sizes and SHA-256; returns that manifest.
    // Without keys: every entry, unverified; returns nothing. Raises
    // EPackageRefused (or the zip component's error) on any refusal; a
    // Browser.exe is in the update directory when it returns.
    std::optional<TPackageManifest> UnpackPackage();

    // Where the steps look for servers and keep their files. The build
    // settings fill these; tests point them at their own servers and folders.
    std::vector<std::string> ServerHosts{ZUVO_UPDATE_HOST1, ZUVO_UPDATE_HOST2};
    int ServerPort = kServerPort;
    std::string DownloadSite = ZUVO_DOWNLOAD_SITE;
    // The minisign public keys (base64 lines, separated by spaces, ';' or
    // line ends) a package's manifest must be signed with: the build's own
    // unless a test gives its own. Empty only in a build made with
    // ZUVO_ALLOW_UNSIGNED_PACKAGES: then packages are installed unverified.
    std::string PackageKeys = ZUVO_PACKAGE_PUBLIC_KEYS;
    // The product a package's manifest must name.
    std::string Product = "zuvo-browser";
    // Why the last installation failed (empty after a success): the box
    // the user sees is always the same one, this says what happened.
    std::string InstallError;
    std::string ProgramDirOverride;
    // The program directory, ending in "/".
    std::string ProgramDir() const;
    std::string UpdateDir() const { return ProgramDir() + "updateFile"; }
    // The manifest of the installed browser, written after each install.
    // The manifest of the installed version; none when there is no
    // readable one.
    std::optional<TPackageManifest> InstalledManifest() const;
    std::string InstalledManifestPath() const;

    // How large the package may grow, and what stays free beside it; the
    // free space is asked of FreeSpace (the file system unless a test
    // pretends a fuller disk).
    TPackageLimits PackageLimits;
    TFreeSpaceQuery FreeSpace;

    // Renames the staged browser over the installed one in one step; the
    // file operation's ReplaceFile unless a test makes it fail.
    std::function<bool(const std::string& staged, const std::string& installed)> ReplaceInstalled;

    std::unique_ptr<TUnZipper> UnZipper1;
    std::unique_ptr<TTcpClient> TcpClient1;

  private:
    // Makes the update directory and removes an old package; the path.
    std::string PreparePackagePath();
    // Lets the client's waits ask the workflow and sets their limits.
    void BindClient(TUpdateWorkflow& workflow);
    void UnbindClient();
    // Connection and transfer into `package`, which is closed before this
    // returns and deleted when the transfer did not end well; raises then.
    void Fetch(std::unique_ptr<TFileStream> package, TUpdateWorkflow& workflow);
    // The reply line's exchange and the package transfer; raises on failure.
    void Transfer(TStream& package, int replyWaitMs);
    // Copies the verified browser beside the installed one as an executable
    // regular file, keeps a copy of the installed one, and renames the new
    // one over it; raises when the installed browser could not be replaced.
    void PutInPlace(const std::string& extracted, const std::string& installed);
    // Starts the installed browser; when it cannot start, puts the kept old
    // one back and raises. Without a kept old one the new one stays.
    void StartOrRollBack(const std::string& installed);
    // After a successful start: the kept old browser, the package and the
    // extracted browser go, the new manifest is recorded.
    void FinishInstall(const std::optional<TPackageManifest>& manifest);

    // The two ways of unpacking.
    TPackageManifest UnpackVerified(const std::vector<TMinisignPublicKey>& keys);
    void UnpackUnverified();
    // Verifies the signed manifest read from the package and checks that it
    // is for this product and newer than the installed one.
    TPackageManifest AcceptManifest(const std::vector<TMinisignPublicKey>& keys,
                                    const std::string& manifest, const std::string& signature);
    // Extracts one entry whose size and SHA-256 the manifest gives into the
    // update directory; raises unless it is exactly that.
    void ExtractListed(int32_t index, const TManifestFile& file);
    // An entry's bytes, at most `limit` of them; raises when it is longer
    // or fails its check value.
    std::string ReadSmallEntry(int32_t index, uint64_t limit);
};
