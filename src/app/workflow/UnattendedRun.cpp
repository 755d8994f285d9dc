#include "UnattendedRun.h"

#include "UpdateView.h"
#include "UpdateWorkflow.h"

TUnattendedRun::TUnattendedRun(TUpdateWorkflow& workflow, IUpdateView& view) : workflow_(workflow) {
    workflow_.OnDownloadDone = [&workflow, &view](bool downloaded) {
        // Press OK from the message loop, not from inside the timer handler
        // that is still returning from the download.
        view.Defer([&workflow, downloaded] {
            if (downloaded && workflow.OkEnabled()) {
                workflow.btnOkClick();
            } else {
                workflow.btnCancelClick();
            }
        });
    };
}

int TUnattendedRun::ExitStatus() const { return workflow_.InstallSucceeded ? 0 : 1; }
