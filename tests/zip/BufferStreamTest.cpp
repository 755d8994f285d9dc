#include <gtest/gtest.h>

#include <string>

#include "TempDir.h"
#include "platform/Exception.h"
#include "platform/MemoryStream.h"
#include "zip/io/BufferStream.h"
#include "zip/io/LFNFileStream.h"

namespace {

// A memory stream that counts the reads and writes that reach it and can be
// told to take fewer bytes than offered.
class CountingStream : public TMemoryStream {
  public:
    int64_t Read(void* buffer, int64_t count) override {
        ++reads;
        return TMemoryStream::Read(buffer, count);
    }
    int64_t Write(const void* buffer, int64_t count) override {
        ++writes;
        return TMemoryStream::Write(buffer, std::min(count, writeLimit));
    }
    int reads = 0;
    int writes = 0;
    int64_t writeLimit = INT64_MAX;
};

// A buffer stream's wrapped stream.
class TS_BufferStreamTest : public ::testing::Test {
  protected:
    CountingStream inner;
};

void Fill(TStream& s, int n) {
    for (int i = 0; i < n; ++i) {
        const auto b = static_cast<uint8_t>(i);
        s.WriteBuffer(&b, 1);
    }
    s.SetPosition(0);
}

TEST_F(TS_BufferStreamTest, ZeroReadsChangeNothingAndEndReadsGiveZero) {
    Fill(inner, 10);
    TS_BufferStream s(inner, 8);
    char b[16];
    EXPECT_EQ(s.Read(b, 0), 0);
    EXPECT_EQ(inner.reads, 0);
    EXPECT_EQ(s.Read(b, 16), 10);
    EXPECT_EQ(s.Read(b, 1), 0);
}

TEST_F(TS_BufferStreamTest, PositionIsLogicalAndSeekingThereKeepsTheBuffer) {
    Fill(inner, 100);
    TS_BufferStream s(inner, 8192);
    char b[10];
    ASSERT_EQ(s.Read(b, 10), 10);
    EXPECT_EQ(s.Position(), 10);
    EXPECT_EQ(s.Seek(10, TSeekOrigin::soBeginning), 10);
    ASSERT_EQ(s.Read(b, 10), 10);
    EXPECT_EQ(b[0], 10);
    EXPECT_EQ(inner.reads, 1);  // both reads came from the first fill
}

TEST_F(TS_BufferStreamTest, SeekFromEndIgnoresTheSign) {
    Fill(inner, 100);
    TS_BufferStream s(inner, 16);
    EXPECT_EQ(s.Seek(-22, TSeekOrigin::soEnd), 78);
    EXPECT_EQ(s.Seek(22, TSeekOrigin::soEnd), 78);
}

TEST_F(TS_BufferStreamTest, SeekFlushesPendingWritesFirst) {
    {
        TS_BufferStream s(inner, 64);
        s.WriteBuffer("hello", 5);
        EXPECT_EQ(inner.Size(), 0);
        EXPECT_EQ(s.Size(), 5);  // buffered bytes count
        s.Seek(0, TSeekOrigin::soBeginning);
        EXPECT_EQ(inner.Size(), 5);
        char b[5];
        ASSERT_EQ(s.Read(b, 5), 5);
        EXPECT_EQ(std::string(b, 5), "hello");
    }
    EXPECT_EQ(inner.Size(), 5);
}

TEST_F(TS_BufferStreamTest, DestructionFlushesAndLargeWritesGoThroughInBlocks) {
    const std::string data(100, 'x');
    {
        TS_BufferStream s(inner, 32);
        EXPECT_EQ(s.Write(data.data(), 100), 100);
        EXPECT_EQ(inner.writes, 3);
    }
    EXPECT_EQ(inner.writes, 4);
    EXPECT_EQ(inner.Size(), 100);
}

TEST_F(TS_BufferStreamTest, ShortWriteOfTheWrappedStreamEndsTheWriteEarly) {
    inner.writeLimit = 3;
    TS_BufferStream s(inner, 8);
    const std::string data(20, 'y');
    // The first full buffer is accepted (and counted) although only 3 of its
    // bytes reached the wrapped stream.
    EXPECT_EQ(s.Write(data.data(), 20), 8);
    EXPECT_EQ(inner.Size(), 3);
}

TEST_F(TS_BufferStreamTest, PutBackOnAFreshStreamOverflows) {
    TS_BufferStream s(inner, 8);
    try {
        s.PutBack('a');
        FAIL() << "no exception";
    } catch (const EStreamError& e) {
        EXPECT_EQ(e.Message(), std::string("\x10") + "Putback overflow");
    }
}

TEST_F(TS_BufferStreamTest, PutBackReturnsTheByteOnTheNextRead) {
    Fill(inner, 4);
    TS_BufferStream s(inner, 8);
    char b = 0;
    ASSERT_EQ(s.Read(&b, 1), 1);
    s.PutBack('z');
    ASSERT_EQ(s.Read(&b, 1), 1);
    EXPECT_EQ(b, 'z');
}

TEST_F(TS_BufferStreamTest, WriteAfterReadLandsAtTheLogicalPosition) {
    Fill(inner, 20);
    {
        TS_BufferStream s(inner, 16);
        char b[4];
        ASSERT_EQ(s.Read(b, 4), 4);
        s.WriteBuffer("AB", 2);
    }
    EXPECT_EQ(inner.Memory()[4], 'A');
    EXPECT_EQ(inner.Memory()[5], 'B');
    EXPECT_EQ(inner.Memory()[6], 6);
}

TEST_F(TS_BufferStreamTest, FillAndFlushNotify) {
    Fill(inner, 10);
    int fills = 0;
    int flushes = 0;
    {
        TS_BufferStream s(inner, 4);
        s.OnAfterFill = [&](TS_BufferStream&) { ++fills; };
        s.OnAfterFlush = [&](TS_BufferStream&) { ++flushes; };
        char b[3];
        for (const int piece : {3, 3, 3, 1}) {
            s.Read(b, piece);
        }
        s.Seek(0, TSeekOrigin::soBeginning);
        s.WriteBuffer("q", 1);
    }
    EXPECT_EQ(fills, 3);
    EXPECT_EQ(flushes, 1);  // the pending byte went out on destruction
}

// Catches a buffered stream that copies large reads through its small buffer
// (one system call per buffer length instead of one per request).
TEST_F(TS_BufferStreamTest, ReadsAsLargeAsTheBufferGoStraightThroughAndKeepThePosition) {
    Fill(inner, 40);
    TS_BufferStream s(inner, 8);
    uint8_t b[32];
    ASSERT_EQ(s.Read(b, 3), 3);    // one fill of 8
    ASSERT_EQ(s.Read(b, 20), 20);  // 5 from the buffer, 15 straight from the stream
    EXPECT_EQ(b[0], 3);
    EXPECT_EQ(b[19], 22);
    EXPECT_EQ(inner.reads, 2);
    EXPECT_EQ(s.Position(), 23);
    ASSERT_EQ(s.Read(b, 2), 2);  // small again: buffered
    EXPECT_EQ(b[1], 24);
    EXPECT_EQ(s.Read(b, 32), 15);
    EXPECT_EQ(s.Position(), 40);
}

TEST(TLFNFileStream, OpensByNameAndReportsSize) {
    TempDir tmp;
    const std::string name = tmp.WriteFile("a.bin", std::string(300, 'k'));
    TLFNFileStream s(name, lfn::fmOpenRead | lfn::fmShareDenyWrite, false, 64);
    EXPECT_EQ(s.GetSize(), 300);
    EXPECT_GE(s.GetHandle(), 0);
    EXPECT_FALSE(s.CommitOnClose);
}

TEST(TLFNFileStream, MissingFileRaisesTheOpenError) {
    TempDir tmp;
    EXPECT_THROW(TLFNFileStream(tmp.Path() + "none.zip", lfn::fmOpenRead, false, 64), EFOpenError);
}

TEST(TLFNFileStream, CreateModeWritesAndCommitsOnRequest) {
    TempDir tmp;
    const std::string name = tmp.Path() + "out.bin";
    {
        TLFNFileStream s(name, lfn::fmCreate, true, 16);
        EXPECT_TRUE(s.CommitOnClose);
        s.SetSize(40);
        s.SetPosition(0);
        s.WriteBuffer("abc", 3);
    }
    const std::string bytes = TempDir::ReadFile(name);
    ASSERT_EQ(bytes.size(), 40u);
    EXPECT_EQ(bytes.substr(0, 3), "abc");
}

}  // namespace
