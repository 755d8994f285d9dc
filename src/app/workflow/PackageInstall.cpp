// The installation step: unpack the package, put the new browser in place
// of the old one without ever leaving the program directory without a
// browser, and start it.
#include "PackageSteps.h"
#include "WorkflowTexts.h"
#include "platform/Exception.h"
#include "platform/FileOps.h"
#include "platform/MessageHooks.h"
#include "platform/ScopeExit.h"

namespace {

// The new browser is written under this name beside the old one first, so
// that the old one is replaced in a single rename.
const char* const kStagedBrowserName = ".Browser.exe.new";

}  // namespace

bool TPackageSteps::UnpackPackage() {
    const std::string updateDir = UpdateDir();
    const std::string extracted = updateDir + "/Browser.exe";
    bool browserVerified = false;
    // Only an entry that was written and passed its check value may replace
    // the installed browser; the component reports exactly those here.
    UnZipper1->OnEndUnZip = [&](TUnZipper&, int, const std::string& fName) {
        if (fName == extracted) {
            browserVerified = true;
        }
    };
    ScopeExit forget([this] { UnZipper1->OnEndUnZip = nullptr; });
    UnZipper1->SetZipName(updateDir + "/Browser.zip");
    UnZipper1->SetDestDir(updateDir);
    UnZipper1->UnZip();
    return browserVerified && FileExists(extracted);
}

void TPackageSteps::PutInPlace(const std::string& extracted, const std::string& installed) {
    const std::string staged = ProgramDir() + kStagedBrowserName;
    DeleteFile(staged);
    if (!CopyFileNoOverwrite(extracted, staged)) {
        throw Exception("The new Browser.exe could not be copied beside the old one");
    }
    if (!ReplaceInstalled(staged, installed)) {
        DeleteFile(staged);
        throw Exception("The installed Browser.exe could not be replaced");
    }
}

bool TPackageSteps::InstallPackage(TUpdateWorkflow&) {
    const std::string updateDir = UpdateDir();
    const std::string extracted = updateDir + "/Browser.exe";
    const std::string installed = ProgramDir() + "Browser.exe";
    try {
        if (FileExists(extracted)) {
            DeleteFile(extracted);
        }
        if (!UnpackPackage()) {
            throw Exception("The package holds no verified Browser.exe");
        }
        PutInPlace(extracted, installed);
        DeleteFile(updateDir + "/Browser.zip");
        const bool started = ShellOpen(installed);
        DeleteFile(extracted);
        return started;
    } catch (...) {
        // Whatever failed, the old browser is still in place; say where a
        // working one can be had.
        AppMessageBox(std::string(kInstallFailedPrefix) + DownloadSite + kInstallFailedSuffix,
                      kFailureCaption, MB_OK | MB_ICONEXCLAMATION);
    }
    return false;
}
