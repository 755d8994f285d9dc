#pragma once

#include <exception>
#include <memory>
#include <string>

#include "platform/ExceptionDisplay.h"
#include "workflow/PackageSteps.h"
#include "workflow/System.h"
#include "workflow/UnattendedRun.h"

// The updater's program body, the same for every toolkit: the update
// window first, then the unattended driver when asked for, the system
// data module, the window shown and the toolkit's loop run until the
// program ends. TWindow is the toolkit's TfrmUpdateMain (built from the
// steps, an IUpdateView holding its Workflow). `windowMade(window)` runs
// as soon as the window exists (message boxes get it as their owner);
// `showAndRun(window)` shows it and returns when the loop has ended.
// Returns the exit status: 0 for a person's run, the driver's status for
// an unattended one (1 when it never got that far). An exception that
// ends the run is shown, never passed on.
template <typename TWindow, typename WindowMade, typename ShowAndRun>
int RunUpdaterProgram(bool unattended, WindowMade windowMade, ShowAndRun showAndRun) {
    int status = unattended ? 1 : 0;
    try {
        TPackageSteps steps;
        // The window comes first: it is the main window and its timer starts
        // ticking at once, also while a start-up box is open.
        auto frmUpdateMain = std::make_unique<TWindow>(steps);
        windowMade(*frmUpdateMain);
        std::unique_ptr<TUnattendedRun> driver;
        if (unattended) {
            driver = std::make_unique<TUnattendedRun>(*frmUpdateMain->Workflow, *frmUpdateMain);
        }
        auto dmSystem = std::make_unique<TdmSystem>();
        showAndRun(*frmUpdateMain);
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
