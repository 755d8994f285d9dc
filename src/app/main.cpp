#include <QPointer>
#include <cstring>

#include "qt/Application.h"
#include "qt/QtHooks.h"
#include "qt/UpdateMain.h"
#include "workflow/UpdaterProgram.h"

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
    return RunUpdaterProgram<TfrmUpdateMain>(
        unattended, [&window](TfrmUpdateMain& made) { window = &made; },
        [](TfrmUpdateMain& made) {
            made.show();
            TApplication::exec();
        });
}
