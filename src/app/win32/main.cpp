// zuvo-updater.exe: the update window on Windows, or with --unattended the
// whole update without a person (the exit status tells whether the new
// browser was installed and started).
#include "win32/Program.h"
#include "win32/UpdateMain.h"
#include "win32/Win32Hooks.h"
#include "workflow/UpdaterProgram.h"

int main() {
    const bool unattended = UnattendedRequested();
    // Set once the window exists; boxes shown before have no owner.
    HWND window = nullptr;
    if (unattended) {
        InstallUnattendedWin32Hooks();
    } else {
        InstallWin32Hooks([&window] { return window; });
    }
    return RunUpdaterProgram<TfrmUpdateMain>(
        unattended, [&window](TfrmUpdateMain& made) { window = made.Handle(); },
        [](TfrmUpdateMain& made) {
            made.Show();
            RunMessageLoop();
        });
}
