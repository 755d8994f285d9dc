#include <gtest/gtest.h>

#include <string>

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

TEST(Directories, CreateOneLevelAndTellFilesFromDirectories) {
    TempDir dir;
    EXPECT_TRUE(CreateDir(dir.Path() + "d"));
    EXPECT_TRUE(DirectoryExists(dir.Path() + "d"));
    EXPECT_FALSE(FileExists(dir.Path() + "d"));
    EXPECT_FALSE(CreateDir(dir.Path() + "x/y"));
    EXPECT_TRUE(DeleteFile(dir.WriteFile("f", "")));
    EXPECT_FALSE(DeleteFile(dir.Path() + "f"));
}
