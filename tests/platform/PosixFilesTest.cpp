// What only POSIX systems have: permission bits, access times, shell
// scripts as programs. Windows keeps a read-only attribute instead (see
// Win32FilesTest.cpp).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "TempDir.h"
#include "platform/FileHandle.h"
#include "platform/FileOps.h"
#include "platform/FileSystem.h"

namespace {

struct stat StatOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info;
}

}  // namespace

TEST(FileHandle, SetsModificationTimeAndLeavesAccessTime) {
    TempDir dir;
    const std::string path = dir.WriteFile("f", "x");
    const struct stat before = StatOf(path);
    TFileHandle file;
    ASSERT_TRUE(file.Open(path, TFileAccess::Write));
    constexpr time_t kWhen = 1000000000;  // 2001-09-09
    ASSERT_TRUE(file.SetModificationTime(kWhen));
    ASSERT_TRUE(file.Close());
    const struct stat after = StatOf(path);
    EXPECT_EQ(after.st_mtim.tv_sec, kWhen);
    EXPECT_EQ(after.st_atim.tv_sec, before.st_atim.tv_sec);
}

TEST(FileHandle, SetsAndReportsPermissionBits) {
    TempDir dir;
    const std::string path = dir.WriteFile("f", "x");
    TFileHandle file;
    ASSERT_TRUE(file.Open(path, TFileAccess::ReadWrite));
    ASSERT_TRUE(file.SetMode(0750));
    EXPECT_EQ(file.CurrentMode(), 0750u);
    EXPECT_EQ(StatOf(path).st_mode & 07777, 0750u);
    EXPECT_TRUE(file.SyncToDisk());
}

TEST(PathStatus, TellsModeAndTimeAsStatDoes) {
    TempDir dir;
    const std::string file = dir.WriteFile("f", "12345");
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    const TPathStatus status = PathStatus(file, TLinks::Follow);
    EXPECT_EQ(status.Mode, 0640u);
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(status.ModifiedSeconds, info.st_mtim.tv_sec);
    EXPECT_EQ(status.ModifiedNanoseconds, info.st_mtim.tv_nsec);
    // Below a file nothing can be looked for: that is not "absent".
    EXPECT_EQ(PathStatus(file + "/x", TLinks::DoNotFollow).Kind, TPathKind::Unknown);
}

TEST(SetPathMode, ChangesOnlyPermissionBits) {
    TempDir dir;
    const std::string file = dir.WriteFile("f", "");
    EXPECT_TRUE(SetPathMode(file, 0600));
    EXPECT_EQ(PathStatus(file, TLinks::Follow).Mode, 0600u);
    EXPECT_TRUE(SetPathMode(file, 0100755));  // type bits are not the caller's to give
    EXPECT_EQ(PathStatus(file, TLinks::Follow).Mode, 0755u);
    EXPECT_EQ(PathStatus(file, TLinks::Follow).Kind, TPathKind::Regular);
    EXPECT_FALSE(SetPathMode(dir.Path() + "none", 0600));
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
