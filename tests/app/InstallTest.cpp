#include <sys/stat.h>

#include <chrono>
#include <thread>

#include "WorkflowFixture.h"
#include "ZipBuilder.h"
#include "platform/FileOps.h"

namespace {

const std::string kFailureText =
    std::string("更新失败，如果系统不能正常启动请到") + ZUVO_DOWNLOAD_SITE + "重新下载，谢谢！";

// A browser stand-in that records, beside itself, that it was started.
std::string BrowserScript(const std::string& version) {
    return "#!/bin/sh\necho " + version + " >> \"$(dirname \"$0\")/started-" + version + "\"\n";
}

ZipBuilder::Entry Browser(const std::string& version, bool breakCrc = false) {
    return ZipBuilder::Entry{"Browser.exe", BrowserScript(version), true, 0755, breakCrc};
}

class Install : public WorkflowFixture {
  protected:
    bool installed = false;

    void SetUp() override {
        WorkflowFixture::SetUp();
        const std::string old = dir.WriteFile("Browser.exe", BrowserScript("old"));
        ::chmod(old.c_str(), 0755);
    }

    void Serve(const ZipBuilder& package) {
        dir.WriteFile("updateFile/Browser.zip", package.Build());
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

    // After a failure: one box with the failure text, and the old browser
    // still installed and still able to run.
    void ExpectOldBrowserKept() {
        EXPECT_FALSE(installed);
        ASSERT_EQ(hooks.Boxes().size(), 1u);
        EXPECT_EQ(hooks.Boxes()[0].text, kFailureText);
        EXPECT_EQ(hooks.Boxes()[0].caption, "Vesk");
        EXPECT_EQ(hooks.Boxes()[0].flags, 0x30u);
        EXPECT_EQ(TempDir::ReadFile(dir.Path() + "Browser.exe"), BrowserScript("old"));
        ASSERT_TRUE(ShellOpen(dir.Path() + "Browser.exe"));
        EXPECT_TRUE(Started("old"));
    }
};

}  // namespace

TEST_F(Install, OnlyBrowserExeReplacesStartsAndCleansUp) {
    Serve(ZipBuilder().Add(Browser("new")));
    installed = RunInstall();
    EXPECT_TRUE(installed);
    EXPECT_TRUE(hooks.Boxes().empty());
    EXPECT_TRUE(Started("new"));
    EXPECT_EQ(TempDir::ReadFile(dir.Path() + "Browser.exe"), BrowserScript("new"));
    struct stat info {};
    ASSERT_EQ(::stat((dir.Path() + "Browser.exe").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0755u);
    EXPECT_FALSE(FileExists(UpdateDir() + "Browser.zip"));
    EXPECT_FALSE(FileExists(UpdateDir() + "Browser.exe"));
    EXPECT_FALSE(FileExists(dir.Path() + ".Browser.exe.new"));
}

TEST_F(Install, FurtherFilesStayBelowTheUpdateDirectory) {
    Serve(ZipBuilder().Add(Browser("new")).Add("plugins/sub/readme.txt", "plugin notes", true));
    installed = RunInstall();
    EXPECT_TRUE(installed);
    EXPECT_EQ(TempDir::ReadFile(UpdateDir() + "plugins/sub/readme.txt"), "plugin notes");
    EXPECT_FALSE(FileExists(dir.Path() + "plugins/sub/readme.txt"));
}

TEST_F(Install, AnOldExtractedCopyIsRemovedSoNoQuestionIsAsked) {
    dir.WriteFile("updateFile/Browser.exe", "left over by an interrupted run");
    Serve(ZipBuilder().Add(Browser("new")));
    installed = RunInstall();
    EXPECT_TRUE(installed);
    EXPECT_TRUE(hooks.Boxes().empty());
}

TEST_F(Install, AnotherExistingFileIsAskedAboutAndEitherAnswerGoesOn) {
    dir.WriteFile("updateFile/notes.txt", "old notes");
    Serve(ZipBuilder().Add("notes.txt", "new notes").Add(Browser("new")));
    hooks.Answer(IDNO);
    installed = RunInstall();
    ASSERT_EQ(hooks.Boxes().size(), 1u);
    EXPECT_EQ(hooks.Boxes()[0].text, "Replace existing file notes.txt?");
    EXPECT_EQ(hooks.Boxes()[0].caption, "File Exists Alert");
    EXPECT_EQ(hooks.Boxes()[0].flags, unsigned(MB_YESNO));
    EXPECT_EQ(TempDir::ReadFile(UpdateDir() + "notes.txt"), "old notes");
    EXPECT_TRUE(installed);
}

TEST_F(Install, PackageWithoutBrowserExeKeepsTheOldBrowser) {
    Serve(ZipBuilder().Add("sub/Browser.exe", BrowserScript("new")).Add("readme.txt", "x"));
    installed = RunInstall();
    ExpectOldBrowserKept();
    EXPECT_TRUE(FileExists(UpdateDir() + "Browser.zip"));
}

TEST_F(Install, BrowserExeFailingItsCheckValueKeepsTheOldBrowser) {
    Serve(ZipBuilder().Add(Browser("new", true)));
    installed = RunInstall();
    ExpectOldBrowserKept();
    EXPECT_FALSE(FileExists(UpdateDir() + "Browser.exe"));
}

TEST_F(Install, TruncatedOrCorruptPackagesKeepTheOldBrowser) {
    const std::string whole = ZipBuilder().Add(Browser("new")).Build();
    for (const std::string& bad :
         {whole.substr(0, whole.size() / 2), std::string("not a zip"), std::string()}) {
        RecordingHooks boxes;
        dir.WriteFile("updateFile/Browser.zip", bad);
        installed = RunInstall();
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].text, kFailureText);
        EXPECT_EQ(TempDir::ReadFile(dir.Path() + "Browser.exe"), BrowserScript("old"));
    }
}

TEST_F(Install, AnInstalledBrowserThatCannotBeReplacedIsKept) {
    // A folder where the new copy would be staged makes the copy fail.
    ASSERT_TRUE(CreateDir(dir.Path() + ".Browser.exe.new"));
    dir.WriteFile(".Browser.exe.new/keep", "");
    Serve(ZipBuilder().Add(Browser("new")));
    installed = RunInstall();
    ExpectOldBrowserKept();
    EXPECT_TRUE(FileExists(UpdateDir() + "Browser.zip"));
}

// The rename over the installed browser is the one step that touches it; when
// it fails the old browser stays, the staged copy goes, and the workflow
// does not count the update as done.
TEST_F(Install, AFailingReplaceOfTheInstalledBrowserKeepsIt) {
    Serve(ZipBuilder().Add(Browser("new")));
    int replaces = 0;
    steps->ReplaceInstalled = [&](const std::string& staged, const std::string& target) {
        ++replaces;
        EXPECT_EQ(TempDir::ReadFile(staged), BrowserScript("new"));
        EXPECT_EQ(target, dir.Path() + "Browser.exe");
        return false;
    };
    workflow->TcpClient1WorkEnd();
    ASSERT_TRUE(workflow->OkEnabled());
    workflow->btnOkClick();
    EXPECT_EQ(replaces, 1);
    EXPECT_FALSE(workflow->InstallSucceeded);
    EXPECT_EQ(view.programEnds, 1);
    EXPECT_FALSE(FileExists(dir.Path() + ".Browser.exe.new"));
    EXPECT_TRUE(FileExists(UpdateDir() + "Browser.zip")) << "kept for another try";
    EXPECT_FALSE(FileExists(dir.Path() + "started-new"));
    ExpectOldBrowserKept();
}

TEST_F(Install, WholeUpdateFromTheProjectsServer) {
    ServingThread server(
        dir.WriteFile("served.zip", ZipBuilder().Add(Browser("new")).Add("a/b.txt", "b").Build()));
    steps->ServerHosts = {"127.0.0.2", "127.0.0.1"};
    steps->ServerPort = server.Port();
    ASSERT_TRUE(RunDownload());
    ASSERT_TRUE(workflow->OkEnabled());
    workflow->btnOkClick();
    EXPECT_TRUE(workflow->InstallSucceeded);
    EXPECT_EQ(view.programEnds, 1);
    EXPECT_TRUE(Started("new"));
    EXPECT_TRUE(hooks.Boxes().empty());
}
