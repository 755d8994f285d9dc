// Multi-part archives: part names in both block modes, following the
// directory onto other parts, and the disk prompt.
#include <gtest/gtest.h>

#include "MessageOf.h"
#include "RecordingHooks.h"
#include "TempDir.h"
#include "ZipFixtures.h"
#include "zip/UnZipper.h"
#include "zip/base/FileHelpers.h"

namespace {

using fixtures::Stored;

struct Split {
    std::string first;  // local headers (and maybe part of the directory)
    std::string last;   // the rest of the directory and the end record
};

void Patch16(std::string& s, size_t at, uint16_t v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>(v >> 8);
}

// Two entries a.txt (48 bytes of local data) and b.txt; the cut falls at
// `cut`, the end record says this is disk 1 and where the directory starts.
Split TwoPartArchive(size_t cut, uint16_t startDisk, const std::string& comment = "") {
    fixtures::Archive a;
    a.entries = {Stored("a.txt", "alpha"), Stored("b.txt", "bravo!")};
    a.comment = comment;
    std::string whole = fixtures::Build(a);
    const size_t end = whole.size() - 22 - comment.size();
    Patch16(whole, end + 4, 1);
    Patch16(whole, end + 6, startDisk);
    if (startDisk == 1) {
        // The directory starts on this part: its offset counts from here.
        const size_t central = 30 + 5 + 5 + 30 + 5 + 6;
        whole[end + 16] = static_cast<char>(central - cut);
        whole[end + 17] = 0;
    }
    return {whole.substr(0, cut), whole.substr(cut)};
}

constexpr size_t kCentralStart = 81;
constexpr size_t kSecondCentral = kCentralStart + 46 + 5;

// A scratch folder for the parts and the component that reads them.
class MultiPart : public ::testing::Test {
  protected:
    // Writes the parts under the two names; the last part's path.
    std::string WriteParts(const Split& parts, const std::string& firstName,
                           const std::string& lastName) {
        tmp.WriteFile(firstName, parts.first);
        return tmp.WriteFile(lastName, parts.last);
    }
    TempDir tmp;
    TUnZipper zip;
};

TEST(SplitPartNames, StandardAndClassicDefaults) {
    TUnZipper zip;
    std::string name = "C:\\x\\pkg";
    zip.DefaultFileNameForSplitPart(name, 1, spFirst);
    EXPECT_EQ(name, "C:\\x\\pkg.zip.z01");
    name = "C:\\x\\pkg";
    zip.DefaultFileNameForSplitPart(name, 3, spLast);
    EXPECT_EQ(name, "C:\\x\\pkg.zip");
    zip.BlockMode = bmClassic;
    name = "C:\\x\\pkg";
    zip.DefaultFileNameForSplitPart(name, 2, spMiddle);
    EXPECT_EQ(name, "C:\\x\\pkg.002");
}

TEST(SplitPartNames, CommonZ01NameIsUsedWhenOnlyItExists) {
    TempDir tmp;
    tmp.WriteFile("pkg.z01", "x");
    TUnZipper zip;
    std::string name = tmp.Path() + "pkg";
    zip.DefaultFileNameForSplitPart(name, 1, spFirst);
    EXPECT_EQ(name, tmp.Path() + "pkg.z01");
    tmp.WriteFile("pkg.zip.z01", "x");
    name = tmp.Path() + "pkg";
    zip.DefaultFileNameForSplitPart(name, 1, spFirst);
    EXPECT_EQ(name, tmp.Path() + "pkg.zip.z01");
}

TEST_F(MultiPart, DirectoryOnTheFirstPartIsFetched) {
    const Split parts = TwoPartArchive(kSecondCentral + 51, 0);
    const std::string last = WriteParts(parts, "pkg.zip.z01", "pkg.zip");
    zip.SetZipName(last);
    zip.ReadZip();
    ASSERT_EQ(zip.GetCount(), 2);
    EXPECT_EQ(zip.GetMultiMode(), mmBlocks);
    EXPECT_EQ(zip.NumDisks(), 2);
    EXPECT_EQ(zip.CurrentDisk(), 1);
    EXPECT_EQ(zip.GetZipName(), tmp.Path() + "pkg.zip.z01");
    EXPECT_EQ(zip.GetDiskNo(1), 1u);
}

TEST_F(MultiPart, DirectoryContinuingOnTheNextPartIsFollowed) {
    const Split parts = TwoPartArchive(kSecondCentral, 0, "split note");
    const std::string last = WriteParts(parts, "pkg.z01", "pkg.zip");
    zip.SetZipName(last);
    zip.ReadZip();
    ASSERT_EQ(zip.GetCount(), 2);
    EXPECT_EQ(zip.GetFilename(1), "b.txt");
    EXPECT_EQ(zip.GetZipName(), last);
    EXPECT_NE(zip.EndCentral().ZipComment, nullptr);  // loaded while the part was open
    EXPECT_EQ(zip.GetZipComment(), "split note");
}

TEST_F(MultiPart, ClassicNumberedParts) {
    const Split parts = TwoPartArchive(kSecondCentral + 51, 0);
    const std::string last = WriteParts(parts, "pkg.001", "pkg.002");
    zip.BlockMode = bmClassic;
    zip.SetZipName(last);
    zip.ReadZip();
    ASSERT_EQ(zip.GetCount(), 2);
    EXPECT_EQ(zip.GetZipName(), tmp.Path() + "pkg.001");
}

TEST_F(MultiPart, HandlerNamesTheParts) {
    const Split parts = TwoPartArchive(kSecondCentral + 51, 0);
    const std::string last = WriteParts(parts, "first-part.bin", "pkg.zip");
    std::vector<std::pair<int, TSplitPartType>> asked;
    zip.OnFileNameForSplitPart = [&](TUnZipper&, std::string& name, int n, TSplitPartType t) {
        asked.emplace_back(n, t);
        name = tmp.Path() + "first-part.bin";
    };
    zip.SetZipName(last);
    zip.ReadZip();
    EXPECT_EQ(zip.GetCount(), 2);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], std::make_pair(1, spFirst));
}

TEST_F(MultiPart, UnreadableDirectoryOnAMultiPartArchiveIsNotRebuilt) {
    Split parts = TwoPartArchive(kSecondCentral + 51, 0);
    parts.first[kCentralStart] = 'X';  // spoil the first central header
    const std::string last = WriteParts(parts, "pkg.z01", "pkg.zip");
    zip.SetZipName(last);
    EXPECT_EQ(MessageOf([&] { zip.ReadZip(); }), "Not a valid zip file!");
    EXPECT_EQ(zip.GetZipName(), "");
}

class SpanDisk : public ::testing::Test {
  protected:
    void SetUp() override {
        name = tmp.WriteFile("disk.zip", "part");
        previous = SetDriveInfoProvider({[](const std::string&) { return true; },
                                         [this](const std::string&) -> std::optional<std::string> {
                                             return labels.empty()
                                                        ? std::nullopt
                                                        : std::optional(labels[labelCalls++]);
                                         }});
        zip.SetMultiMode(mmSpan);
    }
    void TearDown() override { SetDriveInfoProvider(previous); }

    TempDir tmp;
    std::string name;
    TUnZipper zip;
    DriveInfoProvider previous;
    std::vector<std::string> labels;
    size_t labelCalls = 0;
};

TEST_F(SpanDisk, CancelInTheDefaultPromptRaises) {
    RecordingHooks hooks;
    hooks.Answer(IDCANCEL);
    zip.SetZipName(name);
    EXPECT_EQ(MessageOf([&] { zip.SwapDisk(2); }), "User canceled loading new disk.");
    ASSERT_EQ(hooks.Boxes().size(), 1u);
    EXPECT_EQ(hooks.Boxes()[0].text, "Please insert disk 2 of the multi-disk set.");
    EXPECT_EQ(hooks.Boxes()[0].caption, "");
    EXPECT_EQ(hooks.Boxes()[0].flags, static_cast<unsigned>(MB_OKCANCEL));
}

TEST_F(SpanDisk, WrongVolumeLabelAsksAgain) {
    RecordingHooks hooks;
    labels = {"BACKUP001", "BACKUP002"};
    zip.SetZipName(name);
    TStream* stream = zip.SwapDisk(2);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(hooks.Boxes().size(), 2u);
    EXPECT_EQ(zip.CurrentDisk(), 1);
    EXPECT_EQ(stream->Size(), 4);
}

TEST_F(SpanDisk, UnreadableLabelIsNotChecked) {
    RecordingHooks hooks;
    zip.SetZipName(name);
    ASSERT_NE(zip.SwapDisk(3), nullptr);
    EXPECT_EQ(hooks.Boxes().size(), 1u);
}

TEST_F(SpanDisk, HandlerGivesTheNameAndEmptyMeansCancel) {
    int disk = 0;
    zip.OnGetNextDisk = [&](TUnZipper&, int n, std::string& file) {
        disk = n;
        file.clear();
    };
    zip.SetZipName(name);
    EXPECT_EQ(MessageOf([&] { zip.NewDiskEvent(); }), "User canceled loading new disk.");
    EXPECT_EQ(disk, 2);
}

}  // namespace
