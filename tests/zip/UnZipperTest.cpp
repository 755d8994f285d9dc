// The component's surface: defaults, archive name and stream, per-entry
// queries, comments, listing, events and cancel.
#include <gtest/gtest.h>

#include "MessageOf.h"
#include "RecordingHooks.h"
#include "TempDir.h"
#include "ZipFixtures.h"
#include "platform/MemoryStream.h"
#include "zip/UnZipper.h"
#include "zip/base/ZipStrings.h"

namespace {

using fixtures::Stored;

using fixtures::Archive;

Archive Sample() {
    Archive a;
    a.entries = {Stored("zeta.txt", "zz"), Stored("Docs/alpha.txt", "aaaa"),
                 Stored("beta.bin", "b")};
    a.entries[0].comment = "last letter";
    a.entries[2].flags = 1;  // encrypted
    // 2004-07-15 13:45:30
    a.entries[1].dosDateTime = ((24u << 9 | 7u << 5 | 15u) << 16) | (13u << 11 | 45u << 5 | 15u);
    a.comment = "archive note";
    return a;
}

class UnZipperTest : public ::testing::Test {
  protected:
    void SetUp() override { path = tmp.WriteFile("sample.zip", fixtures::Build(Sample())); }
    TempDir tmp;
    std::string path;
    TUnZipper zip;
};

TEST_F(UnZipperTest, Defaults) {
    EXPECT_EQ(zip.ThisVersion(), 310);
    EXPECT_EQ(zip.ThisBuild(), 1);
    zip.SetThisVersion(999);
    zip.SetThisBuild(7);
    EXPECT_EQ(zip.ThisVersion(), 310);
    EXPECT_EQ(zip.ThisBuild(), 1);
    EXPECT_EQ(zip.SortMode(), ByNone);
    EXPECT_EQ(zip.OverwriteMode, Prompt);
    EXPECT_EQ(zip.IncompleteZipMode, izAssumeMulti);
    EXPECT_FALSE(zip.RecreateDirs);
    EXPECT_FALSE(zip.DoAll);
    EXPECT_FALSE(zip.KeepZipOpen);
    EXPECT_TRUE(zip.DoProcessMessages);
    EXPECT_TRUE(zip.RetainAttributes);
    EXPECT_FALSE(zip.ReplaceReadOnly);
    EXPECT_FALSE(zip.FlushFilesOnClose);
    EXPECT_EQ(zip.BlockMode, bmStandard);
    EXPECT_EQ(zip.OEMConvert, oemAlways);
    EXPECT_TRUE(zip.CheckDiskLabels());
    EXPECT_EQ(zip.GetMultiMode(), mmNone);
    EXPECT_EQ(zip.NumDisks(), 1);
    EXPECT_EQ(zip.BufferSize, 8192);
    EXPECT_EQ(zip.GetCount(), 0);
    EXPECT_FALSE(zip.GetIsZip64());
}

// Catches an archive name ending in "?" being refused: on this system it is
// an ordinary file name.
TEST_F(UnZipperTest, QuestionMarkNameIsAnOrdinaryName) {
    const std::string asked = tmp.WriteFile("pkg.zip?", TempDir::ReadFile(path));
    zip.SetZipName(asked);
    EXPECT_EQ(zip.GetZipName(), asked);
    zip.ReadZip();
    EXPECT_GT(zip.GetCount(), 0);
}

// Catches a name differing only in letter case being taken for the same
// archive: here it names another file, whose directory must be read.
TEST_F(UnZipperTest, SameNameInOtherCaseIsAnotherArchive) {
    zip.SetZipName(path);
    zip.ReadZip();
    TSortedZip* list = zip.EntryList();
    zip.SetZipName(path);
    EXPECT_EQ(zip.EntryList(), list);
    std::string upper = path;
    for (char& c : upper) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    zip.SetZipName(upper);
    EXPECT_EQ(zip.EntryList(), nullptr);
    EXPECT_EQ(zip.GetZipName(), upper);
    zip.SetZipName(tmp.Path() + "other.zip");
    EXPECT_EQ(zip.EntryList(), nullptr);
    EXPECT_EQ(zip.SplitBaseName(), tmp.Path() + "other");
}

TEST_F(UnZipperTest, MethodNamesCoverTheClassicAndTheLaterMethods) {
    Archive a;
    for (const uint16_t method : {6, 8, 9, 12, 14, 93, 95, 98, 99, 7, 10}) {
        fixtures::Entry e = Stored("m" + std::to_string(method), "x");
        e.method = method;
        a.entries.push_back(e);
    }
    zip.SetZipName(tmp.WriteFile("methods.zip", fixtures::Build(a)));
    zip.ReadZip();
    std::vector<std::string> names;
    for (int32_t i = 0; i < zip.GetCount(); ++i) {
        names.push_back(zip.GetCompressMethodStr(i));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"IMP", "DEF", "DF64", "BZ2", "LZMA", "ZSTD", "XZ",
                                               "PPMD", "AES", "TOK", "UNK"}));
}

TEST_F(UnZipperTest, IndexesOutsideTheListRaise) {
    zip.SetZipName(path);
    zip.ReadZip();
    EXPECT_EQ(MessageOf([&] { zip.GetFilename(-1); }), "Index -1 is out of range");
    EXPECT_EQ(MessageOf([&] { zip.GetCrc(3); }), "Index 3 is out of range");
    EXPECT_THROW(zip.SetSelected(3, true), EListError);
}

TEST_F(UnZipperTest, QueriesFollowTheSortOrder) {
    zip.SetZipName(path);
    zip.SetSortMode(ByName);
    zip.ReadZip();
    ASSERT_EQ(zip.GetCount(), 3);
    EXPECT_EQ(zip.GetFullname(0), "beta.bin");
    EXPECT_EQ(zip.GetFullname(1), "Docs\\alpha.txt");
    EXPECT_EQ(zip.GetPathname(1), "Docs\\");
    EXPECT_EQ(zip.GetUnCompressedSize(1), 4u);
    EXPECT_EQ(zip.GetCompressMethodStr(1), "STOR");
    EXPECT_TRUE(zip.GetIsEncrypted(0));
    EXPECT_TRUE(zip.GetHasComment(2));
    EXPECT_EQ(zip.GetDiskNo(2), 1u);
    zip.Sort(ByNone);
    EXPECT_EQ(zip.GetFullname(0), "zeta.txt");
    EXPECT_EQ(zip.SortedList(), zip.EntryList());
}

TEST_F(UnZipperTest, CommentsAreReadOnDemandAndTheArchiveClosedAgain) {
    zip.SetZipName(path);
    zip.ReadZip();
    EXPECT_EQ(zip.ArchiveStream(), nullptr);
    EXPECT_EQ(zip.Entry(0).file_comment, nullptr);
    EXPECT_EQ(zip.GetFileComment(0), "last letter");
    EXPECT_EQ(zip.GetFileComment(1), "");
    EXPECT_EQ(zip.GetZipComment(), "archive note");
    EXPECT_EQ(zip.ArchiveStream(), nullptr);
    EXPECT_FALSE(zip.EndCentral().Modified);
    zip.SetZipComment("archive note");
    EXPECT_FALSE(zip.EndCentral().Modified);
    zip.SetFileComment(1, "new");
    EXPECT_TRUE(zip.EndCentral().Modified);
    EXPECT_EQ(zip.GetFileComment(1), "new");
}

TEST_F(UnZipperTest, FillListLines) {
    zip.SetZipName(path);
    zip.ReadZip();
    std::vector<std::string> lines{"stale"};
    zip.FillList(lines);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "alpha.txt\t07/15/04\t01:45pm\t       4\t       4\t100%\tstor\tdocs\\");
    EXPECT_EQ(lines[0].substr(0, 10), "zeta.txt@\t");
    EXPECT_EQ(lines[2].substr(0, 10), "beta.bin#\t");
}

TEST_F(UnZipperTest, SelectionIsCounted) {
    zip.SetZipName(path);
    zip.ReadZip();
    zip.SetSelected(0, true);
    zip.SetSelected(0, true);
    zip.SetSelected(2, true);
    EXPECT_EQ(zip.SelectedCount(), 2);
    zip.SetSelected(0, false);
    EXPECT_EQ(zip.SelectedCount(), 1);
    zip.ClearSelected();
    EXPECT_EQ(zip.SelectedCount(), 0);
    EXPECT_FALSE(zip.GetSelected(2));
}

TEST_F(UnZipperTest, CallerStreamIsKeptOpenAndNeverFreed) {
    auto stream = std::make_unique<TMemoryStream>();
    const std::string bytes = fixtures::Build(Sample());
    stream->WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    zip.SetArchiveStream(stream.get());
    EXPECT_TRUE(zip.KeepZipOpen);
    EXPECT_TRUE(zip.ArchiveIsStream());
    zip.ReadZip();
    EXPECT_EQ(zip.GetCount(), 3);
    EXPECT_EQ(zip.ArchiveStream(), stream.get());
    EXPECT_EQ(zip.GetZipSize(), static_cast<int64_t>(bytes.size()));
    zip.ClearZip();
    EXPECT_EQ(zip.ArchiveStream(), stream.get());
    zip.SetArchiveStream(nullptr);
    EXPECT_FALSE(zip.ArchiveIsStream());
    EXPECT_EQ(zip.ArchiveStream(), nullptr);
    EXPECT_EQ(stream->Size(), static_cast<int64_t>(bytes.size()));
}

TEST_F(UnZipperTest, CancelFromThePumpStopsTheRead) {
    RecordingHooks hooks;
    SetProcessMessagesHook([&] { zip.CancelTheOperation(); });
    zip.SetZipName(path);
    EXPECT_EQ(MessageOf([&] { zip.ReadZip(); }), "User Aborted Operation");
    EXPECT_FALSE(zip.CancelRequested);
    EXPECT_EQ(zip.GetCount(), 0);
}

TEST_F(UnZipperTest, NoPumpingWhenMessagesAreOff) {
    RecordingHooks hooks;
    zip.DoProcessMessages = false;
    zip.SetZipName(path);
    zip.ReadZip();
    EXPECT_EQ(hooks.Pumps(), 0);
    zip.DoProcessMessages = true;
    zip.ClearZip();
    zip.SetZipName(path);
    zip.ReadZip();
    EXPECT_EQ(hooks.Pumps(), 3);
}

TEST_F(UnZipperTest, AssignCopiesSettingsAndHandlers) {
    TUnZipper source;
    source.SetZipName(path);
    source.SetDestDir("/out/");
    source.SetRootDir("base");
    source.SetSortMode(ByDate);
    source.RecreateDirs = true;
    source.OverwriteMode = Always;
    source.SetFilesList({"*.txt"});
    source.DoAll = true;
    source.IncompleteZipMode = izAssumeBad;
    source.KeepZipOpen = true;
    source.DoProcessMessages = false;
    source.RetainAttributes = false;
    source.ReplaceReadOnly = true;
    int calls = 0;
    source.OnUnZipComplete = [&](TUnZipper&, int) { ++calls; };
    zip.Assign(source);
    EXPECT_EQ(zip.GetZipName(), path);
    EXPECT_EQ(zip.DestDir(), "/out");
    EXPECT_EQ(zip.RootDir(), "base\\");
    EXPECT_EQ(zip.RelativePathList, std::vector<std::string>{"base\\"});
    EXPECT_EQ(zip.SortMode(), ByDate);
    EXPECT_TRUE(zip.RecreateDirs);
    EXPECT_EQ(zip.OverwriteMode, Always);
    EXPECT_EQ(zip.FilesList(), std::vector<std::string>{"*.txt"});
    EXPECT_TRUE(zip.DoAll);
    EXPECT_EQ(zip.IncompleteZipMode, izAssumeBad);
    EXPECT_TRUE(zip.KeepZipOpen);
    EXPECT_FALSE(zip.DoProcessMessages);
    EXPECT_FALSE(zip.RetainAttributes);
    EXPECT_TRUE(zip.ReplaceReadOnly);
    ASSERT_TRUE(zip.OnUnZipComplete);
    zip.OnUnZipComplete(zip, 0);
    EXPECT_EQ(calls, 1);
}

TEST_F(UnZipperTest, DestDirDropsOneTrailingSeparatorAndRefusesTheChooser) {
    zip.SetDestDir("/tmp/out/");
    EXPECT_EQ(zip.DestDir(), "/tmp/out");
    EXPECT_EQ(MessageOf([&] { zip.SetDestDir("?"); }), "User canceled Set Desination Directory");
    zip.SetRootDir("");
    EXPECT_EQ(zip.RelativePathList, std::vector<std::string>{""});
}

TEST_F(UnZipperTest, MessagesGoToTheHandlerOrTheBox) {
    RecordingHooks hooks;
    hooks.Answer(IDNO);
    EXPECT_EQ(zip.DoHandleMessage(196, "text", "caption", MB_YESNO), IDNO);
    ASSERT_EQ(hooks.Boxes().size(), 1u);
    EXPECT_EQ(hooks.Boxes()[0].caption, "caption");
    zip.OnHandleMessage = [](TUnZipper&, int id, const std::string&, const std::string&, unsigned,
                             int& result) { result = id + 1; };
    EXPECT_EQ(zip.DoHandleMessage(196, "text", "caption", MB_YESNO), 197);
    EXPECT_EQ(hooks.Boxes().size(), 1u);
}

TEST_F(UnZipperTest, EncryptionHeaderOfAnEntry) {
    zip.SetZipName(path);
    zip.ReadZip();
    uint8_t header[12];
    zip.GetDecryptHeaderPtr(1, header);  // stored plainly
    EXPECT_EQ(std::string(reinterpret_cast<char*>(header), 12), std::string(12, '\0'));
    fixtures::Archive a;
    a.entries = {Stored("secret", "0123456789AB-data")};
    a.entries[0].flags = 1;
    zip.SetZipName(tmp.WriteFile("secret.zip", fixtures::Build(a)));
    zip.ReadZip();
    zip.GetDecryptHeaderPtr(0, header);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(header), 12), "0123456789AB");
    zip.Entry(0).FileIsOK = FileVerdict::BadOrUnderTest;
    zip.ResetFileIsOK(0);
    EXPECT_EQ(zip.Entry(0).FileIsOK, FileVerdict::Untested);
}

TEST(ZipSignatures, ChangedAndRestored) {
    setZipSignatures(0, 0x08074B50, 0);
    EXPECT_EQ(LOCSIG, 0x08074B50u);
    EXPECT_EQ(LOC2, 0x07);
    EXPECT_EQ(LOC1, 0x08);
    EXPECT_EQ(CENTSIG, 0x02014B50u);
    setZipSignatures(0, 0, 0);
    EXPECT_EQ(LOCSIG, 0x04034B50u);
    EXPECT_EQ(LOC2, 0x03);
    EXPECT_EQ(END4, 0x50);
}

TEST_F(UnZipperTest, PauseAndCancelFlags) {
    zip.PauseTheOperation();
    EXPECT_TRUE(zip.PauseRequested);
    zip.CancelTheOperation();
    EXPECT_TRUE(zip.CancelRequested);
    EXPECT_FALSE(zip.PauseRequested);
    zip.PauseTheOperation();
    EXPECT_FALSE(zip.CancelRequested);
    zip.RestartTheOperation();
    EXPECT_FALSE(zip.PauseRequested);
    zip.DoPause();  // returns at once when not paused
}

}  // namespace
