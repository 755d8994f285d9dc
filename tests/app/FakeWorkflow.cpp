// Linked into the window tests in place of the real download and
// installation, so the window's own workflow can be driven without a server.
#include "FakeWorkflow.h"

#include "UpdateMain.h"

bool TfrmUpdateMain::DownloadPackage() {
    ++FakeWorkflow::downloads;
    if (FakeWorkflow::onDownload) {
        FakeWorkflow::onDownload(*this);
    }
    return true;
}

void TfrmUpdateMain::InstallPackage() {
    ++FakeWorkflow::installs;
    if (FakeWorkflow::onInstall) {
        FakeWorkflow::onInstall(*this);
    }
}
