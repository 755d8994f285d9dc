// zuvo-updater.exe: the update window on Windows, or with --unattended the
// whole update without a person (the exit status tells whether the new
// browser was installed and started).
#include <exception>
#include <memory>
#include <string>

#include "platform/ExceptionDisplay.h"
#include "win32/Program.h"
#include "win32/UpdateMain.h"
#include "win32/Win32Hooks.h"
#include "workflow/PackageSteps.h"
#include "workflow/System.h"
#include "workflow/UnattendedRun.h"

int main() {
    const bool unattended = UnattendedRequested();
    // Set once the window exists; boxes shown before have no owner.
    HWND window = nullptr;
    if (unattended) {
        InstallUnattendedWin32Hooks();
    } else {
        InstallWin32Hooks([&window] { return window; });
    }
    int status = unattended ? 1 : 0;
    try {
        TPackageSteps steps;
        // The window comes first: it is the main window and its timer starts
        // ticking at once, also while a start-up box is open.
        auto frmUpdateMain = std::make_unique<TfrmUpdateMain>(steps);
        window = frmUpdateMain->Handle();
        std::unique_ptr<TUnattendedRun> driver;
        if (unattended) {
            driver = std::make_unique<TUnattendedRun>(*frmUpdateMain->Workflow, *frmUpdateMain);
        }
        auto dmSystem = std::make_unique<TdmSystem>();
        frmUpdateMain->Show();
        RunMessageLoop();
        if (driver) {
            status = driver->ExitStatus();
        }
    } catch (const std::exception& error) {
        ShowException(error);
    } catch (...) {
        ShowException(std::string());
    }
    return status;
}
