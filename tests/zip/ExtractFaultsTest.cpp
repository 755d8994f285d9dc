// Extraction faults that only a purpose-built archive reaches: a wrong
// password that passes the one-byte check, a directory record pointing where
// no local header is, and the part a split set is left on after a run.
#include <gtest/gtest.h>

#include <array>

#include "DecoderTestSupport.h"
#include "ExtractTestSupport.h"
#include "ZipFixtures.h"
#include "zip/UnZipper.h"
#include "zip/codec/ZipCrypt.h"

namespace {

using extract::Entry;

// A password other than `right` whose header check passes for `sealed`
// (its 12 encryption header bytes); one in 256 does.
std::string WrongPasswordPassingTheCheck(const std::string& sealed, uint8_t check) {
    TZipCrypt cipher;
    for (int i = 0;; ++i) {
        const std::string candidate = "wrong" + std::to_string(i);
        if (cipher.DecryptHeaderByteByPtr(candidate, sealed.data()) == check) {
            return candidate;
        }
    }
}

class ExtractFaults : public ::testing::Test {
  protected:
    std::string Out(const std::string& name) const { return dest_ + "/" + name; }

    TempDir dir_;
    std::string dest_ = dir_.Path() + "out";
    TUnZipper zip_;
    std::vector<std::string> skipped_;
};

// Catches: no retry when an encrypted entry fails its CRC after a wrong
// password slipped through the check byte; the new password from
// OnBadPassword must be tried on the same entry.
TEST_F(ExtractFaults, EncryptedEntryFailingItsCrcIsRetriedWithTheNewPassword) {
    Entry e{"secret.txt", "a text whose CRC only the right key reproduces"};
    e.password = "right";
    const uint32_t crc = extract::CrcOf(e.plain);
    const auto check = static_cast<uint8_t>(crc >> 24);
    const std::string wrong =
        WrongPasswordPassingTheCheck(EncryptTraditional("right", e.plain, check), check);
    extract::Prepare(zip_, dir_.WriteFile("a.zip", extract::Build({e})), dest_);
    zip_.OnSkippingFile = [this](TUnZipper&, TSkipReason reason, const std::string& name, int,
                                 bool&) { skipped_.push_back(std::to_string(reason) + name); };

    zip_.Password = wrong;
    EXPECT_EQ(zip_.UnZip(), 0);  // no handler: skipped, its file removed
    EXPECT_EQ(skipped_, std::vector<std::string>{"0secret.txt"});
    EXPECT_FALSE(extract::Exists(Out("secret.txt")));

    skipped_.clear();
    std::vector<std::string> asked;
    zip_.OnBadPassword = [&](TUnZipper&, int index, std::string& password) {
        asked.push_back(std::to_string(index) + password);
        password = "right";
    };
    EXPECT_EQ(zip_.UnZip(), 1);
    EXPECT_EQ(asked, std::vector<std::string>{"0" + wrong});
    EXPECT_TRUE(skipped_.empty());
    EXPECT_EQ(extract::ReadFile(Out("secret.txt")), e.plain);
}

// Catches: an entry whose directory record points at bytes that are no
// local header being extracted from them; it must be reported as a CRC
// failure (computed 0) and left out, and the run go on.
TEST_F(ExtractFaults, MissingLocalHeaderIsReportedAndSkipped) {
    fixtures::Archive a;
    a.entries.resize(3);
    a.entries[0].name = "a.txt";
    a.entries[0].data = std::string(40, 'a');
    a.entries[1].name = "b.txt";
    a.entries[1].data = "bravo";
    // Where the central directory starts (after the three local entries):
    // no local header there, and no other entry's data either.
    a.entries[1].centralOffset = (30 + 5 + 40) + (30 + 5 + 5) + (30 + 5 + 7);
    a.entries[2].name = "c.txt";
    a.entries[2].data = "charlie";
    extract::Prepare(zip_, dir_.WriteFile("a.zip", fixtures::Build(a)), dest_);
    std::vector<std::array<uint32_t, 3>> badCrc;
    zip_.OnBadCRC = [&](TUnZipper&, uint32_t calc, uint32_t stored, int index) {
        badCrc.push_back({calc, stored, static_cast<uint32_t>(index)});
    };
    EXPECT_EQ(zip_.UnZip(), 2);
    EXPECT_EQ(badCrc, (std::vector<std::array<uint32_t, 3>>{{0, fixtures::Crc("bravo"), 2}}));
    EXPECT_FALSE(extract::Exists(Out("b.txt")));
    EXPECT_EQ(extract::ReadFile(Out("a.txt")), a.entries[0].data);
    EXPECT_EQ(extract::ReadFile(Out("c.txt")), "charlie");
}

// Catches: a split-set run leaving the component on the part it read
// last. Only the first entry (wholly on the first part) is extracted, so
// the run ends there unless it goes back to the part with the directory.
TEST_F(ExtractFaults, SplitSetRunReturnsToTheLastPart) {
    const std::string last =
        TestDataPath("multipart/infozip_split_stored/infozip_split_stored.zip");
    extract::Prepare(zip_, last, dest_);
    zip_.DoAll = false;
    zip_.SetFilesList({"*test.exe"});
    std::vector<int> disks;
    zip_.OnStartUnZip = [&](TUnZipper& z, int, std::string&, bool&) {
        disks.push_back(z.CurrentDisk());
    };
    EXPECT_EQ(zip_.UnZip(), 1);
    EXPECT_EQ(disks, std::vector<int>{0});  // the entry was read from the first part
    EXPECT_EQ(zip_.CurrentDisk(), 1);
    EXPECT_EQ(zip_.GetZipName(), last);
    EXPECT_EQ(extract::ReadFile(Out("exe/test.exe")).size(), 45056u);

    zip_.SetFilesList({"*.txt"});  // the next run starts from the directory's part
    EXPECT_EQ(zip_.UnZip(), 1);
    EXPECT_EQ(zip_.CurrentDisk(), 1);
}

}  // namespace
