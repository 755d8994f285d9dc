// The directory as its central records describe it, also when the end
// record miscounts, bytes are prepended, or entries share local data.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "MessageOf.h"
#include "TempDir.h"
#include "ZipFixtures.h"
#include "zip/UnZipper.h"

namespace {

using fixtures::Archive;
using fixtures::Build;
using fixtures::Stored;

constexpr int kDirectoryWarning = 198;

// An archive file with a component reading it that records the warnings
// its directory gives.
struct Read {
    TempDir tmp;
    TUnZipper zip;
    std::vector<std::pair<int, std::string>> messages;
    explicit Read(const std::string& bytes, const std::string& name = "t.zip") {
        zip.SetZipName(tmp.WriteFile(name, bytes));
        zip.OnHandleMessage = [this](TUnZipper&, int id, const std::string& text,
                                     const std::string&, unsigned, int& result) {
            messages.emplace_back(id, text);
            result = 1;
        };
    }
};

std::string Extracted(TUnZipper& zip, int32_t index) {
    std::vector<uint8_t> buffer;
    EXPECT_EQ(zip.UnZipToBufferByIndex(buffer, index), 1);
    return {buffer.begin(), buffer.end()};
}

// The stub is exactly as long as the first local entry, so the second
// entry's recorded offset is where the first one really starts.
Archive StubOneEntryLong() {
    Archive a;
    a.entries = {Stored("first.txt", "one"), Stored("caf\xC3\xA9.txt", "two!")};
    a.entries[1].madeBy = 0x0314;  // Unix: the name is UTF-8 without bit 11
    a.prefix = std::string(30 + 9 + 3, '#');
    return a;
}

}  // namespace

// Catches: a prepended stub making the reader rebuild from local headers
// and match central records by offsets that do not count the stub, so one
// entry took another's name, CRC and host (and was extracted twice).
TEST(PrependedStub, CentralRecordsKeepTheirOwnEntries) {
    Read r(Build(StubOneEntryLong()));
    r.zip.ReadZip();
    EXPECT_FALSE(r.zip.RebuiltDirectory());
    ASSERT_EQ(r.zip.GetCount(), 2);
    EXPECT_EQ(r.zip.GetFullname(0), "first.txt");
    EXPECT_EQ(r.zip.GetCrc(0), fixtures::Crc("one"));
    EXPECT_EQ(r.zip.Entry(0).GetRelativeOffset(), 42u);
    EXPECT_EQ(r.zip.GetFullname(1), "caf\xC3\xA9.txt");
    EXPECT_EQ(r.zip.Entry(1).version_made_by, 0x0314);
    EXPECT_EQ(r.zip.Entry(1).GetRelativeOffset(), 84u);
    EXPECT_EQ(Extracted(r.zip, 0), "one");
    EXPECT_EQ(Extracted(r.zip, 1), "two!");
    EXPECT_TRUE(r.messages.empty());
}

// Catches: a stub in front of a zip64 archive hiding the zip64 end record
// (its recorded offset does not count the stub), so the directory's offset
// stayed the saturated classic value and the archive was rebuilt.
TEST(PrependedStub, Zip64EndRecordIsFoundBeforeItsLocator) {
    Archive a = StubOneEntryLong();
    a.centralOffset = 0xFFFFFFFF;  // the zip64 end record holds the offset
    a.zip64Entries = 2;
    Read r(Build(a));
    r.zip.ReadZip();
    EXPECT_FALSE(r.zip.RebuiltDirectory());
    ASSERT_EQ(r.zip.GetCount(), 2);
    EXPECT_EQ(r.zip.GetFullname(1), "caf\xC3\xA9.txt");
    EXPECT_EQ(Extracted(r.zip, 1), "two!");
    EXPECT_TRUE(r.messages.empty());
}

// Catches: a stub shorter than the scan skip of an .exe name losing the
// entries inside the skipped range.
TEST(PrependedStub, ShortStubOfAnExeLosesNoEntry) {
    Archive a;
    for (int i = 0; i < 18; ++i) {
        a.entries.push_back(Stored("f" + std::to_string(i) + ".txt", std::string(500, 'a' + i)));
    }
    a.prefix = std::string(1000, 'M');
    Read r(Build(a), "setup.exe");
    r.zip.ReadZip();
    ASSERT_EQ(r.zip.GetCount(), 18);
    EXPECT_EQ(r.zip.GetFullname(0), "f0.txt");
    EXPECT_EQ(Extracted(r.zip, 17), std::string(500, 'a' + 17));
}

// Catches: the end record's entry count deciding how much of the directory
// is read; too low a count dropped the entries after it without a word.
TEST(EntryCount, TooLowCountReadsTheWholeDirectoryAndWarns) {
    Archive a;
    a.entries = {Stored("a.txt", "alpha"), Stored("b.txt", "bravo")};
    a.numEntries = 1;
    Read r(Build(a));
    r.zip.ReadZip();
    ASSERT_EQ(r.zip.GetCount(), 2);
    EXPECT_EQ(r.zip.GetFullname(1), "b.txt");
    EXPECT_FALSE(r.zip.RebuiltDirectory());
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0].first, kDirectoryWarning);
    EXPECT_EQ(r.messages[0].second,
              "The end record counts 1 entries, the central directory holds 2; all of them are "
              "read.");
}

// Catches: 65,536 entries without zip64, whose count wraps to 0, listing
// as an empty archive.
TEST(EntryCount, WrappedCountOfSixtyFiveThousandEntries) {
    Archive a;
    a.entries.reserve(65536);
    for (int i = 0; i < 65536; ++i) {
        a.entries.push_back(Stored(std::to_string(i), ""));
    }
    a.numEntries = 0;
    Read r(Build(a));
    r.zip.ReadZip();
    ASSERT_EQ(r.zip.GetCount(), 65536);
    EXPECT_EQ(r.zip.GetFullname(65535), "65535");
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0].first, kDirectoryWarning);
}

// Catches: entries whose local data overlap (one entry's header inside
// another's data, as in zip bombs that expand the same bytes many times)
// being accepted.
TEST(OverlappingEntries, HeaderInsideAnotherEntrysDataIsRefused) {
    Archive a;
    a.entries = {Stored("a.txt", std::string(40, 'a')), Stored("b.txt", "bravo")};
    a.entries[1].centralOffset = 30 + 5 + 4;  // inside a.txt's data
    Read r(Build(a));
    EXPECT_EQ(MessageOf([&] { r.zip.ReadZip(); }),
              "entries overlap: \"a.txt\" (local header at 0, 40 bytes of data) and \"b.txt\" "
              "(local header at 39)");
    EXPECT_EQ(r.zip.GetCount(), 0);
    Read again(Build(a));
    EXPECT_THROW(again.zip.ReadZip(), EBadZipFile);
}

// Catches: a directory rebuilt from local headers without telling anyone
// that names, attributes and flags may be incomplete.
TEST(RebuiltDirectory, RebuildGivesAWarning) {
    Archive a;
    a.entries = {Stored("a.txt", "alpha")};
    a.centralOffset = 0xFFFFFFF0;
    Read r(Build(a));
    r.zip.ReadZip();
    ASSERT_TRUE(r.zip.RebuiltDirectory());
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0].first, kDirectoryWarning);
    EXPECT_NE(r.messages[0].second.find("local headers"), std::string::npos);
}
