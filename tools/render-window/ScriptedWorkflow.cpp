// The renderer's download and installation: a transfer played through the
// TCP client's own work events, so the window moves through its states
// exactly as it does with a server, without one.
#include "ScriptedWorkflow.h"

#include "UpdateMain.h"
#include "platform/MessageHooks.h"

namespace {

constexpr int kReceives = 600;
constexpr int kHalfWay = 195;

void Receive(TfrmUpdateMain& window, int index) {
    window.TcpClient1->OnWork(window.TcpClient1.get(), wkRead, int64_t{4096} * index);
}

}  // namespace

bool TfrmUpdateMain::DownloadPackage() {
    ProcessMessages();
    for (int i = 1; i <= kReceives; ++i) {
        Receive(*this, i);
        if (i == kHalfWay && ScriptedWorkflow::script == TScript::Ready) {
            ScriptedWorkflow::snapshot("downloading");
        }
    }
    TcpClient1->OnWorkEnd(TcpClient1.get(), wkRead);
    if (ScriptedWorkflow::script == TScript::Failed) {
        // A connection that broke during the transfer: the work end has run,
        // then the failure disables OK again.
        btnOk->setEnabled(false);
        ProcessMessages();
        ScriptedWorkflow::snapshot("failed");
        return false;
    }
    ProcessMessages();
    ScriptedWorkflow::snapshot("ready");
    return true;
}

// The renderer never presses OK.
void TfrmUpdateMain::InstallPackage() {}
