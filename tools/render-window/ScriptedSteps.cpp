#include "ScriptedSteps.h"

#include "platform/MessageHooks.h"
#include "workflow/UpdateWorkflow.h"

namespace {

constexpr int kReceives = 600;
constexpr int kHalfWay = 195;

}  // namespace

TScriptedSteps::TScriptedSteps(TScript script, std::function<void(const char* name)> snapshot)
    : script_(script), snapshot_(std::move(snapshot)) {}

bool TScriptedSteps::DownloadPackage(TUpdateWorkflow& workflow) {
    ProcessMessages();
    for (int i = 1; i <= kReceives; ++i) {
        workflow.TcpClient1Work();
        if (i == kHalfWay && script_ == TScript::Ready) {
            snapshot_("downloading");
        }
    }
    workflow.TcpClient1WorkEnd();
    if (script_ == TScript::Failed) {
        // A connection that broke during the transfer: the work end has run,
        // then the failure takes it back.
        workflow.DownloadFailed();
        ProcessMessages();
        snapshot_("failed");
        return false;
    }
    ProcessMessages();
    snapshot_("ready");
    return true;
}

bool TScriptedSteps::InstallPackage(TUpdateWorkflow&) { return false; }
