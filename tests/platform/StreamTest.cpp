#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "TempDir.h"
#include "platform/Exception.h"
#include "platform/FileStream.h"
#include "platform/MemoryStream.h"

namespace {

// Both stream kinds must keep the same contract; each test runs on both.
class StreamContract : public ::testing::TestWithParam<bool> {
  protected:
    std::unique_ptr<TStream> Make() {
        if (GetParam()) {
            return std::make_unique<TFileStream>(dir_.Path() + "s.bin", TFileMode::fmCreate);
        }
        return std::make_unique<TMemoryStream>();
    }
    TempDir dir_;
};

}  // namespace

TEST_P(StreamContract, SeekOriginsMoveFromTheRightPlace) {
    auto s = Make();
    s->WriteBuffer("0123456789", 10);
    EXPECT_EQ(s->Seek(2, TSeekOrigin::soBeginning), 2);
    EXPECT_EQ(s->Seek(3, TSeekOrigin::soCurrent), 5);
    EXPECT_EQ(s->Seek(-1, TSeekOrigin::soEnd), 9);
    char c = 0;
    EXPECT_EQ(s->Read(&c, 1), 1);
    EXPECT_EQ(c, '9');
    EXPECT_EQ(s->Size(), 10);
    EXPECT_EQ(s->Position(), 10);
}

TEST_P(StreamContract, ShortReadAtTheEndAndReadBufferRaises) {
    auto s = Make();
    s->WriteBuffer("abc", 3);
    s->SetPosition(1);
    char buf[8] = {};
    EXPECT_EQ(s->Read(buf, 8), 2);
    EXPECT_EQ(std::string(buf, 2), "bc");
    EXPECT_EQ(s->Read(buf, 8), 0);
    s->SetPosition(0);
    EXPECT_THROW(s->ReadBuffer(buf, 4), EReadError);
}

TEST_P(StreamContract, SetSizeTruncatesAndExtendsWithZeros) {
    auto s = Make();
    s->WriteBuffer("abcdef", 6);
    s->SetSize(3);
    EXPECT_EQ(s->Size(), 3);
    EXPECT_LE(s->Position(), 3);
    s->SetSize(5);
    s->SetPosition(0);
    char buf[5];
    s->ReadBuffer(buf, 5);
    EXPECT_EQ(std::string(buf, 5), std::string("abc\0\0", 5));
}

TEST_P(StreamContract, CopyFromZeroCopiesTheWholeSource) {
    TMemoryStream source;
    source.WriteBuffer("hello world", 11);
    auto s = Make();
    EXPECT_EQ(s->CopyFrom(source, 0), 11);
    EXPECT_EQ(s->Size(), 11);
}

INSTANTIATE_TEST_SUITE_P(FileAndMemory, StreamContract, ::testing::Values(true, false));

TEST(MemoryStream, SeekBeforeStartRaises) {
    TMemoryStream s;
    EXPECT_THROW(s.Seek(-1, TSeekOrigin::soBeginning), EStreamError);
}

TEST(FileStream, OpeningAMissingFileNamesIt) {
    try {
        TFileStream s("/nonexistent/dir/x.bin", TFileMode::fmOpenRead);
        FAIL();
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message(), "Cannot open file /nonexistent/dir/x.bin");
    }
    EXPECT_THROW(TFileStream("/nonexistent/dir/x.bin", TFileMode::fmCreate), EFCreateError);
}

// The position is counted, not asked for; the size always comes from the
// file, so a second writer's growth shows at once.
TEST(FileStream, CountedPositionAndTheFilesOwnSize) {
    TempDir dir;
    const std::string name = dir.Path() + "p.bin";
    TFileStream writer(name, TFileMode::fmCreate);
    writer.WriteBuffer("abcdef", 6);
    TFileStream reader(name, TFileMode::fmOpenRead);
    char got[8] = {};
    EXPECT_EQ(reader.Read(got, 4), 4);
    EXPECT_EQ(reader.Position(), 4);
    EXPECT_EQ(reader.Read(got, 8), 2);  // short at the end
    EXPECT_EQ(reader.Position(), 6);
    writer.WriteBuffer("ghij", 4);
    EXPECT_EQ(reader.Size(), 10);
    EXPECT_EQ(reader.Position(), 6);
    EXPECT_EQ(reader.Seek(-3, TSeekOrigin::soEnd), 7);
    EXPECT_EQ(reader.Seek(1, TSeekOrigin::soCurrent), 8);
    EXPECT_EQ(reader.Read(got, 8), 2);
    EXPECT_EQ(std::string(got, 2), "ij");
    writer.SetSize(3);
    EXPECT_EQ(writer.Position(), 3);
    EXPECT_EQ(writer.Size(), 3);
}
