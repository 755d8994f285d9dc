#pragma once

#include <sys/stat.h>

#include <chrono>
#include <string>
#include <thread>

#include "ServingThread.h"
#include "SignedPackage.h"
#include "WorkflowFixture.h"
#include "platform/FileOps.h"

inline const std::string kFailureText =
    std::string("更新失败，如果系统不能正常启动请到") + ZUVO_DOWNLOAD_SITE + "重新下载，谢谢！";

// A browser stand-in that records, beside itself, that it was started.
inline std::string BrowserScript(const std::string& version) {
    return "#!/bin/sh\necho " + version + " >> \"$(dirname \"$0\")/started-" + version + "\"\n";
}

inline ZipBuilder::Entry Browser(const std::string& version, bool breakCrc = false) {
    return ZipBuilder::Entry{"Browser.exe", BrowserScript(version), true, 0755, breakCrc};
}

// A program directory with a working old browser, the installation steps
// trusting the tests' key, and the checks every refusal must pass.
class Install : public WorkflowFixture {
  protected:
    bool installed = false;

    void SetUp() override {
        WorkflowFixture::SetUp();
        steps->PackageKeys = kTrustedPublicKey;
        const std::string old = dir.WriteFile("Browser.exe", BrowserScript("old"));
        ::chmod(old.c_str(), 0755);
    }

    void Serve(const SignedPackage& package) { Serve(package.Build()); }
    void Serve(const std::string& packageBytes) {
        dir.WriteFile("updateFile/Browser.zip", packageBytes);
    }

    // The whole road: the project's server hands the package out on
    // loopback, the window logic downloads it and OK installs it.
    bool UpdateFromServer(const std::string& packageBytes) {
        ServingThread server(dir.WriteFile("served.zip", packageBytes));
        UseLoopbackServer(server.Port());
        EXPECT_TRUE(RunDownload());
        EXPECT_TRUE(workflow->OkEnabled());
        const int endsBefore = view.programEnds;
        workflow->btnOkClick();
        EXPECT_EQ(view.programEnds, endsBefore + 1) << "the program ends in every case";
        EXPECT_EQ(workflow->InstallSucceeded, steps->InstallError.empty()) << steps->InstallError;
        installed = workflow->InstallSucceeded;
        return installed;
    }

    bool Started(const std::string& version) const {
        for (int i = 0; i < 300; ++i) {
            if (FileExists(dir.Path() + "started-" + version)) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    uint32_t ModeOf(const std::string& path) const {
        struct stat info {};
        EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
        return info.st_mode;
    }

    // After a failure: one box with the failure text, and the old browser
    // still installed and still able to run.
    void ExpectOldBrowserKept() {
        EXPECT_FALSE(installed);
        EXPECT_NE(steps->InstallError, "");
        ASSERT_EQ(hooks.Boxes().size(), 1u);
        EXPECT_EQ(hooks.Boxes()[0].text, kFailureText);
        EXPECT_EQ(hooks.Boxes()[0].caption, "Vesk");
        EXPECT_EQ(hooks.Boxes()[0].flags, 0x30u);
        EXPECT_EQ(TempDir::ReadFile(dir.Path() + "Browser.exe"), BrowserScript("old"));
        EXPECT_FALSE(FileExists(dir.Path() + "Browser.exe.old"));
        ASSERT_TRUE(ShellOpen(dir.Path() + "Browser.exe"));
        EXPECT_TRUE(Started("old"));
    }
};
