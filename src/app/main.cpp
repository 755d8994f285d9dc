#include <exception>
#include <memory>

#include "Application.h"
#include "QtHooks.h"
#include "System.h"
#include "UpdateMain.h"
#include "platform/ExceptionDisplay.h"

int main(int argc, char** argv) {
    TApplication application(argc, argv);
    application.setQuitOnLastWindowClosed(false);
    InstallQtHooks();
    try {
        // The window comes first: it is the main window and its timer starts
        // ticking at once, also while a start-up box is open.
        auto frmUpdateMain = std::make_unique<TfrmUpdateMain>();
        auto dmSystem = std::make_unique<TdmSystem>();
        frmUpdateMain->show();
        TApplication::exec();
    } catch (const std::exception& error) {
        ShowException(error);
    } catch (...) {
        ShowException(std::string());
    }
    return 0;
}
