#pragma once

#include <functional>

#include "workflow/UpdateSteps.h"
#include "workflow/UpdateWorkflow.h"

// Download and installation steps for the window logic's tests: they count
// their calls and run what a test asks of them. Without a script the
// download succeeds and the installation fails.
class FakeSteps : public IUpdateSteps {
  public:
    bool DownloadPackage(TUpdateWorkflow& workflow) override {
        ++downloads;
        return onDownload ? onDownload(workflow) : true;
    }
    bool InstallPackage(TUpdateWorkflow& workflow) override {
        ++installs;
        return onInstall ? onInstall(workflow) : false;
    }

    int downloads = 0;
    int installs = 0;
    std::function<bool(TUpdateWorkflow&)> onDownload;
    std::function<bool(TUpdateWorkflow&)> onInstall;
};
