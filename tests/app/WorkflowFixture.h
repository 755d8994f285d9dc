#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "RecordingHooks.h"
#include "TempDir.h"
#include "UpdateMain.h"

// A real update window, offscreen, whose program directory is a scratch
// folder and whose timer is stopped so that tests drive the workflow.
class WorkflowFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        window = std::make_unique<TfrmUpdateMain>();
        window->Timer1->stop();
        window->ProgramDirOverride = dir.Path();
    }

    std::string UpdateDir() const { return dir.Path() + "updateFile/"; }
    std::string PackageBytes() const { return TempDir::ReadFile(UpdateDir() + "Browser.zip"); }

    TempDir dir;
    RecordingHooks hooks;
    std::unique_ptr<TfrmUpdateMain> window;
};

// The reply line the client accepts, with its terminator.
inline const std::string kReply = "ok_down_load_update_browser\r\n";
