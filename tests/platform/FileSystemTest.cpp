#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "TempDir.h"
#include "platform/FileOps.h"
#include "platform/FileSystem.h"
#include "platform/ProgramDirectory.h"

TEST(PathStatus, TellsKindAndSize) {
    TempDir dir;
    const std::string file = dir.WriteFile("f", "12345");
    const TPathStatus status = PathStatus(file, TLinks::Follow);
    EXPECT_EQ(status.Kind, TPathKind::Regular);
    EXPECT_EQ(status.Size, 5);
    EXPECT_EQ(PathStatus(dir.Path(), TLinks::Follow).Kind, TPathKind::Directory);
    EXPECT_EQ(PathStatus(dir.Path() + "none", TLinks::Follow).Kind, TPathKind::Absent);
}

TEST(PathStatus, ALinkIsSeenOnlyWhenNotFollowed) {
    TempDir dir;
    const std::string target = dir.WriteFile("target", "abc");
    const std::string link = dir.Path() + "link";
    ASSERT_TRUE(MakeSymbolicLink(target, link));
    EXPECT_EQ(PathStatus(link, TLinks::DoNotFollow).Kind, TPathKind::Link);
    EXPECT_EQ(PathStatus(link, TLinks::Follow).Kind, TPathKind::Regular);
    EXPECT_EQ(PathStatus(link, TLinks::Follow).Size, 3);
    const std::string dangling = dir.Path() + "dangling";
    ASSERT_TRUE(MakeSymbolicLink(dir.Path() + "none", dangling));
    EXPECT_EQ(PathStatus(dangling, TLinks::DoNotFollow).Kind, TPathKind::Link);
    EXPECT_EQ(PathStatus(dangling, TLinks::Follow).Kind, TPathKind::Absent);
}

TEST(MakeDirectory, MakesOneLevelAndSaysWhatWasThere) {
    TempDir dir;
    EXPECT_EQ(MakeDirectory(dir.Path() + "d"), TMakeDirectoryResult::Made);
    EXPECT_EQ(PathStatus(dir.Path() + "d", TLinks::Follow).Kind, TPathKind::Directory);
    EXPECT_EQ(MakeDirectory(dir.Path() + "d"), TMakeDirectoryResult::AlreadyThere);
    EXPECT_EQ(MakeDirectory(dir.WriteFile("f", "")), TMakeDirectoryResult::AlreadyThere);
    EXPECT_EQ(MakeDirectory(dir.Path() + "x/y"), TMakeDirectoryResult::Failed);
}

// The installed browser is replaced by a rename: a failing replace must
// leave the old program exactly as it was.
TEST(ReplaceFile, AFailedReplaceKeepsTheOldFile) {
    TempDir dir;
    const std::string installed = dir.WriteFile("Browser.exe", "old");
    EXPECT_FALSE(ReplaceFile(dir.Path() + "missing", installed));
    EXPECT_EQ(TempDir::ReadFile(installed), "old");
    ASSERT_EQ(MakeDirectory(dir.Path() + "d"), TMakeDirectoryResult::Made);
    EXPECT_FALSE(ReplaceFile(installed, dir.Path() + "d"));  // a file cannot replace a directory
    EXPECT_EQ(TempDir::ReadFile(installed), "old");
}

// A tree with folders, a read-only file and Chinese names goes whole.
TEST(RemoveTree, RemovesAWholeTree) {
    TempDir dir;
    ASSERT_TRUE(CreateDir(dir.Path() + "tree"));
    ASSERT_TRUE(CreateDir(dir.Path() + "tree/\xE7\x9B\xAE\xE5\xBD\x95"));  // 目录
    const std::string file = dir.WriteFile("tree/\xE7\x9B\xAE\xE5\xBD\x95/f.txt", "x");
    ASSERT_TRUE(SetPathMode(file, 0444));
    EXPECT_EQ(ListDirectory(dir.Path() + "tree"),
              (std::vector<std::string>{"\xE7\x9B\xAE\xE5\xBD\x95"}));
    EXPECT_TRUE(RemoveTree(dir.Path() + "tree"));
    EXPECT_EQ(PathStatus(dir.Path() + "tree", TLinks::DoNotFollow).Kind, TPathKind::Absent);
}

// A tree with a link to something outside it goes whole, the link's target
// stays; ListDirectory names what is there, without "." and "..".
TEST(RemoveTree, RemovesEverythingBelowButNeverFollowsALink) {
    TempDir dir;
    const std::string outside = dir.WriteFile("outside", "keep me");
    ASSERT_TRUE(CreateDir(dir.Path() + "tree"));
    ASSERT_TRUE(CreateDir(dir.Path() + "tree/sub"));
    dir.WriteFile("tree/sub/file", "x");
    ASSERT_TRUE(CreateDir(dir.Path() + "elsewhere"));
    dir.WriteFile("elsewhere/inside", "keep me too");
    ASSERT_TRUE(MakeSymbolicLink(outside, dir.Path() + "tree/link"));
    ASSERT_TRUE(MakeSymbolicLink(dir.Path() + "elsewhere", dir.Path() + "tree/sub/dirlink"));
    std::vector<std::string> names = ListDirectory(dir.Path() + "tree");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"link", "sub"}));

    EXPECT_TRUE(RemoveTree(dir.Path() + "tree"));
    EXPECT_EQ(PathStatus(dir.Path() + "tree", TLinks::DoNotFollow).Kind, TPathKind::Absent);
    EXPECT_EQ(TempDir::ReadFile(outside), "keep me");
    EXPECT_EQ(TempDir::ReadFile(dir.Path() + "elsewhere/inside"), "keep me too");
    EXPECT_TRUE(RemoveTree(dir.Path() + "absent"));
    EXPECT_TRUE(RemoveTree(outside));
    EXPECT_FALSE(FileExists(outside));
    EXPECT_TRUE(ListDirectory(dir.Path() + "absent").empty());
}

TEST(ProgramDirectory, IsTheRunningProgramsFolderEndingInItsSeparator) {
    const std::string exe = ExecutablePath();
    const std::string dir = ProgramDirectory();
    ASSERT_FALSE(dir.empty());
    // The system's separator; Win32FilesTest.cpp checks it is "\\" there.
    EXPECT_TRUE(dir.back() == '/' || dir.back() == '\\') << dir;
    EXPECT_EQ(exe.substr(0, dir.size()), dir);
    const std::string name = exe.substr(dir.size());
    EXPECT_TRUE(name == "platform_tests" || name == "platform_tests.exe") << name;
    EXPECT_EQ(PathStatus(exe, TLinks::Follow).Kind, TPathKind::Regular);
}

TEST(FreeSpaceAt, TellsTheRoomOfAFileSystemAndNothingForNoPath) {
    TempDir dir;
    const std::optional<int64_t> free = FreeSpaceAt(dir.Path());
    ASSERT_TRUE(free.has_value());
    EXPECT_GT(*free, 0);
    EXPECT_FALSE(FreeSpaceAt(dir.Path() + "no/such/folder").has_value());
}
