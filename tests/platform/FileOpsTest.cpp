#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "TempDir.h"
#include "platform/FileOps.h"

namespace {

// A source file "new" and a destination file "old" in a scratch folder.
struct NewOverOld {
    TempDir dir;
    std::string from = dir.WriteFile("a", "new");
    std::string to = dir.WriteFile("b", "old");
};

}  // namespace

TEST(CopyFileNoOverwrite, RefusesAnExistingDestinationAndKeepsIt) {
    NewOverOld files;
    EXPECT_FALSE(CopyFileNoOverwrite(files.from, files.to));
    EXPECT_EQ(TempDir::ReadFile(files.to), "old");
}

TEST(CopyFileNoOverwrite, KeepsExecutePermissionButNeverSetUserId) {
    TempDir dir;
    const auto from = dir.WriteFile("prog", "#!/bin/sh\n");
    ASSERT_EQ(::chmod(from.c_str(), 04755), 0);
    const auto to = dir.Path() + "copy";
    ASSERT_TRUE(CopyFileNoOverwrite(from, to));
    struct stat info {};
    ASSERT_EQ(::stat(to.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0755u);
    EXPECT_EQ(TempDir::ReadFile(to), "#!/bin/sh\n");
}

TEST(CopyFileNoOverwrite, MissingSourceCreatesNothing) {
    TempDir dir;
    EXPECT_FALSE(CopyFileNoOverwrite(dir.Path() + "none", dir.Path() + "b"));
    EXPECT_FALSE(FileExists(dir.Path() + "b"));
}

TEST(ReplaceFile, RenamesOverTheDestination) {
    NewOverOld files;
    EXPECT_TRUE(ReplaceFile(files.from, files.to));
    EXPECT_EQ(TempDir::ReadFile(files.to), "new");
    EXPECT_FALSE(FileExists(files.from));
}

TEST(ShellOpen, StartsAnExecutableAndRefusesOthers) {
    TempDir dir;
    const auto marker = dir.Path() + "started";
    const auto prog = dir.WriteFile("prog", "#!/bin/sh\ntouch '" + marker + "'\n");
    EXPECT_FALSE(ShellOpen(prog));  // not executable yet
    ASSERT_EQ(::chmod(prog.c_str(), 0755), 0);
    ASSERT_TRUE(ShellOpen(prog));
    for (int i = 0; i < 200 && !FileExists(marker); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(FileExists(marker));
}

TEST(Directories, CreateOneLevelAndTellFilesFromDirectories) {
    TempDir dir;
    EXPECT_TRUE(CreateDir(dir.Path() + "d"));
    EXPECT_TRUE(DirectoryExists(dir.Path() + "d"));
    EXPECT_FALSE(FileExists(dir.Path() + "d"));
    EXPECT_FALSE(CreateDir(dir.Path() + "x/y"));
    EXPECT_TRUE(DeleteFile(dir.WriteFile("f", "")));
    EXPECT_FALSE(DeleteFile(dir.Path() + "f"));
}
