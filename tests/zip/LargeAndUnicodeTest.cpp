// What a Windows build gets wrong first: offsets past 4 GiB held in a
// 32-bit long, and names passed to the system in a code page instead of
// UTF-16. Both run on every system; the names are checked through
// std::filesystem, which asks Windows in UTF-16.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "ExtractTestSupport.h"
#include "TempDir.h"
#include "ZipFixtures.h"
#include "platform/FileHandle.h"
#include "zip/UnZipper.h"

namespace {

// 中文 and 名字 ("Chinese", "name") in UTF-8 and in GBK (code page 936).
const std::string kChineseUtf8 = "\xE4\xB8\xAD\xE6\x96\x87";
const std::string kNameUtf8 = "\xE5\x90\x8D\xE5\xAD\x97";
const std::string kChineseGbk = "\xD6\xD0\xCE\xC4";
const std::string kNameGbk = "\xC3\xFB\xD7\xD6";

constexpr uint16_t kUtf8NamesFlag = 0x0800;
constexpr uint32_t kInZip64 = 0xFFFFFFFF;
// Where the archive starts in its file: beyond 4 GiB, in a sparse file.
constexpr uint64_t kArchiveStart = (uint64_t{5} << 30) + 3;

// The names in a folder, in UTF-8.
std::set<std::string> NamesIn(const std::string& folder) {
    std::set<std::string> names;
    const std::filesystem::path path(std::u8string(folder.begin(), folder.end()));
    for (const auto& item : std::filesystem::directory_iterator(path)) {
        const std::u8string name = item.path().filename().u8string();
        names.emplace(name.begin(), name.end());
    }
    return names;
}

void Patch64(std::string& bytes, size_t at, uint64_t value) {
    std::string field;
    Put64(field, value);
    bytes.replace(at, field.size(), field);
}

// A zip64 archive of one stored entry whose offsets all count from a
// file position beyond 4 GiB; its bytes are to be written there.
std::string ArchiveAt(uint64_t start, const std::string& data) {
    fixtures::Archive a;
    a.entries.push_back(fixtures::Stored("far.txt", data));
    a.entries[0].centralOffset = kInZip64;
    a.entries[0].centralExtra = fixtures::Zip64Extra({start});
    a.centralOffset = kInZip64;
    a.zip64Entries = 1;
    std::string bytes = fixtures::Build(a);
    // The directory's offset in the zip64 end record and the record's own
    // offset in its locator, both moved by `start`.
    const size_t central = bytes.find("PK\x01\x02");
    const size_t record = bytes.rfind("PK\x06\x06");
    const size_t locator = bytes.rfind("PK\x06\x07");
    Patch64(bytes, record + 48, start + central);
    Patch64(bytes, locator + 8, start + record);
    return bytes;
}

}  // namespace

TEST(UnicodeNames, Utf8NamesBecomeTheSameNamesOnDisk) {
    TempDir dir;
    fixtures::Archive a;
    a.entries.push_back(fixtures::Stored(kChineseUtf8 + "/" + kNameUtf8 + ".txt", "utf8"));
    a.entries[0].flags = kUtf8NamesFlag;
    const std::string archive = dir.WriteFile(kNameUtf8 + ".zip", fixtures::Build(a));
    TUnZipper zip;
    extract::Prepare(zip, archive, dir.Path() + "out");
    EXPECT_EQ(zip.UnZip(), 1);
    EXPECT_EQ(NamesIn(dir.Path() + "out"), std::set<std::string>{kChineseUtf8});
    EXPECT_EQ(NamesIn(dir.Path() + "out/" + kChineseUtf8),
              std::set<std::string>{kNameUtf8 + ".txt"});
    EXPECT_EQ(extract::ReadFile(dir.Path() + "out/" + kChineseUtf8 + "/" + kNameUtf8 + ".txt"),
              "utf8");
}

// A Chinese Windows tool writes names in its code page (936, a two-byte
// one), without the UTF-8 flag, and says the entry was made on MS-DOS
// (FAT), which is what the conversion goes by.
TEST(UnicodeNames, CodePageNamesAreConvertedBeforeTheyReachTheDisk) {
    TempDir dir;
    fixtures::Archive a;
    a.entries.push_back(fixtures::Stored(kChineseGbk + kNameGbk + ".txt", "gbk"));
    const std::string archive = dir.WriteFile("gbk.zip", fixtures::Build(a));
    TUnZipper zip;
    extract::Prepare(zip, archive, dir.Path() + "out");
    zip.OEMCodePage = "CP936";
    EXPECT_EQ(zip.UnZip(), 1);
    EXPECT_EQ(NamesIn(dir.Path() + "out"),
              std::set<std::string>{kChineseUtf8 + kNameUtf8 + ".txt"});
}

TEST(Zip64Offsets, AnArchiveBeyondFourGiBIsListedAndExtracted) {
    TempDir dir;
    const std::string data = "far away";
    const std::string bytes = ArchiveAt(kArchiveStart, data);
    const std::string path = dir.Path() + "far.zip";
    {
        // Nothing is written before the archive: the file system keeps the
        // hole sparse (Linux, and Wine on it) instead of writing zeros.
        TFileHandle file;
        ASSERT_TRUE(file.Create(path));
        ASSERT_EQ(file.Seek(static_cast<int64_t>(kArchiveStart), TSeekOrigin::soBeginning),
                  static_cast<int64_t>(kArchiveStart));
        ASSERT_EQ(file.Write(bytes.data(), static_cast<int64_t>(bytes.size())),
                  static_cast<int64_t>(bytes.size()));
    }
    TUnZipper zip;
    extract::Prepare(zip, path, dir.Path() + "out");
    zip.ReadZip();
    ASSERT_EQ(zip.GetCount(), 1);
    EXPECT_TRUE(zip.GetIsZip64());
    EXPECT_EQ(zip.UnZip(), 1);
    EXPECT_EQ(extract::ReadFile(dir.Path() + "out/far.txt"), data);
}
