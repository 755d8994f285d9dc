#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "RecordingHooks.h"
#include "RecordingView.h"
#include "TempDir.h"
#include "workflow/PackageSteps.h"
#include "workflow/UpdateWorkflow.h"

// Timings short enough for tests: the reply wait still leaves a loopback
// server ample time, and the work end barely pauses.
inline TWorkflowTimings TestTimings() {
    TWorkflowTimings timings;
    timings.WorkEndPauseMs = 10;
    timings.ReplyWaitMs = 2000;
    return timings;
}

// The real download and installation steps driven by the window logic over
// a recording view, with a scratch folder as the program directory.
class WorkflowFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        steps = std::make_unique<TPackageSteps>();
        steps->ProgramDirOverride = dir.Path();
        workflow = std::make_unique<TUpdateWorkflow>(view, *steps, TestTimings());
    }

    std::string UpdateDir() const { return dir.Path() + "updateFile/"; }
    std::string PackageBytes() const { return TempDir::ReadFile(UpdateDir() + "Browser.zip"); }
    bool RunDownload() { return steps->DownloadPackage(*workflow); }
    bool RunInstall() { return steps->InstallPackage(*workflow); }
    // The download asks only the loopback server listening on `port`.
    void UseLoopbackServer(int port) {
        steps->ServerHosts = {"127.0.0.1"};
        steps->ServerPort = port;
    }

    TempDir dir;
    RecordingHooks hooks;
    RecordingView view;
    std::unique_ptr<TPackageSteps> steps;
    std::unique_ptr<TUpdateWorkflow> workflow;
};

// The reply line the client accepts, with its terminator.
inline const std::string kReply = "ok_down_load_update_browser\r\n";
