// zuvo-pack as a program: with a key minisign itself made (with and
// without a password), what it writes is accepted by minisign -V, lists
// every file with its hash, and stores sane modes; every bad input fails
// without leaving a package behind.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "TempDir.h"
#include "package/Crypto.h"
#include "package/Manifest.h"
#include "platform/FileOps.h"
#include "platform/FileSystem.h"
#include "zip/UnZipper.h"

namespace {

int Shell(const std::string& command) {
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

class PackTool : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(Shell("minisign -G -W -p " + Quoted(pub) + " -s " + Quoted(sec)), 0);
        MakeSource();
    }

    void MakeSource() {
        ASSERT_TRUE(CreateDir(dir.Path() + "src"));
        ASSERT_TRUE(CreateDir(dir.Path() + "src/lib"));
        // On disk without any execute bit: the package still makes it 0755.
        ::chmod(dir.WriteFile("src/Browser.exe", "#!/bin/sh\necho new\n").c_str(), 0600);
        ::chmod(dir.WriteFile("src/lib/x.so", std::string(5000, 'x')).c_str(), 0755);
    }

    int Pack(const std::string& version, const std::string& key, const std::string& input = "") {
        const std::string feed = input.empty() ? "" : "printf " + Quoted(input) + " | ";
        return Shell(feed + ZUVO_PACK_EXE + std::string(" --key ") + Quoted(key) + " --version " +
                     Quoted(version) + " " + Quoted(dir.Path() + "src") + " " + Quoted(out));
    }

    // Extracts the manifest and its signature beside the package and lets
    // minisign judge them.
    int MinisignVerdict(const std::string& publicKey) {
        TUnZipper zip;
        zip.SetZipName(out);
        for (const std::string_view name : {kManifestName, kManifestSignatureName}) {
            std::vector<uint8_t> bytes;
            EXPECT_EQ(zip.UnZipToBuffer(bytes, std::string(name)), 1);
            dir.WriteFile(std::string(name), std::string(bytes.begin(), bytes.end()));
        }
        return Shell("minisign -V -q -m " + Quoted(dir.Path() + std::string(kManifestName)) +
                     " -p " + Quoted(publicKey));
    }

    TempDir dir;
    const std::string pub = dir.Path() + "key.pub";
    const std::string sec = dir.Path() + "key.sec";
    const std::string out = dir.Path() + "out.zip";
};

}  // namespace

TEST_F(PackTool, WritesAPackageMinisignAcceptsWithEveryFileListed) {
    ASSERT_EQ(Pack("2.0.17", sec), 0);
    EXPECT_EQ(MinisignVerdict(pub), 0);
    const TPackageManifest manifest =
        ParseManifest(TempDir::ReadFile(dir.Path() + "zuvo-package.txt"));
    EXPECT_EQ(manifest.product, "zuvo-browser");
    EXPECT_EQ(manifest.version, "2.0.17");
    ASSERT_EQ(manifest.files.size(), 2u);
    EXPECT_EQ(manifest.files[0].path, "Browser.exe");
    EXPECT_EQ(manifest.files[1].path, "lib/x.so");
    EXPECT_EQ(manifest.files[1].size, 5000u);
    EXPECT_EQ(manifest.files[1].sha256, ToHex(Digest(THashKind::Sha256, std::string(5000, 'x'))));

    TUnZipper zip;
    zip.SetZipName(out);
    zip.ReadZip();
    ASSERT_EQ(zip.GetCount(), 4);
    for (int32_t i = 0; i < zip.GetCount(); ++i) {
        const uint32_t mode = zip.GetExternalFileAttributes(i) >> 16;
        const bool browser = zip.GetFullname(i) == "Browser.exe";
        EXPECT_EQ(mode, browser ? 0100755u : 0100644u) << zip.GetFullname(i);
    }
}

TEST_F(PackTool, SignsWithAPasswordProtectedKeyThroughMinisign) {
    const std::string pwPub = dir.Path() + "pw.pub";
    const std::string pwSec = dir.Path() + "pw.sec";
    ASSERT_EQ(
        Shell("printf 'pw\\npw\\n' | minisign -G -p " + Quoted(pwPub) + " -s " + Quoted(pwSec)), 0);
    ASSERT_EQ(Pack("2.1", pwSec, "pw\\n"), 0);
    EXPECT_EQ(MinisignVerdict(pwPub), 0);
    EXPECT_NE(MinisignVerdict(pub), 0) << "another key must not accept it";
}

TEST_F(PackTool, RefusesBadInputWithoutWritingAPackage) {
    EXPECT_EQ(Shell(std::string(ZUVO_PACK_EXE) + " --version 1 a b"), 2) << "no key";
    EXPECT_EQ(Pack("2.x", sec), 1);
    EXPECT_EQ(Pack("2.0", dir.Path() + "missing.sec"), 1);
    EXPECT_EQ(Pack("2.0", pub), 1) << "a public key is no secret key";
    ASSERT_TRUE(MakeSymbolicLink("/etc/passwd", dir.Path() + "src/lib/link"));
    EXPECT_EQ(Pack("2.0", sec), 1);
    ASSERT_TRUE(RemoveTree(dir.Path() + "src/lib/link"));
    dir.WriteFile("src/zuvo-package.txt", "zuvo-package 1\n");
    EXPECT_EQ(Pack("2.0", sec), 1);
    ASSERT_TRUE(RemoveTree(dir.Path() + "src/zuvo-package.txt"));
    ASSERT_TRUE(RemoveTree(dir.Path() + "src/Browser.exe"));
    EXPECT_EQ(Pack("2.0", sec), 1);
    EXPECT_EQ(PathStatus(out, TLinks::DoNotFollow).Kind, TPathKind::Absent);
}
