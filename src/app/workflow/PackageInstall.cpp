// The installation step: unpack the verified package, put the new browser
// in place of the old one without ever leaving the program directory
// without a browser, start it, and put the old one back when it cannot
// start.
#include "PackageSteps.h"
#include "WorkflowTexts.h"
#include "package/PackageErrors.h"
#include "platform/Exception.h"
#include "platform/FileOps.h"
#include "platform/FileStream.h"
#include "platform/FileSystem.h"
#include "platform/MessageHooks.h"

namespace {

// The new browser is written under this name beside the old one first, so
// that the old one is replaced in a single rename.
const char* const kStagedBrowserName = ".Browser.exe.new";
// The replaced browser, kept until the new one has started.
const char* const kOldBrowserName = "Browser.exe.old";
// Whatever mode the archive stored: runnable by everyone, never set-ID.
constexpr uint32_t kBrowserMode = 0755;

// Writes a file whole under a temporary name, then renames it into place.
void WriteFileReplacing(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".new";
    {
        TFileStream out(temporary, TFileMode::fmCreate);
        out.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
    }
    if (!ReplaceFile(temporary, path)) {
        DeleteFile(temporary);
        throw Exception("The new " + path + " could not be put in place");
    }
}

}  // namespace

void TPackageSteps::PutInPlace(const std::string& extracted, const std::string& installed) {
    if (PathStatus(extracted, TLinks::DoNotFollow).Kind != TPathKind::Regular) {
        throw EPackageRefused("The extracted Browser.exe is not a regular file");
    }
    const std::string staged = ProgramDir() + kStagedBrowserName;
    const std::string old = ProgramDir() + kOldBrowserName;
    DeleteFile(staged);
    if (!CopyFileNoOverwrite(extracted, staged)) {
        throw Exception("The new Browser.exe could not be copied beside the old one");
    }
    if (!SetPathMode(staged, kBrowserMode)) {
        DeleteFile(staged);
        throw Exception("The new Browser.exe could not be made executable");
    }
    DeleteFile(old);
    if (FileExists(installed) && !CopyFileNoOverwrite(installed, old)) {
        DeleteFile(staged);
        throw Exception("The old Browser.exe could not be kept for a way back");
    }
    if (!ReplaceInstalled(staged, installed)) {
        DeleteFile(staged);
        DeleteFile(old);
        throw Exception("The installed Browser.exe could not be replaced");
    }
}

void TPackageSteps::StartOrRollBack(const std::string& installed) {
    if (ShellOpen(installed)) {
        return;
    }
    const std::string old = ProgramDir() + kOldBrowserName;
    if (FileExists(old)) {
        ReplaceFile(old, installed);
    }
    throw Exception("The new Browser.exe could not be started");
}

void TPackageSteps::FinishInstall(const std::optional<TPackageManifest>& manifest) {
    DeleteFile(ProgramDir() + kOldBrowserName);
    DeleteFile(UpdateDir() + "/Browser.zip");
    DeleteFile(UpdateDir() + "/Browser.exe");
    if (!manifest) {
        return;
    }
    try {
        WriteFileReplacing(InstalledManifestPath(), FormatManifest(*manifest));
    } catch (const Exception&) {
        // The new browser runs; without the record the next package is only
        // compared with nothing, which is no reason to report a failure.
    }
}

bool TPackageSteps::InstallPackage(TUpdateWorkflow&) {
    const std::string installed = ProgramDir() + "Browser.exe";
    InstallError.clear();
    try {
        if (!ClearUpdateDir()) {
            throw Exception("What an earlier run left in the update folder could not be removed");
        }
        const std::optional<TPackageManifest> manifest = UnpackPackage();
        PutInPlace(UpdateDir() + "/Browser.exe", installed);
        StartOrRollBack(installed);
        FinishInstall(manifest);
        return true;
    } catch (const std::exception& e) {
        InstallError = e.what();
    } catch (...) {
        InstallError = "an unknown failure";
    }
    // Whatever failed, the old browser is in place (again). Nothing of a
    // refused extraction stays to be mistaken for part of a later one; the
    // package does, for another try. Say where a working browser can be had.
    ClearUpdateDir();
    AppMessageBox(std::string(kInstallFailedPrefix) + DownloadSite + kInstallFailedSuffix,
                  kFailureCaption, MB_OK | MB_ICONEXCLAMATION);
    return false;
}
