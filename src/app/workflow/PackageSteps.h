#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "PackageLimits.h"
#include "UpdateSteps.h"
#include "net/TcpClient.h"
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
    // Unpacks and starts the new browser; shows the failure box when that
    // did not happen. The program directory always keeps a browser.
    bool InstallPackage(TUpdateWorkflow& workflow) override;

    // Tries the update-server hosts in order; true when one accepted a
    // connection. Host and Port are left at the host tried last.
    bool FindServer();
    // Unpacks the package into the update directory; true when it held a
    // Browser.exe that was written and passed its check value.
    bool UnpackPackage();

    // Where the steps look for servers and keep their files. The build
    // settings fill these; tests point them at their own servers and folders.
    std::vector<std::string> ServerHosts{ZUVO_UPDATE_HOST1, ZUVO_UPDATE_HOST2};
    int ServerPort = kServerPort;
    std::string DownloadSite = ZUVO_DOWNLOAD_SITE;
    std::string ProgramDirOverride;
    // The program directory, ending in "/".
    std::string ProgramDir() const;
    std::string UpdateDir() const { return ProgramDir() + "updateFile"; }

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
    // Copies the verified browser beside the installed one and renames it
    // over it; raises when the installed browser could not be replaced.
    void PutInPlace(const std::string& extracted, const std::string& installed);
};
