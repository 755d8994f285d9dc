// zuvo-unzip: its command line, and whole runs in-process (list, test,
// extract, patterns, existing files, passwords, every failure's status and
// message); the program itself for --help and a split archive.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "ChildProcess.h"
#include "TempDir.h"
#include "UnzipCommand.h"
#include "UnzipOptions.h"
#include "ZipBuilder.h"
#include "platform/FileSystem.h"

namespace {

const std::string kCorpus = std::string(ZUVO_TESTDATA_DIR) + "/zip/";

TUnzipOptions Parse(const std::vector<std::string>& args) {
    TUnzipOptions options;
    std::string error;
    EXPECT_TRUE(ParseUnzipOptions(args, options, error)) << error;
    return options;
}

TEST(UnzipOptions, OptionsMayFollowTheArchiveAndGroup) {
    const auto o = Parse({"pkg.zip", "-d", "out", "-oq", "-Psecret", "a/*", "b.txt"});
    EXPECT_EQ(o.archive, "pkg.zip");
    EXPECT_EQ(o.destDir, "out");
    EXPECT_EQ(o.overwrite, TUnzipOptions::Overwrite::Always);
    EXPECT_TRUE(o.quiet);
    EXPECT_EQ(o.password, "secret");
    EXPECT_EQ(o.patterns, (std::vector<std::string>{"a/*", "b.txt"}));
    EXPECT_EQ(Parse({"-l", "x.zip"}).mode, TUnzipOptions::Mode::List);
    EXPECT_EQ(Parse({"-t", "-n", "x.zip"}).overwrite, TUnzipOptions::Overwrite::Never);
    EXPECT_EQ(Parse({"--", "-odd.zip"}).archive, "-odd.zip");
    EXPECT_TRUE(Parse({"--help"}).help);
}

TEST(UnzipOptions, BadCommandLinesAreRefused) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"-x", "a.zip"}, {"a.zip", "-d"}, {}, {"--verbose", "a.zip"}}) {
        TUnzipOptions options;
        std::string error;
        EXPECT_FALSE(ParseUnzipOptions(args, options, error));
        EXPECT_FALSE(error.empty());
    }
}

class UnzipTool : public ::testing::Test {
  protected:
    int Run(std::vector<std::string> args) {
        out_.str("");
        err_.str("");
        TUnzipOptions options;
        std::string error;
        EXPECT_TRUE(ParseUnzipOptions(args, options, error)) << error;
        TUnzipTerminal terminal;
        terminal.askLine = [this](const std::string& prompt) -> std::optional<std::string> {
            prompts_.push_back(prompt);
            if (answers_.empty()) {
                return std::nullopt;
            }
            const std::string a = answers_.front();
            answers_.erase(answers_.begin());
            return a;
        };
        terminal.askSecret = terminal.askLine;
        TUnzipCommand command(options, out_, err_, terminal);
        return command.Run();
    }
    std::string Archive(const ZipBuilder& builder) {
        return dir_.WriteFile("pkg.zip", builder.Build());
    }

    TempDir dir_;
    std::string out = dir_.Path() + "out";
    std::ostringstream out_;
    std::ostringstream err_;
    std::vector<std::string> prompts_;
    std::vector<std::string> answers_;
};

TEST_F(UnzipTool, ListsNamesSizesMethodCrcAndDate) {
    const std::string zip = Archive(ZipBuilder().Add("dir/a.txt", "alpha", true).Add("b", "b"));
    EXPECT_EQ(Run({"-l", zip}), kUnzipOk);
    const std::string text = out_.str();
    EXPECT_NE(text.find("DEF"), std::string::npos);
    EXPECT_NE(text.find("dir/a.txt"), std::string::npos);
    EXPECT_NE(text.find("2024-05-17 12:30"), std::string::npos);
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08lx", crc32(0, reinterpret_cast<const Bytef*>("alpha"), 5));
    EXPECT_NE(text.find(crc), std::string::npos);
    EXPECT_EQ(text.find("dir\\a.txt"), std::string::npos);
    EXPECT_NE(text.find("2 files"), std::string::npos);
}

// Catches: the component's warning about a directory it read around (an
// end record counting too few entries) never reaching the user.
TEST_F(UnzipTool, DirectoryWarningsArePrinted) {
    std::string bytes = ZipBuilder().Add("a.txt", "alpha").Add("b.txt", "bravo").Build();
    const size_t end = bytes.size() - 22;  // the end record, no comment
    bytes[end + 8] = 1;                    // entries on this disk
    bytes[end + 10] = 1;                   // entries in all
    const std::string zip = dir_.WriteFile("counted.zip", bytes);
    EXPECT_EQ(Run({"-d", out, zip}), kUnzipOk);
    EXPECT_NE(err_.str().find("zuvo-unzip: warning: "), std::string::npos) << err_.str();
    EXPECT_TRUE(std::filesystem::exists(out + "/b.txt"));
}

TEST_F(UnzipTool, ExtractsPatternsWithSlashesIntoANewDirectory) {
    const std::string zip = Archive(
        ZipBuilder().Add("dir/a.txt", "alpha").Add("dir/sub/c.txt", "c").Add("b.txt", "bravo"));
    EXPECT_EQ(Run({zip, "-d", out, "dir/*"}), kUnzipOk);
    EXPECT_EQ(TempDir::ReadFile(out + "/dir/a.txt"), "alpha");
    EXPECT_EQ(TempDir::ReadFile(out + "/dir/sub/c.txt"), "c");
    EXPECT_FALSE(std::filesystem::exists(out + "/b.txt"));
    EXPECT_EQ(Run({zip, "-d", out, "nothing/*"}), kUnzipEntryErrors);
    EXPECT_NE(err_.str().find("no entry matches nothing/*"), std::string::npos);
}

// Without -o or -n the terminal is asked; All and None stick.
TEST_F(UnzipTool, ExistingFilesAskOnTheTerminal) {
    const std::string zip = Archive(ZipBuilder().Add("a.txt", "new").Add("b.txt", "new"));
    dir_.WriteFile("out/a.txt", "old");
    dir_.WriteFile("out/b.txt", "old");
    answers_ = {"n", "y"};
    EXPECT_EQ(Run({"-q", "-d", out, zip}), kUnzipOk);
    EXPECT_EQ(prompts_.size(), 2u);
    EXPECT_EQ(prompts_[0], "replace " + out + "/a.txt? [y]es, [n]o, [A]ll, [N]one: ");
    EXPECT_EQ(TempDir::ReadFile(out + "/a.txt"), "old");
    EXPECT_EQ(TempDir::ReadFile(out + "/b.txt"), "new");
    answers_ = {"A"};
    prompts_.clear();
    EXPECT_EQ(Run({"-d", out, zip}), kUnzipOk);
    EXPECT_EQ(prompts_.size(), 1u);
    EXPECT_EQ(TempDir::ReadFile(out + "/a.txt"), "new");
    dir_.WriteFile("out/a.txt", "old");
    EXPECT_EQ(Run({"-n", "-d", out, zip}), kUnzipOk);
    EXPECT_EQ(TempDir::ReadFile(out + "/a.txt"), "old");
    EXPECT_EQ(Run({"-o", "-d", out, zip}), kUnzipOk);
    EXPECT_EQ(TempDir::ReadFile(out + "/a.txt"), "new");
}

// Catches -o writing through a hard link into a file outside the destination
// and refusing a read-only file left by an earlier run.
TEST_F(UnzipTool, OverwriteReplacesTheFileInsteadOfWritingIntoIt) {
    const std::string zip = Archive(ZipBuilder().Add("a.txt", "new").Add("ro.txt", "new"));
    const std::string outside = dir_.WriteFile("outside.txt", "outside");
    dir_.WriteFile("out/keep", "");
    std::filesystem::create_hard_link(outside, out + "/a.txt");
    const std::string readOnly = dir_.WriteFile("out/ro.txt", "old");
    ASSERT_TRUE(SetPathMode(readOnly, 0444));
    EXPECT_EQ(Run({"-o", "-d", out, zip}), kUnzipOk) << err_.str();
    EXPECT_EQ(TempDir::ReadFile(out + "/a.txt"), "new");
    EXPECT_EQ(TempDir::ReadFile(outside), "outside");
    EXPECT_EQ(TempDir::ReadFile(readOnly), "new");
    size_t names = 0;
    for (const auto& item : std::filesystem::directory_iterator(out)) {
        names += item.is_regular_file() ? 1 : 0;
    }
    EXPECT_EQ(names, 3u);  // no temporary file is left beside them
}

// Catches symbolic-link entries coming out as regular files with mode 0777,
// and links that would point out of the destination.
TEST_F(UnzipTool, SymbolicLinksAreMadeOnlyWhenTheyStayInside) {
    const auto link = [](const std::string& name, const std::string& target) {
        return ZipBuilder::Entry{name, target, false, 0120777};
    };
    const std::string zip = Archive(ZipBuilder()
                                        .Add("dir/a.txt", "alpha")
                                        .Add(link("to-a", "dir/a.txt"))
                                        .Add(link("dir/sub/up", "../../to-a"))
                                        .Add(link("dir/self", "."))
                                        .Add(link("out-rel", "../outside"))
                                        .Add(link("out-abs", "/etc/passwd"))
                                        .Add(link("out-via", "dir/self/../../outside")));
    EXPECT_EQ(Run({"-d", out, zip}), kUnzipEntryErrors) << out_.str() << err_.str();
    EXPECT_EQ(std::filesystem::read_symlink(out + "/to-a"), "dir/a.txt");
    EXPECT_EQ(std::filesystem::read_symlink(out + "/dir/sub/up"), "../../to-a");
    EXPECT_EQ(std::filesystem::read_symlink(out + "/dir/self"), ".");
    EXPECT_EQ(TempDir::ReadFile(out + "/dir/sub/up"), "alpha");
    for (const char* name : {"/out-rel", "/out-abs", "/out-via"}) {
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(out + name))) << name;
        EXPECT_NE(err_.str().find(std::string(name + 1) + " -> "), std::string::npos) << name;
    }
    EXPECT_NE(out_.str().find("linking: " + out + "/to-a -> dir/a.txt"), std::string::npos);
    // Extracting again replaces the links themselves, never what they point to.
    EXPECT_EQ(Run({"-o", "-d", out, zip}), kUnzipEntryErrors);
    EXPECT_EQ(TempDir::ReadFile(out + "/dir/a.txt"), "alpha");
    EXPECT_EQ(std::filesystem::read_symlink(out + "/to-a"), "dir/a.txt");
}

// Catches names printed raw (escape sequences and line feeds reaching the
// terminal) and control characters ending up in created file names.
TEST_F(UnzipTool, ControlCharactersAreShownEscapedAndLeftOutOfFiles) {
    const std::string zip = Archive(ZipBuilder()
                                        .Add("a\x1b[2Jb\nc\a.txt", "one")
                                        .Add("s\x01ub/d\x7f"
                                             "e.txt",
                                             "two")
                                        .Add(".\x01./up.txt", "three")
                                        .Add("\x02", "four"));
    EXPECT_EQ(Run({"-l", zip}), kUnzipOk);
    EXPECT_NE(out_.str().find("a^[[2Jb^Jc^G.txt"), std::string::npos);
    EXPECT_NE(out_.str().find("s^Aub/d^?e.txt"), std::string::npos);
    EXPECT_EQ(Run({"-d", out, zip}), kUnzipEntryErrors);
    // Every line is a line of its own: one per entry, no raw control bytes.
    const std::string printed = out_.str() + err_.str();
    EXPECT_EQ(printed.find_first_of("\x01\x02\x07\x1b\x7f"), std::string::npos) << printed;
    EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 5) << printed;
    EXPECT_EQ(TempDir::ReadFile(out + "/a[2Jbc.txt"), "one");
    EXPECT_EQ(TempDir::ReadFile(out + "/sub/de.txt"), "two");
    EXPECT_NE(err_.str().find(".^A./up.txt: unsafe path"), std::string::npos);
    EXPECT_NE(err_.str().find("^B: nothing is left"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir_.Path() + "up.txt"));
    size_t files = 0;
    for (const auto& item : std::filesystem::recursive_directory_iterator(out)) {
        files += item.is_regular_file() ? 1 : 0;
    }
    EXPECT_EQ(files, 2u);
}

TEST_F(UnzipTool, EveryFailureHasAStatusAndAMessage) {
    EXPECT_EQ(Run({dir_.Path() + "missing.zip"}), kUnzipArchiveError);
    EXPECT_NE(err_.str().find("cannot find archive"), std::string::npos);

    EXPECT_EQ(Run({kCorpus + "corrupt/not_zip_png.zip", "-d", out}), kUnzipArchiveError);
    EXPECT_NE(err_.str().find("not a zip archive"), std::string::npos);

    ZipBuilder::Entry broken{"bad.txt", "data", false, 0, true};
    const std::string zip = Archive(ZipBuilder().Add(broken).Add("../evil.txt", "x"));
    EXPECT_EQ(Run({"-o", "-d", out, zip}), kUnzipEntryErrors);
    EXPECT_NE(err_.str().find("bad.txt: CRC error"), std::string::npos);
    EXPECT_NE(err_.str().find("../evil.txt: unsafe path"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(out + "/bad.txt"));
    EXPECT_FALSE(std::filesystem::exists(dir_.Path() + "evil.txt"));

    EXPECT_EQ(Run({"-t", zip}), kUnzipEntryErrors);
    EXPECT_NE(err_.str().find("bad.txt: CRC error"), std::string::npos);
}

// Catches an error on the way to an entry's data (here its part of the
// set is missing) being reported under the entry extracted before it, and
// the message naming a part file the set never had.
TEST_F(UnzipTool, AMissingPartIsReportedWithTheEntryThatNeedsIt) {
    const std::string set = kCorpus + "multipart/infozip_split_deflated/infozip_split_deflated";
    for (const char* suffix : {".zip", ".z01"}) {
        dir_.WriteFile(std::string("set") + suffix, TempDir::ReadFile(set + suffix));
    }
    // The first entry lies in the first part; the second begins in the
    // missing one.
    const std::string root = "commons-compress/src/main/java/org/apache/commons/compress/";
    EXPECT_EQ(Run({"-q", "-d", out, dir_.Path() + "set.zip", root + "Test.java",
                   root + "archivers/dump/Dirent.java"}),
              kUnzipArchiveError);
    EXPECT_NE(err_.str().find("dump/Dirent.java: Cannot open"), std::string::npos) << err_.str();
    EXPECT_NE(err_.str().find(dir_.Path() + "set.z02"), std::string::npos) << err_.str();
}

TEST_F(UnzipTool, PasswordsFromTheCommandLineOrTheTerminal) {
    const std::string zip = kCorpus + "crypto/zipcrypto_deflated_nodd.zip";
    EXPECT_EQ(Run({"-t", "-P", "wrong", zip}), kUnzipEntryErrors);
    EXPECT_NE(err_.str().find("incorrect password"), std::string::npos);
    EXPECT_EQ(Run({"-t", "-P", "12345678", zip}), kUnzipOk);
    answers_ = {"12345678"};
    EXPECT_EQ(Run({"-q", "-d", out, zip}), kUnzipOk);
    EXPECT_EQ(prompts_.size(), 1u);
    EXPECT_EQ(Run({"-t", zip}), kUnzipEntryErrors);  // nobody answers now
    EXPECT_NE(err_.str().find("no password was given"), std::string::npos);
}

// The program itself: --help, and a split set opened through its .zip.
TEST_F(UnzipTool, ProgramRunsASplitArchive) {
    const std::string exe = ZUVO_UNZIP_EXE;
    EXPECT_EQ(RunProgramQuietly(exe, {"--help"}), 0);
    EXPECT_EQ(RunProgramQuietly(exe, {"-q"}), kUnzipUsageError);
    const std::string split =
        kCorpus + "multipart/infozip_split_deflated/infozip_split_deflated.zip";
    EXPECT_EQ(RunProgramQuietly(exe, {"-q", split, "-d", out}), 0);
    size_t files = 0;
    for (const auto& item : std::filesystem::recursive_directory_iterator(out)) {
        files += item.is_regular_file() ? 1 : 0;
    }
    EXPECT_GT(files, 200u);
}

// Catches arguments taken in the system's code page: on Windows, main()
// gets "?" for every character outside it, and the archive is not found.
TEST_F(UnzipTool, ProgramTakesChineseArchiveAndFolderNames) {
    const std::string chinese = "\xE4\xB8\xAD\xE6\x96\x87";  // 中文
    const std::string zip = dir_.WriteFile(chinese + "/" + chinese + ".zip",
                                           ZipBuilder().Add("a.txt", "alpha").Build());
    const std::string folder = out + "/" + chinese;
    EXPECT_EQ(RunProgramQuietly(ZUVO_UNZIP_EXE, {"-q", zip, "-d", folder}), 0);
    EXPECT_EQ(TempDir::ReadFile(folder + "/a.txt"), "alpha");
}

}  // namespace
