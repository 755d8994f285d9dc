// The data path of extraction through the real driver: block edges, the
// end of the deflate stream, damaged and lying entries, the memory and
// stream targets, encrypted entries and methods without a decompressor.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>

#include "DecoderTestSupport.h"
#include "ExtractTestSupport.h"
#include "RecordingHooks.h"
#include "ZipBuilder.h"
#include "platform/MemoryStream.h"
#include "zip/UnZipper.h"

namespace {

using extract::Entry;

class ExtractStages : public ::testing::Test {
  protected:
    // Writes the archive and prepares the component to extract it all.
    void Use(const std::vector<Entry>& entries) {
        archive_ = dir_.WriteFile("a.zip", extract::Build(entries));
        extract::Prepare(zip_, archive_, dest_);
        zip_.OnBadCRC = [this](TUnZipper&, uint32_t calc, uint32_t stored, int index) {
            badCrc_.push_back({calc, stored, static_cast<uint32_t>(index)});
        };
        zip_.OnUnZipComplete = [this](TUnZipper&, int count) { completed_.push_back(count); };
    }
    std::string Out(const std::string& name) const { return dest_ + "/" + name; }

    TempDir dir_;
    std::string dest_ = dir_.Path() + "out";
    std::string archive_;
    TUnZipper zip_;
    std::vector<std::vector<uint32_t>> badCrc_;
    std::vector<int> completed_;
};

// 0 bytes: no block at all; 32,768: one; 32,769: two.
TEST_F(ExtractStages, StoredEntriesAtTheBlockEdges) {
    const std::string full = PseudoRandomBytes(32769, 7);
    Use({{"zero.bin", ""}, {"one.bin", full.substr(0, 32768)}, {"two.bin", full}});
    std::vector<int> blocks(3, 0);
    int current = -1;
    zip_.OnStartUnZip = [&](TUnZipper&, int index, std::string&, bool&) { current = index; };
    zip_.OnFilePercentDone = [&](TUnZipper&, int) { ++blocks[static_cast<size_t>(current)]; };
    EXPECT_EQ(zip_.UnZip(), 3);
    EXPECT_EQ(extract::ReadFile(Out("zero.bin")), "");
    EXPECT_EQ(extract::ReadFile(Out("one.bin")), full.substr(0, 32768));
    EXPECT_EQ(extract::ReadFile(Out("two.bin")), full);
    EXPECT_EQ(blocks, (std::vector<int>{0, 1, 2}));
}

// Files this large go through the background writer (OutputFileTest shows
// the second thread): through the real driver every byte arrives in order,
// and the date is set after the last one, so no late write moves it.
TEST_F(ExtractStages, LargeFilesArriveWhole) {
    const std::string plain = PseudoRandomBytes(5 << 20, 13) + std::string(3 << 20, 'r');
    Use({{"stored.bin", plain}, {"deflated.bin", plain, 8}});
    EXPECT_EQ(zip_.UnZip(), 2);
    EXPECT_EQ(extract::ReadFile(Out("stored.bin")), plain);
    EXPECT_EQ(extract::ReadFile(Out("deflated.bin")), plain);
    EXPECT_TRUE(badCrc_.empty());
    struct tm t {};
    t.tm_year = 124, t.tm_mon = 4, t.tm_mday = 17, t.tm_hour = 12, t.tm_min = 30;
    t.tm_isdst = -1;
    for (const char* name : {"stored.bin", "deflated.bin"}) {
        struct stat info {};
        ASSERT_EQ(::stat(Out(name).c_str(), &info), 0);
        EXPECT_EQ(info.st_mtime, std::mktime(&t)) << name;
    }
}

// The entry ends with the deflate stream; bytes after it are not data.
TEST_F(ExtractStages, BytesAfterTheDeflateStreamAreIgnored) {
    Entry e{"d.txt", std::string(100000, 'x') + "end", 8};
    e.trailing = std::string(5000, '\x7f');
    Use({e});
    EXPECT_EQ(zip_.UnZip(), 1);
    EXPECT_EQ(extract::ReadFile(Out("d.txt")), e.plain);
}

// A cut deflate stream is zlib's error, raised as truncated after the
// run's final step; the unfinished file is removed.
TEST_F(ExtractStages, TruncatedDeflateStreamRaisesAfterTheFinalStep) {
    const std::string plain = PseudoRandomBytes(200000, 3);
    const std::string packed = DeflateRaw(plain);
    Entry e{"cut.bin", plain, 8};
    e.payload = packed.substr(0, packed.size() / 2);
    Use({e});
    zip_.SetFilesList({"*"});
    EXPECT_EQ(extract::MessageOf([&] { zip_.UnZip(); }), "compressed data ends early (truncated)");
    EXPECT_EQ(completed_, std::vector<int>{0});
    EXPECT_TRUE(zip_.FilesList().empty());
    EXPECT_FALSE(extract::Exists(Out("cut.bin")));
}

// A single-volume archive that ends inside an entry's data.
TEST_F(ExtractStages, PrematureEndOfAStoredEntry) {
    Entry e{"big.bin", "only a little data"};
    e.compressedSize = 1 << 20;
    e.uncompressedSize = 1 << 20;
    Use({e});
    EXPECT_EQ(extract::MessageOf([&] { zip_.UnZip(); }), "Premature end of file reached");
}

// More output than declared: refused at the block that passes the size,
// judged like a CRC failure, and the file is removed.
TEST_F(ExtractStages, OutputLargerThanDeclaredIsRemoved) {
    Entry e{"long.bin", std::string(1000, 'a')};
    e.uncompressedSize = 10;
    Use({e, {"next.txt", "fine"}});
    EXPECT_EQ(zip_.UnZip(), 1);
    EXPECT_FALSE(extract::Exists(Out("long.bin")));
    ASSERT_EQ(badCrc_.size(), 1u);
    EXPECT_EQ(extract::ReadFile(Out("next.txt")), "fine");
}

// A stored CRC that does not match removes the output and goes on.
TEST_F(ExtractStages, CrcFailureRemovesTheOutput) {
    Entry e{"bad.txt", "some content"};
    e.crc = 0x12345678;
    Use({e, {"good.txt", "good"}});
    EXPECT_EQ(zip_.UnZip(), 1);
    EXPECT_FALSE(extract::Exists(Out("bad.txt")));
    ASSERT_EQ(badCrc_.size(), 1u);
    EXPECT_EQ(badCrc_[0], (std::vector<uint32_t>{extract::CrcOf(e.plain), 0x12345678u, 0u}));
}

// Fewer bytes than declared with a matching CRC would leave a file padded
// with zeros to the declared size: that is a failure too.
TEST_F(ExtractStages, ShortOutputWithMatchingCrcIsRemoved) {
    Entry e{"short.txt", std::string(5000, 'q'), 8};
    e.uncompressedSize = 9000;
    Use({e});
    EXPECT_EQ(zip_.UnZip(), 0);
    EXPECT_FALSE(extract::Exists(Out("short.txt")));
    EXPECT_EQ(badCrc_.size(), 1u);
}

TEST_F(ExtractStages, MemoryTargetHoldsTheEntry) {
    const std::string plain = PseudoRandomBytes(70000, 11);
    Use({{"a.txt", "first"}, {"m.bin", plain, 8}});
    zip_.ReadZip();
    zip_.DoAll = false;  // with DoAll every entry would go to the one buffer
    std::vector<uint8_t> buffer;
    EXPECT_EQ(zip_.UnZipToBuffer(buffer, "m.bin"), 1);
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), plain);
    std::vector<uint8_t> byIndex;
    EXPECT_EQ(zip_.UnZipToBufferByIndex(byIndex, 0), 1);
    EXPECT_EQ(std::string(byIndex.begin(), byIndex.end()), "first");
    EXPECT_FALSE(extract::Exists(dest_));
}

// A header that claims far more than its compressed bytes can hold is
// refused before anything is allocated; so is one above the cap.
TEST_F(ExtractStages, MemoryTargetRefusesAbsurdSizes) {
    Entry ratio{"bomb.bin", std::string(100, 'z'), 8};
    ratio.uncompressedSize = 0xFFFFFFF0u;
    // 1.2 MB that do not compress could stand for 1.1 GB by their ratio.
    Entry cap{"huge.bin", PseudoRandomBytes(1200000, 4), 8};
    cap.uncompressedSize = 1100000000u;
    Use({ratio, cap});
    zip_.ReadZip();
    zip_.DoAll = false;
    std::vector<uint8_t> buffer;
    EXPECT_EQ(extract::MessageOf([&] { zip_.UnZipToBuffer(buffer, "bomb.bin"); }),
              "Cannot unzip bomb.bin to memory: it declares 4294967280 bytes from " +
                  std::to_string(DeflateRaw(ratio.plain).size()) + " compressed bytes");
    EXPECT_TRUE(buffer.empty());
    EXPECT_EQ(extract::MessageOf([&] { zip_.UnZipToBuffer(buffer, "huge.bin"); }),
              "Cannot unzip huge.bin to memory: 1100000000 bytes are more than the "
              "1073741824 bytes a buffer may hold");
    EXPECT_TRUE(buffer.empty());
}

// Chunks: every hand-over reports its amount and number; Quit on the
// last is normal, Quit earlier cancels the entry, which still counts.
TEST_F(ExtractStages, MemoryTargetHandsOverChunks) {
    const std::string plain = PseudoRandomBytes(2500, 5);
    Use({{"c.bin", plain}});
    zip_.ReadZip();
    zip_.DoAll = false;
    zip_.BufferChunkSize = 1000;
    std::string joined;
    std::vector<std::vector<int64_t>> calls;
    zip_.OnGetNextBuffer = [&](TUnZipper&, std::vector<uint8_t>& buffer, const std::string&,
                               int64_t used, int number, bool& quit) {
        joined.append(buffer.begin(), buffer.begin() + used);
        calls.push_back({used, number, quit ? 1 : 0});
    };
    std::vector<uint8_t> buffer;
    EXPECT_EQ(zip_.UnZipToBuffer(buffer, "c.bin"), 1);
    EXPECT_EQ(joined, plain);
    EXPECT_EQ(calls, (std::vector<std::vector<int64_t>>{{1000, 1, 0}, {1000, 2, 0}, {500, 3, 1}}));

    zip_.OnGetNextBuffer = [&](TUnZipper&, std::vector<uint8_t>&, const std::string&, int64_t, int,
                               bool& quit) { quit = true; };
    std::vector<uint8_t> second;
    EXPECT_EQ(zip_.UnZipToBuffer(second, "c.bin"), 1);
    EXPECT_TRUE(second.empty());  // dropped: it was sized here
}

TEST_F(ExtractStages, StreamTargetIsWrittenFromItsStart) {
    const std::string plain = PseudoRandomBytes(40000, 9);
    Use({{"s.bin", plain, 8}, {"t.txt", "tee"}});
    zip_.ReadZip();
    zip_.DoAll = false;
    TMemoryStream stream;
    EXPECT_EQ(zip_.UnZipToStream(&stream, "s.bin"), 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(stream.Memory()), stream.Size()), plain);
    TMemoryStream byIndex;
    EXPECT_EQ(zip_.UnZipToStreamByIndex(&byIndex, 1), 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(byIndex.Memory()), byIndex.Size()), "tee");
    EXPECT_EQ(zip_.UnZipToStream(nullptr, "s.bin"), 0);
    EXPECT_EQ(zip_.UnZipToStream(&stream, "  "), 0);
}

// Encrypted stored and deflated entries; an encrypted stored entry with an
// empty password decrypts with the empty password's keys like the others.
TEST_F(ExtractStages, EncryptedEntriesDecrypt) {
    const std::string plain = PseudoRandomBytes(50000, 21);
    Entry stored{"s.bin", plain};
    stored.password = "secret";
    Entry deflated{"d.bin", plain, 8};
    deflated.password = "secret";
    Entry empty{"e.bin", plain};
    empty.encrypt = true;
    Use({stored, deflated, empty});
    std::vector<std::string> skipped;
    zip_.OnSkippingFile = [&](TUnZipper&, TSkipReason reason, const std::string& name, int, bool&) {
        skipped.push_back(std::to_string(reason) + " " + name);
    };
    EXPECT_EQ(zip_.UnZip(), 1);
    EXPECT_EQ(extract::ReadFile(Out("e.bin")), plain);
    EXPECT_EQ(skipped, (std::vector<std::string>{"0 s.bin", "0 d.bin"}));

    zip_.Password = "secret";
    EXPECT_EQ(zip_.UnZip(), 2);
    EXPECT_EQ(extract::ReadFile(Out("s.bin")), plain);
    EXPECT_EQ(extract::ReadFile(Out("d.bin")), plain);
}

// A wrong password asks OnBadPassword, whose new answer is tried at once.
TEST_F(ExtractStages, BadPasswordHandlerSuppliesTheRightOne) {
    Entry e{"p.txt", "password protected", 8};
    e.password = "right";
    Use({e});
    zip_.Password = "wrong";
    std::vector<std::string> asked;
    zip_.OnBadPassword = [&](TUnZipper&, int, std::string& password) {
        asked.push_back(password);
        password = asked.size() == 1 ? "still wrong" : "right";
    };
    EXPECT_EQ(zip_.UnZip(), 1);
    EXPECT_EQ(asked, (std::vector<std::string>{"wrong", "still wrong"}));
    EXPECT_EQ(extract::ReadFile(Out("p.txt")), e.plain);
}

// A method without a decompressor: the default message, then the entry
// fails its CRC and its file goes; testing shows no message.
TEST_F(ExtractStages, UnknownMethodShowsMessage197) {
    Entry e{"x.lzma", "not really lzma", 14};
    e.payload = "12345";
    Use({e});
    RecordingHooks hooks;
    EXPECT_EQ(zip_.UnZip(), 0);
    ASSERT_EQ(hooks.Boxes().size(), 1u);
    EXPECT_EQ(hooks.Boxes()[0].text, "Unknown Compression Method");
    EXPECT_EQ(hooks.Boxes()[0].caption, "Zip Error");
    EXPECT_EQ(hooks.Boxes()[0].flags, 0u);
    EXPECT_FALSE(extract::Exists(Out("x.lzma")));
    EXPECT_FALSE(zip_.CheckArchive());
    EXPECT_EQ(hooks.Boxes().size(), 1u);
}

}  // namespace
