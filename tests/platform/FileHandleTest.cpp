#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "TempDir.h"
#include "platform/Exception.h"
#include "platform/FileHandle.h"
#include "platform/FileStream.h"
#include "platform/FileSystem.h"

TEST(FileHandle, WritesSeeksReadsAndSizes) {
    TempDir dir;
    const std::string path = dir.Path() + "f";
    TFileHandle file;
    ASSERT_TRUE(file.Create(path));
    EXPECT_EQ(file.Write("hello world", 11), 11);
    EXPECT_EQ(file.Size(), 11);
    EXPECT_EQ(file.Seek(6, TSeekOrigin::soBeginning), 6);
    char word[5] = {};
    EXPECT_EQ(file.Read(word, 5), 5);
    EXPECT_EQ(std::string(word, 5), "world");
    EXPECT_EQ(file.Read(word, 5), 0);  // at the end
    EXPECT_EQ(file.Seek(-5, TSeekOrigin::soEnd), 6);
    EXPECT_EQ(file.Seek(1, TSeekOrigin::soCurrent), 7);
    // SetSize keeps the position; both directions change the file.
    ASSERT_TRUE(file.SetSize(5));
    EXPECT_EQ(file.Size(), 5);
    EXPECT_EQ(file.Seek(0, TSeekOrigin::soCurrent), 7);
    ASSERT_TRUE(file.SetSize(8));
    EXPECT_EQ(file.Size(), 8);
    ASSERT_TRUE(file.Close());
    EXPECT_EQ(TempDir::ReadFile(path), std::string("hello\0\0\0", 8));
}

TEST(FileHandle, CreateEmptiesAnExistingFileAndOpenNeverCreates) {
    TempDir dir;
    const std::string path = dir.WriteFile("f", "old contents");
    TFileHandle file;
    EXPECT_FALSE(file.Open(dir.Path() + "missing", TFileAccess::ReadWrite));
    EXPECT_FALSE(file.IsOpen());
    EXPECT_FALSE(file.ErrorText().empty());
    EXPECT_NE(::access((dir.Path() + "missing").c_str(), F_OK), 0);
    ASSERT_TRUE(file.Create(path));
    EXPECT_EQ(file.Size(), 0);
}

TEST(FileHandle, AReadOnlyOpenCannotWrite) {
    TempDir dir;
    const std::string path = dir.WriteFile("f", "abc");
    TFileHandle file;
    ASSERT_TRUE(file.Open(path, TFileAccess::Read));
    EXPECT_EQ(file.Write("x", 1), 0);
    EXPECT_FALSE(file.ErrorText().empty());
    EXPECT_EQ(TempDir::ReadFile(path), "abc");
}

// An archive entry must not write through a link it planted earlier.
TEST(FileHandle, CreateNoFollowRefusesALinkAtTheLastComponent) {
    TempDir dir;
    const std::string target = dir.WriteFile("target", "keep me");
    const std::string link = dir.Path() + "link";
    ASSERT_TRUE(MakeSymbolicLink(target, link));
    TFileHandle file;
    EXPECT_FALSE(file.CreateNoFollow(link));
    EXPECT_EQ(TempDir::ReadFile(target), "keep me");
    // A plain Create follows it: the difference is the point.
    ASSERT_TRUE(file.Create(link));
    EXPECT_EQ(TempDir::ReadFile(target), "");
}

TEST(FileHandle, CreateNoFollowMakesAndEmptiesOrdinaryFiles) {
    TempDir dir;
    const std::string path = dir.WriteFile("f", "old");
    TFileHandle file;
    ASSERT_TRUE(file.CreateNoFollow(path));
    EXPECT_EQ(file.Write("new", 3), 3);
    ASSERT_TRUE(file.Close());
    EXPECT_EQ(TempDir::ReadFile(path), "new");
    ASSERT_TRUE(file.CreateNoFollow(dir.Path() + "fresh"));
    EXPECT_EQ(file.Size(), 0);
}

TEST(FileHandle, MovingHandsTheFileOnAndClosingTwiceIsHarmless) {
    TempDir dir;
    TFileHandle first;
    ASSERT_TRUE(first.Create(dir.Path() + "f"));
    const intptr_t native = first.Native();
    TFileHandle second(std::move(first));
    EXPECT_FALSE(first.IsOpen());
    EXPECT_EQ(second.Native(), native);
    EXPECT_EQ(second.Write("ab", 2), 2);
    TFileHandle third;
    third = std::move(second);
    EXPECT_TRUE(third.Close());
    EXPECT_TRUE(third.Close());
    EXPECT_EQ(TempDir::ReadFile(dir.Path() + "f"), "ab");
}

TEST(FileStream, FailuresNameTheFile) {
    TempDir dir;
    try {
        TFileStream stream(dir.Path() + "none", TFileMode::fmOpenRead);
        FAIL() << "no exception";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message(), "Cannot open file " + dir.Path() + "none");
    }
    try {
        TFileStream stream(dir.Path() + "no/such/dir", TFileMode::fmCreate);
        FAIL() << "no exception";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message(), "Cannot create file " + dir.Path() + "no/such/dir");
    }
    TFileStream stream(dir.WriteFile("f", "abc"), TFileMode::fmOpenRead);
    EXPECT_THROW(stream.Seek(-1, TSeekOrigin::soBeginning), EStreamError);
    EXPECT_THROW(stream.SetSize(1), EStreamError);  // opened for reading only
}
