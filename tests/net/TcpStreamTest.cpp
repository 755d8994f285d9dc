#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "LoopbackClient.h"
#include "LoopbackServer.h"
#include "TempDir.h"
#include "net/NetExceptions.h"
#include "net/TcpClient.h"
#include "platform/FileStream.h"
#include "platform/MemoryStream.h"

namespace {

// Bytes that show where a piece went missing or moved.
std::string Payload(size_t size) {
    std::string bytes(size, '\0');
    uint32_t state = 12345;
    for (char& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<char>(state >> 24);
    }
    return bytes;
}

std::string Content(TMemoryStream& stream) {
    return std::string(reinterpret_cast<const char*>(stream.Memory()),
                       static_cast<size_t>(stream.Size()));
}

// Records the read work as text, in order.
struct WorkLog {
    explicit WorkLog(TTcpClient& client) {
        client.OnWorkBegin = [this](TNetComponent*, TWorkMode mode, int64_t max) {
            events.push_back("begin " + std::to_string(mode) + " " + std::to_string(max));
        };
        client.OnWork = [this](TNetComponent*, TWorkMode mode, int64_t count) {
            EXPECT_EQ(mode, wkRead);
            totals.push_back(count);
        };
        client.OnWorkEnd = [this](TNetComponent*, TWorkMode mode) {
            events.push_back("end " + std::to_string(mode));
        };
    }
    std::vector<std::string> events;
    std::vector<int64_t> totals;
};

}  // namespace

// The download's exact use: the reply line shares a segment with the first
// package bytes, the rest follows, the peer's close ends the package.
TEST(ReadToStream, UntilCloseWritesBufferedBytesFirstAndEndsAtTheLastByte) {
    const std::string payload = Payload(300000);
    LoopbackServer server([&](ServerSide& side) {
        side.Send("ok\r\n" + payload.substr(0, 1000));
        side.Pause(20);
        side.Send(payload.substr(1000));
        side.Close();
    });
    TTcpClient client;
    WorkLog log(client);
    Connect(client, server);
    ASSERT_EQ(client.ReadLine("\r\n", 5000), "ok");
    const int64_t buffered = client.InputBufferSize();
    EXPECT_GT(buffered, 0);
    TMemoryStream stream;
    const std::string stale(1 << 20, 'x');  // an old, longer content
    stream.WriteBuffer(stale.data(), static_cast<int64_t>(stale.size()));
    stream.SetPosition(0);

    client.ReadToStream(stream, -1, true);

    EXPECT_EQ(stream.Size(), static_cast<int64_t>(payload.size()));
    EXPECT_TRUE(Content(stream) == payload);
    EXPECT_FALSE(client.IsConnected());
    EXPECT_EQ(log.events, (std::vector<std::string>{"begin 0 0", "end 0"}));
    ASSERT_GE(log.totals.size(), 2u);
    // Every receive is reported; the close adds a last event with no bytes.
    EXPECT_EQ(log.totals.back(), static_cast<int64_t>(payload.size()) - buffered);
    EXPECT_EQ(log.totals[log.totals.size() - 2], log.totals.back());
    EXPECT_TRUE(std::is_sorted(log.totals.begin(), log.totals.end()));
}

TEST(ReadToStream, UntilCloseIntoAFileStartsAtTheStreamPosition) {
    const std::string payload = Payload(100000);
    LoopbackServer server([&](ServerSide& side) {
        side.Send(payload);
        side.Close();
    });
    TempDir dir;
    const std::string name = dir.Path() + "Browser.zip";
    {
        TTcpClient client;
        Connect(client, server);
        TFileStream file(name, TFileMode::fmCreate);
        file.WriteBuffer("HEAD", 4);
        client.ReadToStream(file, -1, true);
        EXPECT_EQ(file.Position(), 4 + static_cast<int64_t>(payload.size()));
    }
    EXPECT_TRUE(TempDir::ReadFile(name) == "HEAD" + payload);
}

TEST(ReadToStream, APeerThatClosesAtOnceGivesAnEmptyStream) {
    LoopbackServer server(SendThenClose("ok\r\n"));
    TTcpClient client;
    WorkLog log(client);
    Connect(client, server);
    ASSERT_EQ(client.ReadLine("\r\n", 5000), "ok");
    TMemoryStream stream;
    client.ReadToStream(stream, -1, true);
    EXPECT_EQ(stream.Size(), 0);
    EXPECT_EQ(log.events.back(), "end 0");
}

// A reset in the middle is a failure, not an end: the work still ends
// first, so a progress display is never left open.
TEST(ReadToStream, AResetMidStreamRaises10054AfterTheWorkEnd) {
    LoopbackServer server([](ServerSide& side) {
        side.ReceiveLine();
        side.Send(Payload(64 * 1024));
        side.Pause(20);
        side.Reset();
    });
    TTcpClient client;
    WorkLog log(client);
    Connect(client, server);
    client.WriteLine("go");
    TMemoryStream stream;
    try {
        client.ReadToStream(stream, -1, true);
        FAIL() << "no exception";
    } catch (const ESocketError& e) {
        EXPECT_EQ(e.LastError(), 10054);
        EXPECT_EQ(e.Message(), "Socket Error # 10054\r\nConnection reset by peer.");
        EXPECT_EQ(log.events, (std::vector<std::string>{"begin 0 0", "end 0"}));
    }
    EXPECT_LE(stream.Size(), 64 * 1024);
}

TEST(ReadToStream, ACountReadsExactlyThatManyBytesAndLeavesTheRest) {
    LoopbackServer server(SendThenWait("abcdefgh"));
    TTcpClient client;
    WorkLog log(client);
    Connect(client, server);
    while (client.InputBufferSize() < 8) {
        client.ReceiveChunk(true, 5000, nullptr, true);
    }
    TMemoryStream stream;
    client.ReadToStream(stream, 3, false);
    EXPECT_EQ(Content(stream), "abc");
    EXPECT_EQ(client.TakeInputBytes(5), "defgh");
    EXPECT_EQ(log.events.front(), "begin 0 3");
}

TEST(ReadToStream, ALengthPrefixGivesTheCount) {
    LoopbackServer server([](ServerSide& side) {
        side.Send(std::string("\0\0\0\5", 4));
        side.Pause(10);
        side.Send("hello, and more");
        side.WaitForClientClose();
    });
    TTcpClient client;
    Connect(client, server);
    TMemoryStream stream;
    client.ReadToStream(stream);
    EXPECT_EQ(Content(stream), "hello");
}

TEST(ReadToStream, ACloseBeforeTheCountRaisesClosedGracefullyAfterTheWorkEnd) {
    LoopbackServer server(SendThenClose("abc"));
    TTcpClient client;
    WorkLog log(client);
    Connect(client, server);
    TMemoryStream stream;
    EXPECT_THROW(client.ReadToStream(stream, 10, false), EConnClosedGracefully);
    EXPECT_EQ(log.events.back(), "end 0");
}

// With too few bytes buffered and the peer gone no receive can complete
// the count; the read must fail instead of waiting for ever.
TEST(ReadBytes, ACloseBeforeTheCountRaisesInsteadOfSpinning) {
    LoopbackServer server(SendThenClose("ab"));
    TTcpClient client;
    Connect(client, server);
    while (client.IsConnected()) {
        client.ReceiveChunk(false, 5000, nullptr, true);
    }
    ASSERT_EQ(client.InputBufferSize(), 2);
    char bytes[4] = {};
    EXPECT_THROW(client.ReadBytes(bytes, 4), EConnClosedGracefully);
    client.ReadBytes(bytes, 2);
    EXPECT_EQ(std::memcmp(bytes, "ab", 2), 0);
}

TEST(ReadBytes, TakenBytesCountAsReadWorkOnlyInsideAnOpenWork) {
    LoopbackServer server(SendThenWait("12345678"));
    TTcpClient client;
    WorkLog log(client);
    Connect(client, server);
    char bytes[4];
    client.ReadBytes(bytes, 4);
    EXPECT_TRUE(log.totals.empty());
    client.StartWork(wkRead, 0);
    client.ReadBytes(bytes, 4);
    EXPECT_EQ(log.totals, (std::vector<int64_t>{4}));
    EXPECT_EQ(std::string(bytes, 4), "5678");
}
