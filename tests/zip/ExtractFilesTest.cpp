// Extraction to files: existing files under every overwrite mode and the
// default prompt, read-only files, paths that try to leave the destination,
// dates and permissions, and the names reported to OnEndUnZip.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>

#include "ExtractTestSupport.h"
#include "RecordingHooks.h"
#include "platform/FileHandle.h"
#include "platform/FileSystem.h"
#include "zip/UnZipper.h"

namespace {

using extract::Entry;

class ExtractFiles : public ::testing::Test {
  protected:
    void Use(const std::vector<Entry>& entries, const std::string& dest) {
        archive_ = dir_.WriteFile("a.zip", extract::Build(entries));
        extract::Prepare(zip_, archive_, dest);
        zip_.OnSkippingFile = [this](TUnZipper&, TSkipReason reason, const std::string& name, int,
                                     bool&) {
            skipped_.push_back(std::to_string(reason) + " " + name);
        };
        zip_.OnEndUnZip = [this](TUnZipper&, int, const std::string& name) {
            ended_.push_back(name);
        };
    }
    void Use(const std::vector<Entry>& entries) { Use(entries, dest_); }
    std::string Existing(const std::string& name, const std::string& text) {
        std::filesystem::create_directories(dest_);
        return dir_.WriteFile("out/" + name, text);
    }
    static void SetMtime(const std::string& path, time_t when) {
        TFileHandle file;
        ASSERT_TRUE(file.Open(path, TFileAccess::Write));
        ASSERT_TRUE(file.SetModificationTime(when));
    }
    // Nothing but the archive and the destination in the scratch folder.
    void ExpectNothingOutside() const {
        for (const auto& item : std::filesystem::directory_iterator(dir_.Path())) {
            const auto name = item.path().filename().string();
            EXPECT_TRUE(name == "a.zip" || name == "out" || name == "outside") << name;
        }
        if (std::filesystem::exists(dir_.Path() + "outside")) {
            EXPECT_TRUE(std::filesystem::is_empty(dir_.Path() + "outside"));
        }
    }

    TempDir dir_;
    std::string dest_ = dir_.Path() + "out";
    std::string archive_;
    TUnZipper zip_;
    std::vector<std::string> skipped_;
    std::vector<std::string> ended_;
};

// The updater's path: default OverwriteMode, no handler. The box asks with
// the entry's name alone; No keeps the file and does not count it.
TEST_F(ExtractFiles, DefaultPromptAsksThroughTheMessageBox) {
    Use({{"sub/a.txt", "new"}});
    zip_.OverwriteMode = Prompt;
    const std::string path = Existing("sub/a.txt", "old");
    RecordingHooks hooks;
    hooks.Answer(IDNO);
    EXPECT_EQ(zip_.UnZip(), 0);
    ASSERT_EQ(hooks.Boxes().size(), 1u);
    EXPECT_EQ(hooks.Boxes()[0].text, "Replace existing file a.txt?");
    EXPECT_EQ(hooks.Boxes()[0].caption, "File Exists Alert");
    EXPECT_EQ(hooks.Boxes()[0].flags, 4u);
    EXPECT_EQ(extract::ReadFile(path), "old");
    EXPECT_EQ(skipped_, std::vector<std::string>{"1 " + path});
    hooks.Answer(IDYES);
    EXPECT_EQ(zip_.UnZip(), 1);
    EXPECT_EQ(extract::ReadFile(path), "new");
}

// Only names that exist are asked about; a fresh one is simply written.
TEST_F(ExtractFiles, PromptHandlerDecidesWithTheFullName) {
    Use({{"a.txt", "new"}, {"b.txt", "new"}, {"c.txt", "fresh"}});
    zip_.OverwriteMode = Prompt;
    const std::string a = Existing("a.txt", "old");
    const std::string b = Existing("b.txt", "old");
    std::vector<std::string> asked;
    zip_.OnPromptForOverwrite = [&](TUnZipper&, bool& overwrite, int, std::string& name) {
        asked.push_back(name);
        overwrite = name == a;
    };
    RecordingHooks hooks;
    EXPECT_EQ(zip_.UnZip(), 2);
    EXPECT_TRUE(hooks.Boxes().empty());
    EXPECT_EQ(asked, (std::vector<std::string>{a, b}));
    EXPECT_EQ(extract::ReadFile(a), "new");
    EXPECT_EQ(extract::ReadFile(b), "old");
    EXPECT_EQ(extract::ReadFile(dest_ + "/c.txt"), "fresh");
}

TEST_F(ExtractFiles, AlwaysReplacesAndNeverKeeps) {
    Use({{"a.txt", "new"}, {"fresh.txt", "fresh"}});
    const std::string a = Existing("a.txt", "old");
    zip_.OverwriteMode = Never;
    EXPECT_EQ(zip_.UnZip(), 1);
    EXPECT_EQ(extract::ReadFile(a), "old");
    EXPECT_EQ(skipped_, std::vector<std::string>{"1 " + a});
    zip_.OverwriteMode = Always;
    EXPECT_EQ(zip_.UnZip(), 2);
    EXPECT_EQ(extract::ReadFile(a), "new");
}

// The entry's date (17 May 2024 12:30) against the file's.
TEST_F(ExtractFiles, IfNewerAndIfOlderCompareDates) {
    Use({{"a.txt", "new"}});
    const std::string a = Existing("a.txt", "old");
    const time_t entryTime = [] {
        struct tm t {};
        t.tm_year = 124, t.tm_mon = 4, t.tm_mday = 17, t.tm_hour = 12, t.tm_min = 30;
        t.tm_isdst = -1;
        return std::mktime(&t);
    }();
    struct Case {
        TUZOverwriteMode mode;
        time_t fileTime;
        bool replaced;
    };
    for (const Case c :
         {Case{ifNewer, entryTime - 3600, true}, Case{ifNewer, entryTime, false},
          Case{ifNewer, entryTime + 3600, false}, Case{ifOlder, entryTime + 3600, true},
          Case{ifOlder, entryTime, false}, Case{ifOlder, entryTime - 3600, false}}) {
        dir_.WriteFile("out/a.txt", "old");
        SetMtime(a, c.fileTime);
        zip_.OverwriteMode = c.mode;
        EXPECT_EQ(zip_.UnZip(), c.replaced ? 1 : 0) << c.mode << " " << c.fileTime - entryTime;
        EXPECT_EQ(extract::ReadFile(a), c.replaced ? "new" : "old");
    }
}

// A read-only file stops everybody, also a privileged process, unless
// ReplaceReadOnly lifts the attribute for one more try.
TEST_F(ExtractFiles, ReadOnlyFileNeedsReplaceReadOnly) {
    Use({{"ro.txt", "new"}});
    const std::string path = Existing("ro.txt", "old");
    ASSERT_TRUE(SetPathMode(path, 0444));
    EXPECT_EQ(zip_.UnZip(), 0);
    EXPECT_EQ(extract::ReadFile(path), "old");
    EXPECT_EQ(skipped_, std::vector<std::string>{"3 " + path});
    zip_.ReplaceReadOnly = true;
    EXPECT_EQ(zip_.UnZip(), 1);
    EXPECT_EQ(extract::ReadFile(path), "new");
}

// OnStartUnZip may move the file elsewhere (its directory is created) or
// skip it; the existence test and the prompt use the new name.
TEST_F(ExtractFiles, StartHandlerRenamesOrSkips) {
    Use({{"a.txt", "one"}, {"b.txt", "two"}});
    const std::string moved = dir_.Path() + "elsewhere/deep/a.txt";
    zip_.OnStartUnZip = [&](TUnZipper&, int index, std::string& name, bool& skip) {
        if (index == 0) {
            name = moved;
        } else {
            skip = true;
        }
    };
    EXPECT_EQ(zip_.UnZip(), 1);
    EXPECT_EQ(extract::ReadFile(moved), "one");
    EXPECT_FALSE(extract::Exists(dest_ + "/b.txt"));
    EXPECT_EQ(ended_, std::vector<std::string>{moved});
}

// What the updater relies on: verified entries only, each with the path
// written, `/` between its parts; directories are re-created and counted.
TEST_F(ExtractFiles, EndEventNamesEveryVerifiedFileAsWritten) {
    Entry broken{"bad.txt", "x"};
    broken.crc = 1;
    Use({{"top.txt", "t"}, {"sub\\dir\\b.txt", "b"}, {"empty/", ""}, broken});
    EXPECT_EQ(zip_.UnZip(), 3);
    EXPECT_EQ(ended_, (std::vector<std::string>{dest_ + "/top.txt", dest_ + "/sub/dir/b.txt"}));
    EXPECT_TRUE(std::filesystem::is_directory(dest_ + "/empty"));
    EXPECT_EQ(extract::ReadFile(dest_ + "/sub/dir/b.txt"), "b");
}

// Without RecreateDirs every file lands in the destination itself.
TEST_F(ExtractFiles, WithoutRecreateDirsPathsAreFlattened) {
    Use({{"x/y/one.txt", "1"}, {"dir/", ""}});
    zip_.RecreateDirs = false;
    EXPECT_EQ(zip_.UnZip(), 2);
    EXPECT_EQ(extract::ReadFile(dest_ + "/one.txt"), "1");
    EXPECT_FALSE(extract::Exists(dest_ + "/x"));
    EXPECT_FALSE(extract::Exists(dest_ + "/dir"));
}

// RootDir strips its prefix without regard to case; other paths stay whole.
TEST_F(ExtractFiles, RootDirStripsItsPrefix) {
    Use({{"BASE/sub/a.txt", "a"}, {"other/sub/b.txt", "b"}});
    zip_.SetRootDir("base");
    EXPECT_EQ(zip_.UnZip(), 2);
    EXPECT_EQ(extract::ReadFile(dest_ + "/sub/a.txt"), "a");
    EXPECT_EQ(extract::ReadFile(dest_ + "/other/sub/b.txt"), "b");
}

// Zip slip: ".." anywhere, also after RootDir stripping and in directory
// entries, never leaves the destination; the entries are skipped with
// srCreateError and the rest goes on.
TEST_F(ExtractFiles, ParentComponentsAreRefused) {
    Use({{"../evil1.txt", "x"},
         {"a/../../evil2.txt", "x"},
         {"a\\..\\..\\evil3.txt", "x"},
         {"sub/..", "x"},
         {"../evildir/", ""},
         {"base/../../evil4.txt", "x"},
         {"ok.txt", "fine"}});
    zip_.SetRootDir("base");
    EXPECT_EQ(zip_.UnZip(), 1);
    EXPECT_EQ(extract::ReadFile(dest_ + "/ok.txt"), "fine");
    ASSERT_EQ(skipped_.size(), 6u);
    for (const auto& s : skipped_) {
        EXPECT_EQ(s.substr(0, 2), "3 ") << s;
    }
    ExpectNothingOutside();
}

// Absolute paths and drive letters go below the destination; with no
// destination they are refused, and relative paths land in the current
// directory (never the file-system root).
TEST_F(ExtractFiles, AbsolutePathsAndDrivesStayInside) {
    Use({{"/abs/a.txt", "a"}, {"C:/drive/c.txt", "c"}, {"C:rel.txt", "r"}});
    EXPECT_EQ(zip_.UnZip(), 3);
    EXPECT_EQ(extract::ReadFile(dest_ + "/abs/a.txt"), "a");
    EXPECT_EQ(extract::ReadFile(dest_ + "/drive/c.txt"), "c");
    EXPECT_EQ(extract::ReadFile(dest_ + "/rel.txt"), "r");

    std::filesystem::create_directories(dest_ + "/cwd");
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dest_ + "/cwd");
    zip_.SetDestDir("");
    skipped_.clear();
    Use({{"/abs/a.txt", "a"}, {"C:/drive/c.txt", "c"}, {"rel/r.txt", "r"}}, "");
    const int32_t count = zip_.UnZip();
    std::filesystem::current_path(previous);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(extract::ReadFile(dest_ + "/cwd/rel/r.txt"), "r");
    EXPECT_EQ(skipped_.size(), 2u);
    EXPECT_FALSE(extract::Exists("/abs/a.txt"));
}

// A directory inside the destination that is a link to elsewhere, and a
// file that is a link: nothing is written through either.
TEST_F(ExtractFiles, SymbolicLinksInsideTheDestinationAreNotFollowed) {
    Use({{"link/x.txt", "x"}, {"deep/link/y.txt", "y"}, {"file.txt", "z"}, {"ok.txt", "ok"}});
    std::filesystem::create_directories(dir_.Path() + "outside");
    std::filesystem::create_directories(dest_ + "/deep");
    std::filesystem::create_directory_symlink(dir_.Path() + "outside", dest_ + "/link");
    std::filesystem::create_directory_symlink(dir_.Path() + "outside", dest_ + "/deep/link");
    const std::string target = dir_.WriteFile("target.txt", "keep");
    std::filesystem::create_symlink(target, dest_ + "/file.txt");
    EXPECT_EQ(zip_.UnZip(), 1);
    EXPECT_EQ(skipped_.size(), 3u);
    EXPECT_TRUE(std::filesystem::is_empty(dir_.Path() + "outside"));
    EXPECT_EQ(extract::ReadFile(target), "keep");
}

// Catches link entries written as regular files (mode 0777) by the
// component, links out of the destination, and a file of the same archive
// written through a link the archive made.
TEST_F(ExtractFiles, LinkEntriesBecomeLinksAfterTheFilesWhenTheyStayInside) {
    const auto link = [](const std::string& name, const std::string& target) {
        Entry e{name, target};
        e.madeBy = (3 << 8) | 30;
        e.external = 0120777u << 16;
        return e;
    };
    Use({link("to-a", "dir/a.txt"),
         link("esc", "dir/../../outside"),
         link("abs", "/etc/passwd"),
         link("sub", "dir"),
         {"dir/a.txt", "alpha"},
         {"sub/b.txt", "beta"}});
    std::vector<int> messages;
    zip_.OnHandleMessage = [&](TUnZipper&, int id, const std::string& text, const std::string&,
                               unsigned, int& result) {
        messages.push_back(id);
        EXPECT_NE(text.find(" -> "), std::string::npos) << text;
        result = 1;
    };
    EXPECT_EQ(zip_.UnZip(), 3);
    EXPECT_EQ(std::filesystem::read_symlink(dest_ + "/to-a"), "dir/a.txt");
    EXPECT_EQ(extract::ReadFile(dest_ + "/to-a"), "alpha");
    // "sub" was made a real folder by the file in it, before any link.
    EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::symlink_status(dest_ + "/sub")));
    EXPECT_EQ(extract::ReadFile(dest_ + "/sub/b.txt"), "beta");
    EXPECT_FALSE(std::filesystem::exists(dest_ + "/dir/b.txt"));
    for (const char* name : {"/esc", "/abs"}) {
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(dest_ + name)));
    }
    EXPECT_EQ(messages, (std::vector<int>{199, 199, 199}));
    EXPECT_EQ(ended_.back(), dest_ + "/to-a");
}

// Catches control characters reaching created file names; a name of
// nothing else is refused rather than written under the folder's name.
TEST_F(ExtractFiles, ControlCharactersAreLeftOutOfCreatedNames) {
    Use({{"a\x1b[2Jb.txt", "x"}, {"d/\x07\x08", "y"}});
    EXPECT_EQ(zip_.UnZip(), 1);
    EXPECT_EQ(extract::ReadFile(dest_ + "/a[2Jb.txt"), "x");
    ASSERT_EQ(skipped_.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(dest_ + "/d/\x07\x08"));
}

// Catches a backslash inside a Unix-made name taken for a separator; in
// a name made on DOS or Windows it still is one.
TEST_F(ExtractFiles, ABackslashIsPartOfAUnixName) {
    Entry unixMade{"dir/a\\b.txt", "unix"};
    unixMade.madeBy = (3 << 8) | 30;
    Entry dosMade{"dir\\c.txt", "dos"};
    Use({unixMade, dosMade});
    EXPECT_EQ(zip_.UnZip(), 2);
    EXPECT_EQ(extract::ReadFile(dest_ + "/dir/a\\b.txt"), "unix");
    EXPECT_EQ(extract::ReadFile(dest_ + "/dir/c.txt"), "dos");
    EXPECT_EQ(ended_.front(), dest_ + "/dir/a\\b.txt");
}

// The DOS read-only bit takes the write bits away (on Windows: the file
// gets the read-only attribute), and the date is restored.
TEST_F(ExtractFiles, ReadOnlyBitAndDateAreRestored) {
    Entry readOnly{"ro.txt", "r"};
    readOnly.external = 0x01;
    Use({readOnly, {"plain.txt", "p"}});
    EXPECT_EQ(zip_.UnZip(), 2);
    EXPECT_EQ(PathStatus(dest_ + "/ro.txt", TLinks::Follow).Mode & 0222, 0u);
    const TPathStatus plain = PathStatus(dest_ + "/plain.txt", TLinks::Follow);
    EXPECT_NE(plain.Mode & 0200, 0u);
    struct tm t {};
    t.tm_year = 124, t.tm_mon = 4, t.tm_mday = 17, t.tm_hour = 12, t.tm_min = 30;
    t.tm_isdst = -1;
    EXPECT_EQ(plain.ModifiedSeconds, std::mktime(&t));
}

// Unix entries keep their permission bits but never set-user-ID or
// set-group-ID. Windows has no such bits (not run there).
TEST_F(ExtractFiles, UnixPermissionsAreRestored) {
    Entry setuid{"tool", "#!/bin/sh\n"};
    setuid.madeBy = (3 << 8) | 30;
    setuid.external = (0106755u) << 16;
    Use({setuid});
    EXPECT_EQ(zip_.UnZip(), 1);
    EXPECT_EQ(PathStatus(dest_ + "/tool", TLinks::Follow).Mode, 0755u);
}

}  // namespace
