// The whole update road with signed packages: the project's server on
// loopback, the window logic downloading and installing. Only a package
// signed by a trusted key, for this product, newer than the installed one
// and holding exactly what its manifest lists is installed; every other
// one ends in the failure box with the old browser in place and running.
#include <functional>

#include "InstallFixture.h"
#include "Pack.h"

namespace {

SignedPackage NewBrowser(const std::string& version = "2.0") {
    SignedPackage package;
    package.version = version;
    package.Add(Browser("new")).Add({"plugins/readme.txt", "notes", true, 0644});
    return package;
}

// The installed state after an earlier update to `version`.
void RecordInstalled(const TempDir& dir, const std::string& version) {
    SignedPackage earlier;
    earlier.version = version;
    earlier.Add(Browser("old"));
    dir.WriteFile("zuvo-package.txt", earlier.Manifest());
}

struct Refusal {
    const char* fault;
    std::function<void(SignedPackage&)> spoil;
};

const Refusal kRefusals[] = {
    {"unsigned: no manifest and no signature",
     [](SignedPackage& p) { p.withManifest = p.withSignature = false; }},
    {"a manifest without its signature", [](SignedPackage& p) { p.withSignature = false; }},
    {"a signature without its manifest", [](SignedPackage& p) { p.withManifest = false; }},
    {"a corrupt signature file",
     [](SignedPackage& p) { p.tamperSignature = [](std::string& s) { s[60] ^= 0x01; }; }},
    {"a signature file of random text",
     [](SignedPackage& p) { p.tamperSignature = [](std::string& s) { s = "no signature\n"; }; }},
    {"the manifest changed after signing",
     [](SignedPackage& p) {
         p.tamperManifest = [](std::string& m) { m.replace(m.find("2.0"), 3, "9.0"); };
     }},
    {"the trusted comment changed after signing",
     [](SignedPackage& p) {
         p.tamperSignature = [](std::string& s) { s.replace(s.find("timestamp:"), 3, "TIM"); };
     }},
    {"Browser.exe changed after signing",
     [](SignedPackage& p) {
         p.tamperEntries = [](std::vector<ZipBuilder::Entry>& e) { e[0].data[12] ^= 0x20; };
     }},
    {"Browser.exe longer than listed",
     [](SignedPackage& p) {
         p.tamperEntries = [](std::vector<ZipBuilder::Entry>& e) { e[0].data += "rm -rf ~\n"; };
     }},
    {"Browser.exe shorter than listed",
     [](SignedPackage& p) {
         p.tamperEntries = [](std::vector<ZipBuilder::Entry>& e) { e[0].data.pop_back(); };
     }},
    {"signed by a key the build does not trust",
     [](SignedPackage& p) { p.secretKey = kOtherSecretKey; }},
    {"for another product", [](SignedPackage& p) { p.product = "zuvo-mail"; }},
    {"an entry the manifest does not list",
     [](SignedPackage& p) {
         p.AddUnlisted({"payload.sh", "#!/bin/sh\nid\n", false, 0755});
     }},
    {"a listed file twice in the archive",
     [](SignedPackage& p) { p.AddUnlisted(Browser("evil")); }},
    {"a listed file missing from the archive",
     [](SignedPackage& p) {
         p.tamperEntries = [](std::vector<ZipBuilder::Entry>& e) { e.pop_back(); };
     }},
};

}  // namespace

TEST_F(Install, ASignedPackageInstallsFromTheServerAndItsBrowserRuns) {
    const SignedPackage package = NewBrowser();
    EXPECT_TRUE(UpdateFromServer(package.Build()));
    EXPECT_TRUE(hooks.Boxes().empty());
    EXPECT_TRUE(Started("new"));
    EXPECT_EQ(TempDir::ReadFile(UpdateDir() + "plugins/readme.txt"), "notes");
    EXPECT_EQ(TempDir::ReadFile(dir.Path() + "zuvo-package.txt"), package.Manifest());
    EXPECT_FALSE(FileExists(dir.Path() + "Browser.exe.old"));
}

// What the packing tool writes is what the updater installs.
TEST_F(Install, APackageMadeByZuvoPackInstalls) {
    ASSERT_TRUE(CreateDir(dir.Path() + "pack"));
    ASSERT_TRUE(CreateDir(dir.Path() + "pack/plugins"));
    dir.WriteFile("pack/Browser.exe", BrowserScript("new"));
    dir.WriteFile("pack/plugins/readme.txt", "notes");
    TPackOptions options;
    options.secretKeyPath = dir.WriteFile("key.sec", kTrustedSecretKey);
    options.version = "3.1.4";
    options.sourceDir = dir.Path() + "pack";
    EXPECT_TRUE(UpdateFromServer(MakePackage(options)));
    EXPECT_TRUE(Started("new"));
    EXPECT_EQ(TempDir::ReadFile(UpdateDir() + "plugins/readme.txt"), "notes");
    EXPECT_EQ(ParseManifest(TempDir::ReadFile(dir.Path() + "zuvo-package.txt")).version, "3.1.4");
}

TEST_F(Install, EachRefusedPackageShowsTheBoxAndKeepsTheOldBrowser) {
    for (const Refusal& refusal : kRefusals) {
        SCOPED_TRACE(refusal.fault);
        RecordingHooks boxes;
        SetUp();
        SignedPackage package = NewBrowser();
        refusal.spoil(package);
        EXPECT_FALSE(UpdateFromServer(package.Build()));
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].text, kFailureText);
        EXPECT_EQ(TempDir::ReadFile(dir.Path() + "Browser.exe"), BrowserScript("old"));
        EXPECT_FALSE(FileExists(dir.Path() + "Browser.exe.old"));
        EXPECT_FALSE(FileExists(dir.Path() + "zuvo-package.txt"));
        EXPECT_FALSE(FileExists(UpdateDir() + "payload.sh"));
        EXPECT_FALSE(FileExists(UpdateDir() + "Browser.exe"));
        EXPECT_FALSE(FileExists(dir.Path() + "started-new"));
        EXPECT_FALSE(FileExists(dir.Path() + "started-evil"));
    }
    ASSERT_TRUE(ShellOpen(dir.Path() + "Browser.exe"));
    EXPECT_TRUE(Started("old"));
}

TEST_F(Install, OnlyANewerVersionThanTheInstalledOneIsAccepted) {
    RecordInstalled(dir, "2.0.9");
    for (const char* older : {"2.0.9", "2.0.9.0", "2.0.8", "1.99.99"}) {
        SCOPED_TRACE(older);
        RecordingHooks boxes;
        SetUp();
        EXPECT_FALSE(UpdateFromServer(NewBrowser(older).Build()));
        EXPECT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(TempDir::ReadFile(dir.Path() + "Browser.exe"), BrowserScript("old"));
    }
    SetUp();
    const SignedPackage newer = NewBrowser("2.0.10");
    EXPECT_TRUE(UpdateFromServer(newer.Build()));
    EXPECT_TRUE(Started("new"));
    EXPECT_EQ(TempDir::ReadFile(dir.Path() + "zuvo-package.txt"), newer.Manifest());
}

// Catches a record of the installed version that a crash cut short
// refusing every package from then on.
TEST_F(Install, ADamagedRecordOfTheInstalledVersionIsTakenAsNone) {
    dir.WriteFile("zuvo-package.txt", "zuvo-package 1\nproduct zuvo-bro");
    EXPECT_TRUE(UpdateFromServer(NewBrowser("1.0").Build()));
    EXPECT_TRUE(Started("new"));
    EXPECT_EQ(ParseManifest(TempDir::ReadFile(dir.Path() + "zuvo-package.txt")).version, "1.0");
}

TEST_F(Install, TheLegacySignatureAndASecondBuiltInKeyAreAccepted) {
    steps->PackageKeys = std::string(kOtherPublicKey) + ";" + kTrustedPublicKey;
    SignedPackage package = NewBrowser();
    package.legacySignature = true;
    EXPECT_TRUE(UpdateFromServer(package.Build()));
    EXPECT_TRUE(Started("new"));
}

// Whatever mode the archive gives Browser.exe (none at all from a Windows
// zip, 0644, set-user-ID), it is installed as a plain 0755 file.
TEST_F(Install, BrowserExeIsInstalledExecutableWhateverTheArchiveSays) {
    for (const uint32_t stored : {0u, 0644u, 04755u, 0600u}) {
        SCOPED_TRACE(stored);
        RecordingHooks boxes;
        SetUp();
        DeleteFile(dir.Path() + "started-new");
        DeleteFile(dir.Path() + "zuvo-package.txt");
        SignedPackage package;
        package.Add(ZipBuilder::Entry{"Browser.exe", BrowserScript("new"), true, stored});
        EXPECT_TRUE(UpdateFromServer(package.Build()));
        EXPECT_TRUE(boxes.Boxes().empty());
        EXPECT_TRUE(Started("new"));
        const uint32_t mode = ModeOf(dir.Path() + "Browser.exe");
        EXPECT_TRUE(S_ISREG(mode));
        EXPECT_EQ(mode & 07777, 0755u);
    }
}

// A new browser the system cannot run is replaced by the old one again.
TEST_F(Install, ABrowserThatCannotStartIsRolledBack) {
    for (const std::string& unrunnable :
         {std::string("echo a script without its #! line\n"), std::string("\x7f\x45LF\x02garbage"),
          std::string("MZ\x90\x00 a Windows program", 22), std::string()}) {
        RecordingHooks boxes;
        SetUp();
        SignedPackage package;
        package.Add(ZipBuilder::Entry{"Browser.exe", unrunnable, true, 0755});
        EXPECT_FALSE(UpdateFromServer(package.Build()));
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].text, kFailureText);
        EXPECT_EQ(TempDir::ReadFile(dir.Path() + "Browser.exe"), BrowserScript("old"));
        EXPECT_FALSE(FileExists(dir.Path() + "Browser.exe.old"));
        EXPECT_FALSE(FileExists(dir.Path() + "zuvo-package.txt")) << "not recorded as installed";
    }
    ASSERT_TRUE(ShellOpen(dir.Path() + "Browser.exe"));
    EXPECT_TRUE(Started("old"));
}

// The browser must not hold the updater's standard streams: a script that
// reads the updater's output would wait for the browser to end.
TEST_F(Install, TheStartedBrowserHasNullStandardStreams) {
    const std::string script =
        "#!/bin/sh\nd=\"$(dirname \"$0\")\"\n"
        "s=$(readlink /proc/$$/fd/0 /proc/$$/fd/1 /proc/$$/fd/2)\n"
        "echo \"$s\" > \"$d/streams.tmp\"\n"
        "mv \"$d/streams.tmp\" \"$d/started-new\"\n";
    SignedPackage package;
    package.Add(ZipBuilder::Entry{"Browser.exe", script, true, 0755});
    EXPECT_TRUE(UpdateFromServer(package.Build()));
    ASSERT_TRUE(Started("new"));
    EXPECT_EQ(TempDir::ReadFile(dir.Path() + "started-new"), "/dev/null\n/dev/null\n/dev/null\n");
}
