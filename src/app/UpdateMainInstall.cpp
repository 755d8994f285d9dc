// The window's installation step: unpack the package, put the new browser
// in place of the old one without ever leaving the program directory
// without a browser, start it, and end the program in every case.
#include <QCoreApplication>

#include "UpdateMain.h"
#include "platform/Exception.h"
#include "platform/FileOps.h"
#include "platform/MessageHooks.h"

namespace {

const char* const kFailurePrefix = "更新失败，如果系统不能正常启动请到";
const char* const kFailureSuffix = "重新下载，谢谢！";

// The new browser is written under this name beside the old one first, so
// that the old one is replaced in a single rename.
const char* const kStagedBrowserName = ".Browser.exe.new";

}  // namespace

bool TfrmUpdateMain::UnpackPackage() {
    const std::string updateDir = ProgramDir() + "updateFile";
    const std::string extracted = updateDir + "/Browser.exe";
    bool browserVerified = false;
    // Only an entry that was written and passed its check value may replace
    // the installed browser; the component reports exactly those here.
    UnZipper1->OnEndUnZip = [&](TUnZipper&, int, const std::string& fName) {
        if (fName == extracted) {
            browserVerified = true;
        }
    };
    UnZipper1->SetZipName(updateDir + "/Browser.zip");
    UnZipper1->SetDestDir(updateDir);
    try {
        UnZipper1->UnZip();
    } catch (...) {
        UnZipper1->OnEndUnZip = nullptr;
        throw;
    }
    UnZipper1->OnEndUnZip = nullptr;
    return browserVerified && FileExists(extracted);
}

void TfrmUpdateMain::InstallPackage() {
    const std::string updateDir = ProgramDir() + "updateFile";
    const std::string package = updateDir + "/Browser.zip";
    const std::string extracted = updateDir + "/Browser.exe";
    const std::string installed = ProgramDir() + "Browser.exe";
    const std::string staged = ProgramDir() + kStagedBrowserName;
    InstallSucceeded = false;
    try {
        if (FileExists(extracted)) {
            DeleteFile(extracted);
        }
        if (!UnpackPackage()) {
            throw Exception("The package holds no verified Browser.exe");
        }
        DeleteFile(staged);
        if (!CopyFileNoOverwrite(extracted, staged)) {
            throw Exception("The new Browser.exe could not be copied beside the old one");
        }
        if (!ReplaceFile(staged, installed)) {
            DeleteFile(staged);
            throw Exception("The installed Browser.exe could not be replaced");
        }
        DeleteFile(package);
        InstallSucceeded = ShellOpen(installed);
        DeleteFile(extracted);
    } catch (...) {
        // Whatever failed, the old browser is still in place; say where a
        // working one can be had.
        AppMessageBox(std::string(kFailurePrefix) + DownloadSite + kFailureSuffix, "Vesk",
                      MB_OK | MB_ICONEXCLAMATION);
    }
    QCoreApplication::quit();
}
