#include <QPointer>
#include <cstring>
#include <exception>
#include <memory>

#include "platform/ExceptionDisplay.h"
#include "qt/Application.h"
#include "qt/QtHooks.h"
#include "qt/UpdateMain.h"
#include "workflow/PackageSteps.h"
#include "workflow/System.h"
#include "workflow/UnattendedRun.h"

namespace {

// The one switch the program knows: run the whole update without a person.
bool UnattendedRequested(int argc, char** argv) {
    return argc == 2 && std::strcmp(argv[1], "--unattended") == 0;
}

}  // namespace

int main(int argc, char** argv) {
    const bool unattended = UnattendedRequested(argc, argv);
    TApplication application(argc, argv);
    application.setQuitOnLastWindowClosed(false);
    // Set once the window exists; boxes shown before have no owner.
    QPointer<QWidget> window;
    if (unattended) {
        InstallUnattendedHooks();
    } else {
        InstallQtHooks([&window] { return window.data(); });
    }
    int status = unattended ? 1 : 0;
    try {
        TPackageSteps steps;
        // The window comes first: it is the main window and its timer starts
        // ticking at once, also while a start-up box is open.
        auto frmUpdateMain = std::make_unique<TfrmUpdateMain>(steps);
        window = frmUpdateMain.get();
        std::unique_ptr<TUnattendedRun> driver;
        if (unattended) {
            driver = std::make_unique<TUnattendedRun>(*frmUpdateMain->Workflow, *frmUpdateMain);
        }
        auto dmSystem = std::make_unique<TdmSystem>();
        frmUpdateMain->show();
        TApplication::exec();
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
