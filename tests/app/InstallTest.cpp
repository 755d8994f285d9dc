// Installing a downloaded package: what ends up where, and that every
// failure keeps the old browser in place and runnable.
#include "InstallFixture.h"
#include "platform/FileSystem.h"

TEST_F(Install, OnlyBrowserExeReplacesStartsAndCleansUp) {
    SignedPackage package;
    package.Add(Browser("new"));
    Serve(package);
    installed = RunInstall();
    EXPECT_TRUE(installed) << steps->InstallError;
    EXPECT_TRUE(hooks.Boxes().empty());
    EXPECT_TRUE(Started("new"));
    EXPECT_EQ(TempDir::ReadFile(dir.Path() + "Browser.exe"), BrowserScript("new"));
    EXPECT_EQ(ModeOf(dir.Path() + "Browser.exe") & 07777, 0755u);
    EXPECT_FALSE(FileExists(UpdateDir() + "Browser.zip"));
    EXPECT_FALSE(FileExists(UpdateDir() + "Browser.exe"));
    EXPECT_FALSE(FileExists(dir.Path() + ".Browser.exe.new"));
    EXPECT_FALSE(FileExists(dir.Path() + "Browser.exe.old"));
    EXPECT_EQ(TempDir::ReadFile(dir.Path() + "zuvo-package.txt"), package.Manifest());
}

TEST_F(Install, FurtherFilesStayBelowTheUpdateDirectory) {
    Serve(SignedPackage()
              .Add(Browser("new"))
              .Add(ZipBuilder::Entry{"plugins/sub/readme.txt", "plugin notes", true, 0644}));
    installed = RunInstall();
    EXPECT_TRUE(installed) << steps->InstallError;
    EXPECT_EQ(TempDir::ReadFile(UpdateDir() + "plugins/sub/readme.txt"), "plugin notes");
    EXPECT_FALSE(FileExists(dir.Path() + "plugins/sub/readme.txt"));
}

// Whatever an earlier run left in the update folder (an extracted browser,
// a folder where the browser would go, other files) is removed before the
// extraction: no questions, nothing blocking.
TEST_F(Install, LeftoversOfAnEarlierRunAreRemovedWithoutQuestions) {
    for (const std::string& leftover : {std::string("Browser.exe"), std::string("notes.txt")}) {
        RecordingHooks boxes;
        dir.WriteFile("updateFile/" + leftover, "left over by an interrupted run");
        ASSERT_TRUE(CreateDir(UpdateDir() + "plugins"));
        ASSERT_TRUE(MakeSymbolicLink(dir.Path() + "Browser.exe", UpdateDir() + "plugins/link"));
        Serve(SignedPackage().Add(Browser("new")).Add({"notes.txt", "new notes"}));
        EXPECT_TRUE(RunInstall());
        EXPECT_TRUE(boxes.Boxes().empty());
        EXPECT_EQ(TempDir::ReadFile(UpdateDir() + "notes.txt"), "new notes");
        EXPECT_FALSE(FileExists(UpdateDir() + "plugins/link"));
        // The link's target, the installed browser, was not touched by the removal.
        EXPECT_EQ(TempDir::ReadFile(dir.Path() + "Browser.exe"), BrowserScript("new"));
        dir.WriteFile("Browser.exe", BrowserScript("old"));
        DeleteFile(dir.Path() + "zuvo-package.txt");
    }
}

TEST_F(Install, AFolderNamedLikeTheBrowserInTheUpdateFolderDoesNotBlock) {
    ASSERT_TRUE(CreateDir(UpdateDir()));
    ASSERT_TRUE(CreateDir(UpdateDir() + "Browser.exe"));
    dir.WriteFile("updateFile/Browser.exe/inside", "x");
    Serve(SignedPackage().Add(Browser("new")));
    installed = RunInstall();
    EXPECT_TRUE(installed) << steps->InstallError;
    EXPECT_TRUE(hooks.Boxes().empty());
    EXPECT_TRUE(Started("new"));
}

TEST_F(Install, PackageWithoutBrowserExeKeepsTheOldBrowser) {
    Serve(SignedPackage().Add({"sub/Browser.exe", BrowserScript("new")}).Add({"readme.txt", "x"}));
    installed = RunInstall();
    ExpectOldBrowserKept();
    EXPECT_TRUE(FileExists(UpdateDir() + "Browser.zip"));
}

TEST_F(Install, BrowserExeFailingItsCheckValueKeepsTheOldBrowser) {
    Serve(SignedPackage().Add(Browser("new", true)));
    installed = RunInstall();
    ExpectOldBrowserKept();
    EXPECT_FALSE(FileExists(UpdateDir() + "Browser.exe"));
}

TEST_F(Install, TruncatedOrCorruptPackagesKeepTheOldBrowser) {
    const std::string whole = SignedPackage().Add(Browser("new")).Build();
    for (const std::string& bad :
         {whole.substr(0, whole.size() / 2), std::string("not a zip"), std::string()}) {
        RecordingHooks boxes;
        Serve(bad);
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
    Serve(SignedPackage().Add(Browser("new")));
    installed = RunInstall();
    ExpectOldBrowserKept();
    EXPECT_TRUE(FileExists(UpdateDir() + "Browser.zip"));
}

// The rename over the installed browser is the one step that touches it; when
// it fails the old browser stays, the staged copy goes, and the workflow
// does not count the update as done.
TEST_F(Install, AFailingReplaceOfTheInstalledBrowserKeepsIt) {
    Serve(SignedPackage().Add(Browser("new")));
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
    steps->ServerHosts = {"127.0.0.2", "127.0.0.1"};
    ServingThread server(dir.WriteFile(
        "served.zip", SignedPackage().Add(Browser("new")).Add({"a/b.txt", "b"}).Build()));
    steps->ServerPort = server.Port();
    ASSERT_TRUE(RunDownload());
    ASSERT_TRUE(workflow->OkEnabled());
    workflow->btnOkClick();
    EXPECT_TRUE(workflow->InstallSucceeded);
    EXPECT_EQ(view.programEnds, 1);
    EXPECT_TRUE(Started("new"));
    EXPECT_TRUE(hooks.Boxes().empty());
}

// A build without package keys installs any package, as before signing
// existed; the browser is still made executable and rolled back.
TEST_F(Install, WithoutKeysAnUnsignedPackageInstallsRunnable) {
    steps->PackageKeys.clear();
    Serve(ZipBuilder()
              .Add(ZipBuilder::Entry{"Browser.exe", BrowserScript("new"), true, 0644})
              .Add("plugins/readme.txt", "notes")
              .Build());
    installed = RunInstall();
    EXPECT_TRUE(installed) << steps->InstallError;
    EXPECT_TRUE(Started("new"));
    EXPECT_EQ(ModeOf(dir.Path() + "Browser.exe") & 07777, 0755u);
    EXPECT_EQ(TempDir::ReadFile(UpdateDir() + "plugins/readme.txt"), "notes");
    EXPECT_FALSE(FileExists(dir.Path() + "zuvo-package.txt"));
}

TEST_F(Install, WithoutKeysABrowserThatCannotStartIsRolledBack) {
    steps->PackageKeys.clear();
    Serve(ZipBuilder()
              .Add(ZipBuilder::Entry{"Browser.exe",
                                     "\x7f"
                                     "ELF garbage",
                                     false, 0755})
              .Build());
    installed = RunInstall();
    ExpectOldBrowserKept();
}
