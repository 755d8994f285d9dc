// Reading archive directories built byte by byte: end record search,
// central headers, zip64, rebuild from local headers, side-car files.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "MessageOf.h"
#include "TempDir.h"
#include "ZipFixtures.h"
#include "platform/MemoryStream.h"
#include "zip/UnZipper.h"

namespace {

using fixtures::Archive;
using fixtures::Build;
using fixtures::Entry;
using fixtures::Stored;

Archive TwoFiles() {
    Archive a;
    a.entries = {Stored("dir/sub/a.txt", "alpha"), Stored("b.txt", "bravo!")};
    return a;
}

struct Opened {
    TempDir tmp;
    TUnZipper zip;
    std::string path;
    explicit Opened(const std::string& bytes, const std::string& name = "t.zip") {
        path = tmp.WriteFile(name, bytes);
        zip.SetZipName(path);
    }
};

TEST(EndOfCentral, ZeroLengthFileIsAnEmptyArchive) {
    Opened o("");
    o.zip.ReadZip();
    EXPECT_EQ(o.zip.GetCount(), 0);
    EXPECT_NE(o.zip.EntryList(), nullptr);
}

TEST(EndOfCentral, ShortFileHasNoEndRecordAndUnZipOpenFailsLater) {
    Opened o(std::string(21, 'x'));
    o.zip.ReadZip();  // quietly: no handler to ask for the missing part
    EXPECT_EQ(o.zip.GetCount(), 0);
    EXPECT_EQ(MessageOf([&] { o.zip.OpenZip(); }), "Incomplete Zip File");
}

TEST(EndOfCentral, NotAZipModeRaisesAndForgetsTheName) {
    Opened o(std::string(21, 'x'));
    o.zip.IncompleteZipMode = izAssumeNotAZip;
    EXPECT_THROW(o.zip.ReadZip(), ENotAZipFile);
    EXPECT_EQ(o.zip.GetZipName(), "");
}

TEST(EndOfCentral, HandlerChoosesTheModeAndRetriesWhileAsked) {
    Opened o(std::string(30, 'x'));
    int calls = 0;
    o.zip.OnInCompleteZip = [&](TUnZipper&, TIncompleteZipMode& mode) {
        mode = ++calls < 3 ? izAssumeMulti : izAssumeNotAZip;
    };
    EXPECT_THROW(o.zip.ReadZip(), ENotAZipFile);
    EXPECT_EQ(calls, 3);
}

TEST(EndOfCentral, LongestCommentIsFoundOneMoreByteIsNot) {
    Archive a = TwoFiles();
    a.comment = std::string(65535, 'c');
    Opened found(Build(a));
    found.zip.ReadZip();
    EXPECT_EQ(found.zip.GetCount(), 2);
    EXPECT_EQ(found.zip.GetZipComment().size(), 65535u);

    // The same record followed by one more byte than a comment can hold.
    Opened lost(Build(a) + "x");
    lost.zip.IncompleteZipMode = izAssumeNotAZip;
    EXPECT_THROW(lost.zip.ReadZip(), ENotAZipFile);
}

TEST(EndOfCentral, SignatureInsideTheCommentWinsBeingNearestTheEnd) {
    Archive a = TwoFiles();
    std::string fake;
    fixtures::Put32(fake, 0x06054B50);
    fake += std::string(18, '\0');  // a record claiming no entries
    a.comment = "note " + fake;
    Opened o(Build(a));
    o.zip.ReadZip();
    EXPECT_EQ(o.zip.GetCount(), 0);
}

TEST(EndOfCentral, StartDiskAboveThisDiskCountsAsMissing) {
    Archive a = TwoFiles();
    a.startDisk = 1;
    Opened o(Build(a));
    o.zip.IncompleteZipMode = izAssumeNotAZip;
    EXPECT_EQ(MessageOf([&] { o.zip.ReadZip(); }), "Not a valid zip file!");
}

TEST(CentralHeaders, NamesSplitIntoDirectoryAndFile) {
    Archive a = TwoFiles();
    a.entries.push_back(Stored("dir/", ""));
    Opened o(Build(a));
    o.zip.ReadZip();
    ASSERT_EQ(o.zip.GetCount(), 3);
    EXPECT_EQ(o.zip.GetPathname(0), "dir\\sub\\");
    EXPECT_EQ(o.zip.GetFilename(0), "a.txt");
    EXPECT_EQ(o.zip.GetPathname(2), "dir\\");
    EXPECT_EQ(o.zip.GetFilename(2), "");
    EXPECT_EQ(o.zip.Entry(0).filename_length, 13);
}

TEST(CentralHeaders, DeclaredButAbsentExtraFieldIsSteppedOver) {
    Archive a = TwoFiles();
    a.entries[0].phantomCentralExtra = 9;
    a.entries.push_back(Stored("c.txt", "charlie"));
    Opened o(Build(a));
    o.zip.ReadZip();
    ASSERT_EQ(o.zip.GetCount(), 3);
    EXPECT_FALSE(o.zip.RebuiltDirectory());
    EXPECT_EQ(o.zip.GetFilename(1), "b.txt");
    EXPECT_EQ(o.zip.Entry(0).extra_field_length, 0);
}

TEST(CentralHeaders, Zip64SizesWithAndWithoutTheBlock) {
    Archive a = TwoFiles();
    a.entries[0].centralUncompressed = 0xFFFFFFFF;
    a.entries[0].centralCompressed = 0xFFFFFFFF;
    a.entries[0].centralExtra = fixtures::Zip64Extra({0x123456789ull, 0x100000005ull});
    a.entries[1].centralUncompressed = 0xFFFFFFFF;
    Opened o(Build(a));
    o.zip.ReadZip();
    ASSERT_EQ(o.zip.GetCount(), 2);
    EXPECT_EQ(o.zip.GetUnCompressedSize(0), 0x123456789ull);
    EXPECT_EQ(o.zip.GetCompressedSize(0), 0x100000005ull);
    EXPECT_EQ(o.zip.Entry(0).Zip64ExtraLength, 20);
    EXPECT_EQ(o.zip.GetUnCompressedSize(1), 0xFFFFFFFFull);
    EXPECT_TRUE(o.zip.GetIsZip64());
}

TEST(CentralHeaders, Zip64OffsetAfterUnrelatedBlocks) {
    Archive a = TwoFiles();
    std::string other;
    fixtures::Put16(other, 0x5455);
    fixtures::Put16(other, 5);
    other += "12345";
    a.entries[1].centralOffset = 0xFFFFFFFF;
    a.entries[1].centralExtra = other + fixtures::Zip64Extra({48});  // b.txt's real offset
    Opened o(Build(a));
    o.zip.ReadZip();
    ASSERT_EQ(o.zip.GetCount(), 2);
    EXPECT_EQ(o.zip.Entry(1).GetRelativeOffset(), 48u);
    EXPECT_FALSE(o.zip.RebuiltDirectory());
}

TEST(CentralHeaders, Zip64EndRecordSuppliesTheCount) {
    Archive a = TwoFiles();
    a.numEntries = 0xFFFF;
    a.zip64Entries = 2;
    Opened o(Build(a));
    o.zip.ReadZip();
    EXPECT_EQ(o.zip.GetCount(), 2);
    EXPECT_TRUE(o.zip.EndCentral().HasZip64());
}

TEST(CentralHeaders, MonthThirteenIsRepaired) {
    Archive a = TwoFiles();
    a.entries[0].dosDateTime = ((24u << 9 | 13u << 5 | 15u) << 16) | (10u << 11);
    Opened o(Build(a));
    o.zip.ReadZip();
    EXPECT_EQ((o.zip.Entry(0).last_mod_file_date_time >> 21) & 0x0F, 12u);
}

// The hostile count is a zip64 record claiming 2^32 entries in a tiny file:
// the reader stops at the first header that is not there instead of
// allocating or looping for the claimed number.
TEST(UntrustedCounts, HugeEntryCountInATinyFileFailsFast) {
    Archive a;
    a.numEntries = 0xFFFF;
    a.zip64Entries = 1ull << 32;
    const std::string bytes = Build(a);
    ASSERT_LT(bytes.size(), 1024u);
    Opened o(bytes);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(MessageOf([&] { o.zip.ReadZip(); }), "Not a valid zip file!");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(o.zip.GetCount(), 0);
}

TEST(UntrustedCounts, HugeCountWithRealEntriesListsWhatIsThere) {
    Archive a = TwoFiles();
    a.numEntries = 0xFFFF;
    a.zip64Entries = 1ull << 32;
    Opened o(Build(a));
    o.zip.ReadZip();  // the directory's size, not the count, decides
    EXPECT_EQ(o.zip.GetCount(), 2);
    EXPECT_FALSE(o.zip.RebuiltDirectory());
}

// Catches: a directory offset taken as a signed position. The zip64 value
// 0xFFFFFFFFFFFFFFF0 is -16 as a 64-bit position; like the classic value
// past the end it must count as beyond the file, never wrap back into it.
TEST(UntrustedCounts, OffsetsBeyondTheFileNeverWrap) {
    Archive classic = TwoFiles();
    classic.centralOffset = 0xFFFFFFF0;
    Archive wide = TwoFiles();
    wide.centralOffset = 0xFFFFFFFF;  // the zip64 end record holds the offset
    wide.zip64Entries = 2;
    std::string wideBytes = Build(wide);
    // The zip64 record's directory offset is its last field (8 bytes), just
    // before the locator (20 bytes) and the end record (22 bytes).
    const size_t field = wideBytes.size() - 22 - 20 - 8;
    wideBytes.replace(field, 8, "\xF0\xFF\xFF\xFF\xFF\xFF\xFF\xFF");
    for (const std::string& bytes : {Build(classic), wideBytes}) {
        Opened o(bytes);
        o.zip.ReadZip();  // the directory is rebuilt from the local headers
        EXPECT_EQ(o.zip.GetCount(), 2);
        EXPECT_TRUE(o.zip.RebuiltDirectory());
    }
}

// The second central record claims a.txt's data under the name b.txt: the
// archive is refused, naming both records, rather than rebuilt or relabeled.
TEST(Rebuild, DuplicateDiskAndOffsetIsRefused) {
    Archive a = TwoFiles();
    a.entries[1].centralOffset = 0;  // both central records point at a.txt
    Opened o(Build(a));
    EXPECT_EQ(MessageOf([&] { o.zip.ReadZip(); }),
              "Two central records name one local header: \"dir\\sub\\a.txt\" and "
              "\"b.txt\" (local header at 0)");
    EXPECT_EQ(o.zip.GetCount(), 0);
    Opened again(Build(a));
    EXPECT_THROW(again.zip.ReadZip(), EBadZipFile);
}

TEST(Rebuild, CentralDataIsMergedIntoRebuiltEntries) {
    Archive a = TwoFiles();
    a.entries[0].comment = "first";
    a.centralOffset = 0xFFFFFFF0;  // the directory cannot be found from the end record
    a.entries[0].madeBy = 0x0314;  // central knows the host, the local header does not
    Opened o(Build(a));
    o.zip.ReadZip();
    ASSERT_TRUE(o.zip.RebuiltDirectory());
    EXPECT_EQ(o.zip.Entry(0).version_made_by, 0x0314);
    EXPECT_EQ(o.zip.GetFileComment(0), "first");
}

TEST(Rebuild, PrependedStubShiftsTheCentralOffsets) {
    Archive a = TwoFiles();
    a.prefix = std::string(700, '#');
    Opened o(Build(a));
    o.zip.ReadZip();
    EXPECT_FALSE(o.zip.RebuiltDirectory());
    ASSERT_EQ(o.zip.GetCount(), 2);
    EXPECT_EQ(o.zip.Entry(1).GetRelativeOffset(), 700u + 48u);
}

TEST(Rebuild, ExeNamesStartTheScanAfterTheStub) {
    Archive a = TwoFiles();
    // A stub that itself looks like it holds a local header.
    Archive decoy;
    decoy.entries = {Stored("decoy.txt", "no")};
    a.prefix = Build(decoy) + std::string(14200, '#');
    a.centralOffset = 0xFFFFFFF0;  // only a scan of the local headers finds the entries
    const std::string bytes = Build(a);
    Opened exe(bytes, "SETUP.Exe");
    exe.zip.ReadZip();
    ASSERT_EQ(exe.zip.GetCount(), 2);
    EXPECT_EQ(exe.zip.GetFilename(1), "b.txt");

    Opened zip(bytes, "setup.zip");
    zip.zip.ReadZip();
    EXPECT_EQ(zip.zip.GetFilename(0), "decoy.txt");
}

TEST(Rebuild, NoLocalHeaderFailsWithTheBadZipError) {
    Opened o(std::string(100, 'q'));
    o.zip.IncompleteZipMode = izAssumeBad;
    EXPECT_EQ(MessageOf([&] { o.zip.ReadZip(); }), "Not a valid zip file!");
}

TEST(Rebuild, MissingEndRecordRebuildsInBadMode) {
    const std::string whole = Build(TwoFiles());
    Opened o(whole.substr(0, whole.size() - 22));
    o.zip.IncompleteZipMode = izAssumeBad;
    o.zip.ReadZip();
    EXPECT_EQ(o.zip.GetCount(), 2);
}

TEST(Rebuild, DataSizePastTheEndStopsTheScan) {
    Archive a = TwoFiles();
    std::string bytes = Build(a);
    bytes.resize(bytes.size() - 22);
    bytes[18] = '\xFF';  // a.txt's compressed size: far beyond the file
    bytes[19] = '\xFF';
    bytes[20] = '\xFF';
    bytes[21] = '\x7F';
    Opened o(bytes);
    o.zip.IncompleteZipMode = izAssumeBad;
    o.zip.ReadZip();
    EXPECT_EQ(o.zip.GetCount(), 1);
}

TEST(OemNames, Bit11NamesAreNeverConverted) {
    Archive a;
    a.entries = {Stored("\xC3\xA9.txt", "x"), Stored("\xC3\xA9.dat", "y")};
    a.entries[0].flags = 0x0800;
    for (TOEMConvert mode : {oemAlways, oemFlexible, oemNever}) {
        Opened o(Build(a));
        o.zip.OEMConvert = mode;
        o.zip.ReadZip();
        EXPECT_EQ(o.zip.GetFilename(0), "\xC3\xA9.txt") << mode;
        const std::string expected =
            mode == oemNever ? "\xC3\xA9.dat" : "\xE2\x94\x9C\xE2\x8C\x90.dat";
        EXPECT_EQ(o.zip.GetFilename(1), expected) << mode;
    }
}

TEST(OemNames, OnlyDosHostsAreConvertedAndFlexibleSkipsNtfsMarks) {
    Archive a;
    a.entries = {Stored("\x82.txt", "x"), Stored("\x82.dat", "y")};
    a.entries[0].madeBy = 0x0314;  // Unix
    a.entries[1].madeBy = 0x0B14;  // host 0 with the marks flexible mode respects
    a.entries[1].madeBy = 0x0014;
    Opened o(Build(a));
    o.zip.ReadZip();
    EXPECT_EQ(o.zip.GetFilename(0), "\x82.txt");
    EXPECT_EQ(o.zip.GetFilename(1), "\xC3\xA9.dat");  // CP437 0x82 is e acute
}

TEST(OemNames, OtherCodePageOnRequest) {
    Archive a;
    a.entries = {Stored("\x8F.txt", "x")};
    Opened o(Build(a));
    o.zip.OEMCodePage = "CP866";
    o.zip.ReadZip();
    EXPECT_EQ(o.zip.GetFilename(0), "\xD0\x9F.txt");  // Cyrillic capital pe
}

TEST(SideCar, DirectoryIsReadFromTheZfcFile) {
    Archive a = TwoFiles();
    const std::string whole = Build(a);
    const size_t centralStart = 30 + 13 + 5 + 30 + 5 + 6;
    TempDir tmp;
    const std::string path = tmp.WriteFile("pkg.zip", whole.substr(0, centralStart));
    // The side-car holds the directory with its offset counted from itself.
    std::string sideCar = whole.substr(centralStart);
    sideCar[sideCar.size() - 6] = 0;
    sideCar[sideCar.size() - 5] = 0;
    tmp.WriteFile("pkg.zfc", sideCar);
    TUnZipper zip;
    zip.SetZipName(path);
    zip.ReadZip();
    ASSERT_EQ(zip.GetCount(), 2);
    EXPECT_EQ(zip.GetFilename(1), "b.txt");
    EXPECT_FALSE(zip.RebuiltDirectory());
}

TEST(OpenZip, ReReadsWhenTheFileDateChanges) {
    Opened o(Build(TwoFiles()));
    o.zip.ReadZip();
    ASSERT_EQ(o.zip.GetCount(), 2);
    Archive three = TwoFiles();
    three.entries.push_back(Stored("c.txt", "c"));
    o.tmp.WriteFile("t.zip", Build(three));
    std::filesystem::last_write_time(
        o.path, std::filesystem::file_time_type::clock::now() + std::chrono::hours(1));
    o.zip.OpenZip();
    EXPECT_EQ(o.zip.GetCount(), 3);
    o.zip.CloseZip();
    EXPECT_EQ(o.zip.ArchiveStream(), nullptr);
}

TEST(OpenZip, SameDateKeepsTheDirectory) {
    Opened o(Build(TwoFiles()));
    o.zip.ReadZip();
    TSortedZip* before = o.zip.EntryList();
    o.zip.OpenZip();
    EXPECT_EQ(o.zip.EntryList(), before);
    o.zip.ClearZip();
    EXPECT_EQ(o.zip.GetCount(), 0);
    EXPECT_EQ(o.zip.GetZipName(), "");
}

TEST(OpenZip, MissingFileRaisesTheOpenError) {
    TUnZipper zip;
    zip.SetZipName("/nonexistent/dir/x.zip");
    EXPECT_THROW(zip.ReadZip(), EFOpenError);
}

}  // namespace
