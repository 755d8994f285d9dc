#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

#include "RecordingHooks.h"
#include "TempDir.h"
#include "UpdateMain.h"
#include "UpdateServer.h"

// The project's update server, serving one file on a loopback port of the
// system's choosing from a thread of its own until the object goes away.
class ServingThread {
  public:
    explicit ServingThread(const std::string& packagePath)
        : server_(Settings(packagePath), [](const std::string&) {}) {
        server_.Listen();
        thread_ = std::thread([this] { server_.Run(); });
    }
    ServingThread(const ServingThread&) = delete;
    ServingThread& operator=(const ServingThread&) = delete;
    ~ServingThread() {
        server_.Stop();
        thread_.join();
    }

    int Port() const { return server_.Port(); }

  private:
    static TServerSettings Settings(const std::string& packagePath) {
        TServerSettings settings;
        settings.port = 0;
        settings.packagePath = packagePath;
        return settings;
    }

    TUpdateServer server_;
    std::thread thread_;
};

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
