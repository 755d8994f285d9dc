// What an extraction run concludes about an entry whose data does not come
// out whole: a wrong password that the decoder refuses, a run that fails in
// the middle of an entry, and the reason the user is given.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "DecoderTestSupport.h"
#include "ExtractTestSupport.h"
#include "ZipBuilder.h"
#include "ZipFixtures.h"
#include "platform/MemoryStream.h"
#include "zip/UnZipper.h"
#include "zip/codec/ZLibHelpers.h"
#include "zip/codec/ZipCrypt.h"
#include "zip/extract/ExtractStages.h"
#include "zip/io/SplitStream.h"

namespace {

using extract::Entry;

class ExtractVerdict : public ::testing::Test {
  protected:
    std::string Out(const std::string& name) const { return dest_ + "/" + name; }

    void RecordSkips() {
        zip_.OnSkippingFile = [this](TUnZipper&, TSkipReason reason, const std::string& name, int,
                                     bool&) { skipped_.push_back(std::to_string(reason) + name); };
    }

    TempDir dir_;
    std::string dest_ = dir_.Path() + "out";
    TUnZipper zip_;
    std::vector<std::string> skipped_;
};

// A password other than "right" that passes the header check of `e` (one in
// 256 does) and whose decrypted data the inflater refuses.
std::string WrongPasswordThatBreaksInflate(const Entry& e) {
    const uint32_t crc = extract::CrcOf(e.plain);
    const auto check = static_cast<uint8_t>(crc >> 24);
    const std::string sealed = EncryptTraditional("right", DeflateRaw(e.plain), check);
    for (int i = 0;; ++i) {
        const std::string candidate = "wrong" + std::to_string(i);
        TZipCrypt cipher;
        if (cipher.DecryptHeaderByteByPtr(candidate, sealed.data()) != check) {
            continue;
        }
        std::string data = sealed.substr(TZipCrypt::kHeaderSize);
        cipher.decrypt_buff(reinterpret_cast<uint8_t*>(data.data()), data.size());
        try {
            ZLibDecompressString(data, true);
        } catch (const EZLibError&) {
            return candidate;
        }
    }
}

// Catches: a wrong password that passes the one-byte check making zlib fail
// and so ending the whole run, with a zero-filled file of the declared size
// left and the later (plain) entries never extracted; it must count as a
// wrong password, the password be asked again, and the run go on.
TEST_F(ExtractVerdict, UndecodableEncryptedEntryIsAWrongPassword) {
    Entry secret{"secret.txt", std::string(3000, 's') + "whose deflate stream the key decides", 8};
    secret.password = "right";
    const Entry plain{"plain.txt", "after the encrypted one"};
    const std::string wrong = WrongPasswordThatBreaksInflate(secret);
    extract::Prepare(zip_, dir_.WriteFile("a.zip", extract::Build({secret, plain})), dest_);
    RecordSkips();

    zip_.Password = wrong;
    EXPECT_EQ(zip_.UnZip(), 1);
    EXPECT_EQ(skipped_, std::vector<std::string>{std::to_string(srBadPassword) + "secret.txt"});
    EXPECT_FALSE(extract::Exists(Out("secret.txt")));
    EXPECT_EQ(extract::ReadFile(Out("plain.txt")), plain.plain);

    skipped_.clear();
    std::vector<std::string> asked;
    zip_.Password = wrong;
    zip_.OnBadPassword = [&](TUnZipper&, int, std::string& password) {
        asked.push_back(password);
        password = "right";
    };
    EXPECT_EQ(zip_.UnZip(), 2);
    EXPECT_EQ(asked, std::vector<std::string>{wrong});
    EXPECT_TRUE(skipped_.empty());
    EXPECT_EQ(extract::ReadFile(Out("secret.txt")), secret.plain);
}

// Catches: the file of the entry being written when a fatal error ends the
// run staying behind at its declared size; finished entries stay.
TEST_F(ExtractVerdict, FatalErrorRemovesThePartialFile) {
    const Entry first{"first.txt", "finished before the failure"};
    Entry cut{"cut.bin", std::string(100000, 'c')};
    cut.compressedSize = 8u << 20;  // more than the archive holds
    cut.uncompressedSize = 8u << 20;
    extract::Prepare(zip_, dir_.WriteFile("a.zip", extract::Build({first, cut})), dest_);

    EXPECT_NE(extract::MessageOf([&] { zip_.UnZip(); }), "(none)");
    EXPECT_EQ(extract::ReadFile(Out("first.txt")), first.plain);
    EXPECT_FALSE(extract::Exists(Out("cut.bin")));
}

// Catches: damaged or cut data of a plain legacy entry ending the whole
// run; it gets the bad-CRC verdict and the entries after it still come out.
// What the decoder found (damaged, or ending early) is kept for the message.
TEST_F(ExtractVerdict, DamagedPlainLegacyEntryDoesNotEndTheRun) {
    Entry damaged{"shrunk.txt", std::string(100, 'd'), 1};
    damaged.payload = std::string("\xff\xff\xff\xff", 4);  // a first code above the literals
    Entry cut{"reduced.txt", std::string(100, 'r'), 2};
    cut.payload = std::string(1, '\0');  // ends inside the follower sets
    Entry after{"after.txt", "still here", 0};
    extract::Prepare(zip_, dir_.WriteFile("legacy.zip", extract::Build({damaged, cut, after})),
                     dest_);
    std::vector<std::string> problems;
    zip_.OnBadCRC = [&](TUnZipper& z, uint32_t, uint32_t, int) {
        problems.push_back(z.LastEntryProblem);
    };
    EXPECT_EQ(extract::MessageOf([&] { zip_.UnZip(); }), "(none)");
    EXPECT_EQ(problems, (std::vector<std::string>{"compressed data is damaged",
                                                  "compressed data ends early (truncated)"}));
    EXPECT_EQ(zip_.LastEntryProblem, "");
    EXPECT_TRUE(extract::Exists(Out(after.name)));
}

// An archive whose reads fail as a disk error would.
class TFailingStream final : public TMemoryStream {
  public:
    int64_t Read(void* buffer, int64_t count) override {
        const int64_t got = TMemoryStream::Read(buffer, count / 2);
        errno = EIO;
        return got;
    }
};

// Catches: a read the system fails being reported as the end of the
// archive; the user must see an I/O error with the system's text.
TEST(ExtractVerdictStages, ReadErrorIsNotEndOfData) {
    TUnZipper zip;
    TFailingStream failing;
    failing.WriteBuffer(std::string(100, 'x').data(), 100);
    failing.SetPosition(0);
    TSplitStream split(failing, 0, 0, [&](int) -> TStream& { return failing; });
    TExtractStages stages(zip, [](bool) {});
    stages.SetArchive(split);
    uint8_t bytes[64];
    EXPECT_EQ(extract::MessageOf([&] { stages.ReadExact(bytes, 64); }),
              std::string("I/O error reading the archive: ") + std::strerror(EIO));

    TMemoryStream shortArchive;  // a plain end of data stays what it is
    shortArchive.WriteBuffer(bytes, 10);
    shortArchive.SetPosition(0);
    TSplitStream shortSplit(shortArchive, 0, 0, [&](int) -> TStream& { return shortArchive; });
    stages.SetArchive(shortSplit);
    EXPECT_EQ(extract::MessageOf([&] { stages.ReadExact(bytes, 64); }),
              "Premature end of file reached");
}

// Catches: the right password refused for a streamed (flag bit 3) entry
// whose stored hour is 24, its check byte taken from the repaired time
// instead of the time the writer stored and used.
TEST_F(ExtractVerdict, StreamedEntryChecksAgainstTheStoredTime) {
    constexpr uint32_t kTime = 24u << 11 | 30u << 5;  // 24:30, repaired to 23:30
    Entry e{"late.txt", "written just after midnight"};
    e.password = "right";
    e.dosDateTime = ((2024u - 1980u) << 9 | 5u << 5 | 17u) << 16 | kTime;
    e.payload = EncryptTraditional("right", e.plain, static_cast<uint8_t>(kTime >> 8));
    std::string bytes = extract::Build({e});
    constexpr char kStreamed[] = {'\x09', '\x00'};  // encrypted, sizes after the data
    bytes.replace(6, 2, kStreamed, 2);
    bytes.replace(bytes.find("PK\x01\x02") + 8, 2, kStreamed, 2);
    extract::Prepare(zip_, dir_.WriteFile("a.zip", bytes), dest_);
    RecordSkips();

    zip_.Password = "right";
    EXPECT_EQ(zip_.UnZip(), 1);
    EXPECT_TRUE(skipped_.empty());
    EXPECT_EQ(extract::ReadFile(Out("late.txt")), e.plain);
}

// Catches: a directory record pointing past the end of the archive ending
// the run with "Premature end of file reached" before that entry started,
// so the failure was told under the name of the entry before it; it must be
// reported with its own entry, and the entries after it extracted.
TEST_F(ExtractVerdict, EntryBeyondTheEndIsReportedUnderItsOwnName) {
    fixtures::Archive a;
    a.entries = {fixtures::Stored("a.txt", "alpha"), fixtures::Stored("b.txt", "bravo"),
                 fixtures::Stored("c.txt", "charlie")};
    a.entries[1].centralOffset = 1u << 20;  // far beyond the archive's end
    extract::Prepare(zip_, dir_.WriteFile("a.zip", fixtures::Build(a)), dest_);
    std::vector<std::string> events;
    zip_.OnStartUnZip = [&](TUnZipper& z, int index, std::string&, bool&) {
        events.push_back("start " + z.Entry(index).filename);
    };
    zip_.OnBadCRC = [&](TUnZipper& z, uint32_t, uint32_t, int index) {
        events.push_back("failed " + z.Entry(index).filename);
    };

    EXPECT_EQ(extract::MessageOf([&] { EXPECT_EQ(zip_.UnZip(), 2); }), "(none)");
    std::sort(events.begin(), events.end());  // entries are visited in archive order
    EXPECT_EQ(events, (std::vector<std::string>{"failed b.txt", "start a.txt", "start c.txt"}));
    EXPECT_FALSE(extract::Exists(Out("b.txt")));
    EXPECT_EQ(extract::ReadFile(Out("c.txt")), "charlie");
}

}  // namespace
