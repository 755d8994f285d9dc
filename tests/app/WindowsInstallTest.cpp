// Installing on Windows, with real Windows programs as the browsers: a
// package made on Windows (no Unix modes) installs and its browser starts,
// also in a program directory with a Chinese name; a browser that is
// running cannot be replaced, which must end in the failure box with the
// old browser whole, and the next try after it has ended succeeds.
#include <chrono>
#include <thread>

#include "SignedPackage.h"
#include "WorkflowFixture.h"
#include "platform/FileOps.h"
#include "platform/FileStream.h"
#include "platform/win32/WideText.h"
#include "platform/win32/WindowsApi.h"

namespace {

const std::string kFailureText =
    std::string("更新失败，如果系统不能正常启动请到") + ZUVO_DOWNLOAD_SITE + "重新下载，谢谢！";

// The stand-in browser program with its version appended.
std::string BrowserProgram(const std::string& version) {
    return TempDir::ReadFile(ZUVO_TEST_BROWSER) + "\nversion=" + version + "\n";
}

// As a package made with Windows tools holds it: a DOS-host entry.
ZipBuilder::Entry WindowsBrowserEntry(const std::string& version) {
    return ZipBuilder::Entry{"Browser.exe", BrowserProgram(version), true, 0, false};
}

class WindowsInstall : public WorkflowFixture {
  protected:
    void SetUp() override {
        WorkflowFixture::SetUp();
        steps->PackageKeys = kTrustedPublicKey;
    }

    // Makes `folder` (UTF-8, ending in "/") the program directory with the
    // old browser in it.
    void UseProgramDir(const std::string& folder) {
        programDir = folder;
        ASSERT_TRUE(DirectoryExists(programDir) || CreateDir(programDir));
        steps->ProgramDirOverride = programDir;
        WriteWhole(programDir + "Browser.exe", BrowserProgram("old"));
    }

    void Serve(const SignedPackage& package) {
        ASSERT_TRUE(DirectoryExists(programDir + "updateFile") ||
                    CreateDir(programDir + "updateFile"));
        WriteWhole(programDir + "updateFile/Browser.zip", package.Build());
    }

    static void WriteWhole(const std::string& path, const std::string& bytes) {
        TFileStream out(path, TFileMode::fmCreate);
        out.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    }

    // Whether the browser of `version` has noted its start.
    bool Started(const std::string& version) const {
        const std::string line = "zuvo browser " + version + " started\n";
        for (int i = 0; i < 2000; ++i) {
            if (FileExists(programDir + "browser.log") &&
                TempDir::ReadFile(programDir + "browser.log").find(line) != std::string::npos) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    void ExpectOldBrowserWhole() const {
        EXPECT_EQ(TempDir::ReadFile(programDir + "Browser.exe"), BrowserProgram("old"));
        EXPECT_FALSE(FileExists(programDir + "Browser.exe.old"));
        EXPECT_FALSE(FileExists(programDir + ".Browser.exe.new"));
    }

    std::string programDir;
};

// The old browser, started the way a user has it open: it holds its
// program file until "release" appears beside it.
class RunningBrowser {
  public:
    explicit RunningBrowser(const std::string& programDir) : dir_(programDir) {
        std::wstring commandLine = L"\"" + WidePath(dir_ + "Browser.exe") + L"\" --hold";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        started_ = ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0,
                                    nullptr, nullptr, &startup, &process_) != 0;
    }
    RunningBrowser(const RunningBrowser&) = delete;
    RunningBrowser& operator=(const RunningBrowser&) = delete;
    ~RunningBrowser() {
        if (started_) {
            Release();
            ::CloseHandle(process_.hThread);
            ::CloseHandle(process_.hProcess);
        }
    }

    bool Started() const { return started_; }

    // Lets it end and waits until it has.
    bool Release() {
        TFileStream(dir_ + "release", TFileMode::fmCreate);
        return ::WaitForSingleObject(process_.hProcess, 20000) == WAIT_OBJECT_0;
    }

  private:
    std::string dir_;
    PROCESS_INFORMATION process_{};
    bool started_ = false;
};

}  // namespace

TEST_F(WindowsInstall, AWindowsMadePackageInstallsUnderAChineseNamedFolder) {
    UseProgramDir(dir.Path() + "浏览器/");
    SignedPackage package;
    package.Add(WindowsBrowserEntry("new")).Add({"readme.txt", "notes", true, 0, false});
    Serve(package);
    ASSERT_TRUE(RunInstall()) << steps->InstallError;
    EXPECT_TRUE(hooks.Boxes().empty());
    EXPECT_TRUE(Started("new"));
    EXPECT_EQ(TempDir::ReadFile(programDir + "Browser.exe"), BrowserProgram("new"));
    EXPECT_EQ(TempDir::ReadFile(programDir + "updateFile/readme.txt"), "notes");
    EXPECT_FALSE(FileExists(programDir + "updateFile/Browser.zip"));
    EXPECT_FALSE(FileExists(programDir + "Browser.exe.old"));
    EXPECT_EQ(TempDir::ReadFile(programDir + "zuvo-package.txt"), package.Manifest());
}

TEST_F(WindowsInstall, ARunningBrowserIsKeptWholeAndTheNextTryAfterItEndedSucceeds) {
    UseProgramDir(dir.Path());
    SignedPackage package;
    package.Add(WindowsBrowserEntry("new"));
    Serve(package);
    RunningBrowser running(programDir);
    ASSERT_TRUE(running.Started());
    ASSERT_TRUE(Started("old"));

    EXPECT_FALSE(RunInstall());
    ASSERT_EQ(hooks.Boxes().size(), 1u);
    EXPECT_EQ(hooks.Boxes()[0].text, kFailureText);
    EXPECT_EQ(hooks.Boxes()[0].flags, 0x30u);
    ExpectOldBrowserWhole();
    EXPECT_EQ(TempDir::ReadFile(programDir + "browser.log"), "zuvo browser old started\n");
    EXPECT_TRUE(FileExists(programDir + "updateFile/Browser.zip")) << "kept for another try";

    ASSERT_TRUE(running.Release());
    EXPECT_TRUE(RunInstall()) << steps->InstallError;
    EXPECT_TRUE(Started("new"));
    EXPECT_EQ(TempDir::ReadFile(programDir + "Browser.exe"), BrowserProgram("new"));
}
