// Making a path that must not exist yet: an exclusive file and a symbolic
// link, neither of which may take over or follow what is already there.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "TempDir.h"
#include "platform/FileHandle.h"
#include "platform/FileSystem.h"

TEST(NewPath, ExclusiveFileRefusesEverythingAlreadyThere) {
    TempDir dir;
    const std::string path = dir.Path() + "new";
    TFileHandle file;
    ASSERT_TRUE(file.CreateExclusive(path));
    EXPECT_EQ(file.Write("x", 1), 1);
    EXPECT_TRUE(file.Close());
    EXPECT_FALSE(file.CreateExclusive(path));
    EXPECT_FALSE(file.ErrorText().empty());
}

TEST(NewPath, ExclusiveFileRefusesADanglingLink) {
    TempDir dir;
    TFileHandle file;
    const std::string dangling = dir.Path() + "dangling";
    ASSERT_TRUE(MakeSymbolicLink(dir.Path() + "nowhere", dangling));
    EXPECT_FALSE(file.CreateExclusive(dangling));
    EXPECT_FALSE(std::filesystem::exists(dir.Path() + "nowhere"));
}

TEST(NewPath, SymbolicLinkHoldsItsTargetAsGiven) {
    TempDir dir;
    const std::string link = dir.Path() + "link";
    ASSERT_TRUE(MakeSymbolicLink("../some/where", link));
    EXPECT_EQ(std::filesystem::read_symlink(link), "../some/where");
    EXPECT_EQ(PathStatus(link, TLinks::DoNotFollow).Kind, TPathKind::Link);
    EXPECT_FALSE(MakeSymbolicLink("other", link));
    EXPECT_EQ(std::filesystem::read_symlink(link), "../some/where");
}
