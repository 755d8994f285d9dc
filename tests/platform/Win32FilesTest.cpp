// What only Windows has: UTF-16 names at the system's calls, a read-only
// attribute for permission bits, files held open without delete sharing,
// the shell starting scripts, and the thread's message queue.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "TempDir.h"
#include "platform/FileHandle.h"
#include "platform/FileOps.h"
#include "platform/FileSystem.h"
#include "platform/ProgramDirectory.h"
#include "platform/ScopeExit.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32MessageHooks.h"
#include "platform/win32/WindowsApi.h"

namespace {

// "中文名" (Chinese name) in UTF-8, as the program keeps it.
const std::string kChineseName = "\xE4\xB8\xAD\xE6\x96\x87\xE5\x90\x8D";
const std::wstring kChineseNameWide = L"\u4E2D\u6587\u540D";

constexpr int64_t kBeyondFourGiB = (int64_t{5} << 30) + 7;

// The names in a folder as Windows spells them.
std::wstring OnlyNameIn(const std::string& folder) {
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW(WidePath(folder + "*").c_str(), &found);
    EXPECT_NE(search, INVALID_HANDLE_VALUE);
    ScopeExit close([search] { ::FindClose(search); });
    std::wstring names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") {
            names += name;
        }
    } while (::FindNextFileW(search, &found));
    return names;
}

bool WaitForFile(const std::string& path) {
    for (int i = 0; i < 500 && !FileExists(path); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return FileExists(path);
}

}  // namespace

// Narrow (code page) calls would turn these names into question marks.
TEST(Win32Files, ChineseNamesReachTheSystemAsUtf16) {
    TempDir dir;
    const std::string file = dir.Path() + kChineseName + ".txt";
    TFileHandle handle;
    ASSERT_TRUE(handle.Create(file)) << handle.ErrorText();
    EXPECT_EQ(handle.Write("abc", 3), 3);
    ASSERT_TRUE(handle.Close());
    EXPECT_EQ(OnlyNameIn(dir.Path()), kChineseNameWide + L".txt");
    EXPECT_EQ(PathStatus(file, TLinks::Follow).Size, 3);
    EXPECT_TRUE(DeleteFile(file));

    const std::string folder = dir.Path() + kChineseName;
    ASSERT_TRUE(CreateDir(folder));
    EXPECT_EQ(OnlyNameIn(dir.Path()), kChineseNameWide);
    EXPECT_TRUE(DirectoryExists(folder + "/"));
}

TEST(Win32Files, WideTextRoundTripsAndSystemErrorsAreWords) {
    EXPECT_EQ(Widen(kChineseName), kChineseNameWide);
    EXPECT_EQ(Narrow(kChineseNameWide), kChineseName);
    EXPECT_EQ(WidePath("a/b\\c"), L"a\\b\\c");
    EXPECT_EQ(Narrow(Widen("")), "");
    const std::string text = SystemErrorText(ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(text.empty());
    EXPECT_NE(text.back(), '\n');
}

// Offsets travel as 64-bit numbers all the way (SetFilePointerEx,
// GetFileSizeEx); a 32-bit long would wrap here.
TEST(Win32Files, OffsetsBeyondFourGiBSeekWriteAndRead) {
    TempDir dir;
    const std::string path = dir.Path() + "big";
    TFileHandle file;
    ASSERT_TRUE(file.Create(path));
    // Sparse, so that Windows does not write gigabytes of zeros; Wine's
    // files are sparse anyway.
    DWORD unused = 0;
    ::DeviceIoControl(reinterpret_cast<HANDLE>(file.Native()), FSCTL_SET_SPARSE, nullptr, 0,
                      nullptr, 0, &unused, nullptr);
    ASSERT_EQ(file.Seek(kBeyondFourGiB, TSeekOrigin::soBeginning), kBeyondFourGiB);
    ASSERT_EQ(file.Write("end", 3), 3);
    EXPECT_EQ(file.Size(), kBeyondFourGiB + 3);
    EXPECT_EQ(file.Seek(-3, TSeekOrigin::soEnd), kBeyondFourGiB);
    char back[3] = {};
    ASSERT_EQ(file.Read(back, 3), 3);
    EXPECT_EQ(std::string(back, 3), "end");
    EXPECT_EQ(PathStatus(path, TLinks::Follow).Size, kBeyondFourGiB + 3);
    ASSERT_TRUE(file.SetSize(1));
    EXPECT_EQ(file.Seek(0, TSeekOrigin::soCurrent), kBeyondFourGiB + 3);
    EXPECT_EQ(file.Size(), 1);
}

// Windows has no permission bits; the owner's write bit is the read-only
// attribute.
TEST(Win32Files, TheWriteBitIsTheReadOnlyAttribute) {
    TempDir dir;
    const std::string path = dir.WriteFile("f", "x");
    TFileHandle file;
    ASSERT_TRUE(file.Open(path, TFileAccess::ReadWrite));
    EXPECT_EQ(file.CurrentMode(), 0666u);
    ASSERT_TRUE(file.SetMode(0555));
    EXPECT_EQ(file.CurrentMode(), 0444u);
    ASSERT_TRUE(file.Close());
    EXPECT_EQ(PathStatus(path, TLinks::Follow).Mode, 0444u);
    EXPECT_NE(::GetFileAttributesW(WidePath(path).c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_TRUE(SetPathMode(path, 0644));
    EXPECT_EQ(PathStatus(path, TLinks::Follow).Mode, 0666u);
    EXPECT_TRUE(file.Open(path, TFileAccess::Write));
    EXPECT_EQ(PathStatus(dir.Path(), TLinks::Follow).Mode, 0777u);
}

TEST(Win32Files, ModificationTimeIsReadBackToTheSecond) {
    TempDir dir;
    const std::string path = dir.WriteFile("f", "x");
    TFileHandle file;
    ASSERT_TRUE(file.Open(path, TFileAccess::Write));
    constexpr time_t kWhen = 1000000000;  // 2001-09-09
    ASSERT_TRUE(file.SetModificationTime(kWhen));
    ASSERT_TRUE(file.Close());
    const TPathStatus status = PathStatus(path, TLinks::Follow);
    EXPECT_EQ(status.ModifiedSeconds, kWhen);
    EXPECT_EQ(status.ModifiedNanoseconds, 0);
}

// The installed program is replaced in one step or not at all; a program
// that is running (or any file open without delete sharing) stays as it
// was, and so does the new file.
TEST(Win32Files, ReplaceOverAFileInUseFailsAndKeepsBoth) {
    TempDir dir;
    const std::string installed = dir.WriteFile("Browser.exe", "old");
    const std::string fresh = dir.WriteFile("Browser.new", "new");
    HANDLE inUse = ::CreateFileW(WidePath(installed).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(inUse, INVALID_HANDLE_VALUE);
    {
        ScopeExit close([inUse] { ::CloseHandle(inUse); });
        EXPECT_FALSE(ReplaceFile(fresh, installed));
    }
    EXPECT_EQ(TempDir::ReadFile(installed), "old");
    EXPECT_EQ(TempDir::ReadFile(fresh), "new");
    EXPECT_TRUE(ReplaceFile(fresh, installed));
    EXPECT_EQ(TempDir::ReadFile(installed), "new");
    EXPECT_FALSE(FileExists(fresh));
}

TEST(Win32Files, CopyRefusesAnExistingFileAndKeepsTheReadOnlyAttribute) {
    TempDir dir;
    const std::string from = dir.WriteFile("a", "new");
    ASSERT_TRUE(SetPathMode(from, 0444));
    const std::string to = dir.Path() + kChineseName;
    ASSERT_TRUE(CopyFileNoOverwrite(from, to));
    EXPECT_EQ(PathStatus(to, TLinks::Follow).Mode, 0444u);
    EXPECT_FALSE(CopyFileNoOverwrite(from, to));
    EXPECT_EQ(TempDir::ReadFile(to), "new");
}

TEST(Win32Files, ShellOpenStartsAScriptAndRefusesMissingFiles) {
    TempDir dir;
    const std::string marker = dir.Path() + "started";
    const std::string script =
        dir.WriteFile("start.cmd", "@echo started> \"" + Narrow(WidePath(marker)) + "\"\r\n");
    EXPECT_FALSE(ShellOpen(dir.Path() + "missing.exe"));
    ASSERT_TRUE(ShellOpen(script));
    EXPECT_TRUE(WaitForFile(marker));
}

TEST(Win32Files, ProgramDirectoryEndsInABackslash) {
    const std::string dir = ProgramDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '\\');
    EXPECT_EQ(ExecutablePath().substr(dir.size()), "platform_tests.exe");
}

TEST(Win32Messages, ThePumpEmptiesTheQueueAndKeepsAQuit) {
    const ProcessMessagesHook pump = Win32ProcessMessages();
    ASSERT_TRUE(::PostThreadMessageW(::GetCurrentThreadId(), WM_APP, 0, 0));
    pump();
    MSG message{};
    EXPECT_FALSE(::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE));
    ::PostQuitMessage(3);
    pump();
    ASSERT_TRUE(::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(message.wParam, 3u);
}
