#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string>

#include "FaultInjection.h"
#include "LoopbackClient.h"
#include "LoopbackServer.h"
#include "net/NetExceptions.h"
#include "net/TcpClient.h"
#include "platform/SocketErrorNumbers.h"

namespace {

size_t gPiece = 0;

// Hands received bytes out at most gPiece at a time.
int PieceRecv(TSocketId socket, void* buffer, int length, int flags, int& received) {
    return EntryPointSwap::Real().Receive(
        socket, buffer, static_cast<int>(std::min(static_cast<size_t>(length), gPiece)), flags,
        received);
}

int gInterruptions = 0;

int InterruptedRecv(TSocketId socket, void* buffer, int length, int flags, int& received) {
    if (gInterruptions > 0) {
        --gInterruptions;
        return WSAEINTR;
    }
    return EntryPointSwap::Real().Receive(socket, buffer, length, flags, received);
}

int ShutDownRecv(TSocketId, void*, int, int, int&) { return WSAESHUTDOWN; }

int FailingWait(TSocketWait*, size_t, int, int&) { return WSAENOBUFS; }

long ElapsedMs(std::chrono::steady_clock::time_point since) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - since)
                                 .count());
}

}  // namespace

// Lines joined from pieces of 1, 2, 3 and 10 bytes and from whole
// segments; the CR LF of the first line is split between sends.
class ReadLinePieces : public ::testing::TestWithParam<size_t> {};

TEST_P(ReadLinePieces, LinesAreJoinedAcrossPiecesAndTheRestIsKept) {
    LoopbackServer server([](ServerSide& side) {
        side.Send("o");
        side.Pause(5);
        side.Send("k\r");
        side.Pause(5);
        side.Send("\nsecond line\r\nMORE");
        side.WaitForClientClose();
    });
    TTcpClient client;
    EntryPointSwap swap;
    gPiece = GetParam();
    swap.Entries().Receive = PieceRecv;
    Connect(client, server);
    EXPECT_EQ(client.ReadLine("\r\n", 5000), "ok");
    EXPECT_EQ(client.ReadLine("\r\n", 5000), "second line");
    EXPECT_FALSE(client.LineTimedOut());
    while (client.InputBufferSize() < 4) {
        client.ReceiveChunk(true, 5000, nullptr, true);
    }
    EXPECT_EQ(client.TakeInputBytes(4), "MORE");
}

INSTANTIATE_TEST_SUITE_P(Sizes, ReadLinePieces, ::testing::Values(1, 2, 3, 10, 1 << 20));

TEST(ReadLine, BytesAfterTheTerminatorStayForTheNextReader) {
    LoopbackServer server(SendThenWait("ok\r\nMORE"));
    TTcpClient client;
    Connect(client, server);
    EXPECT_EQ(client.ReadLine("\r\n", 5000), "ok");
    EXPECT_EQ(client.InputBufferSize(), 4);
    EXPECT_EQ(client.TakeInputBytes(4), "MORE");
    EXPECT_THROW(client.TakeInputBytes(1), ENotEnoughDataInBuffer);
}

TEST(ReadLine, AnEmptyTerminatorMeansLineFeedAndDropsACarriageReturn) {
    LoopbackServer server(SendThenWait("ok\r\nok\na\rb\r\r\nlast\r\n"));
    TTcpClient client;
    Connect(client, server);
    EXPECT_EQ(client.ReadLine("", 5000), "ok");
    EXPECT_EQ(client.ReadLine("", 5000), "ok");
    EXPECT_EQ(client.ReadLine("", 5000), "a\rb\r");
    // An explicit LF terminator keeps the carriage return.
    EXPECT_EQ(client.ReadLine("\n", 5000), "last\r");
}

TEST(ReadLine, AnExpiredWaitGivesEmptyTextAndNoException) {
    LoopbackServer server([](ServerSide& side) {
        side.Pause(400);
        side.Send("late\r\n");
        side.WaitForClientClose();
    });
    TTcpClient client;
    Connect(client, server);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client.ReadLine("\r\n", 100), "");
    EXPECT_TRUE(client.LineTimedOut());
    EXPECT_GE(ElapsedMs(start), 90);
    EXPECT_TRUE(client.IsConnected());
    EXPECT_EQ(client.ReadLine("\r\n", 5000), "late");
    EXPECT_FALSE(client.LineTimedOut());
}

// The time-out limits each wait, not the whole line.
TEST(ReadLine, TheLimitRestartsWheneverBytesArrive) {
    LoopbackServer server([](ServerSide& side) {
        for (int i = 0; i < 5; ++i) {
            side.Send("a");
            side.Pause(60);
        }
        side.Send("\r\n");
        side.WaitForClientClose();
    });
    TTcpClient client;
    Connect(client, server);
    EXPECT_EQ(client.ReadLine("\r\n", 200), "aaaaa");
    EXPECT_FALSE(client.LineTimedOut());
}

TEST(ReadLine, APartialLineThenCloseGivesEmptyTextThenClosedGracefully) {
    LoopbackServer server(SendThenClose("par"));
    TTcpClient client;
    Connect(client, server);
    EXPECT_EQ(client.ReadLine("\r\n", 5000), "");
    EXPECT_TRUE(client.LineTimedOut());
    EXPECT_EQ(client.InputBufferSize(), 3);
    EXPECT_FALSE(client.IsConnected());
    try {
        client.ReadLine("\r\n", 5000);
        FAIL() << "no exception";
    } catch (const EConnClosedGracefully& e) {
        EXPECT_EQ(e.Message(), "Connection Closed Gracefully.");
    }
    EXPECT_EQ(client.InputBufferSize(), 3);  // the bytes are still there
}

TEST(ReadLine, ACloseWithNothingBufferedRaisesClosedGracefully) {
    LoopbackServer server([](ServerSide& side) { side.Close(); });
    TTcpClient client;
    Connect(client, server);
    EXPECT_THROW(client.ReadLine("\r\n", 5000), EConnClosedGracefully);
    EXPECT_FALSE(client.IsConnected());
}

TEST(ReadLine, AClientThatNeverConnectedRaisesClosedGracefully) {
    TTcpClient client;
    EXPECT_THROW(client.ReadLine("\r\n", 10), EConnClosedGracefully);
}

// A peer that never sends the terminator must not grow the buffer without
// bound: the read fails once no line within the limit can still come.
TEST(ReadLine, ALineWithoutEndFailsAtTheMaximumLength) {
    LoopbackServer server(SendThenWait(std::string(40000, 'a')));
    TTcpClient client;
    Connect(client, server);
    EXPECT_EQ(client.MaxLineLength, 16384);
    try {
        client.ReadLine("\r\n", 5000);
        FAIL() << "no exception";
    } catch (const ETcpConnectionError& e) {
        EXPECT_NE(dynamic_cast<const EMaxLineLengthExceeded*>(&e), nullptr);
        EXPECT_EQ(e.Message(), "Max line length exceeded.");
    }
    EXPECT_LE(client.InputBufferSize(), 16384 + 2 + client.RecvBufferSize());
}

TEST(ReadLine, ALineOfExactlyTheMaximumIsAcceptedAndOneMoreIsNot) {
    LoopbackServer server(
        SendThenWait(std::string(100, 'a') + "\r\n" + std::string(101, 'b') + "\r\n"));
    TTcpClient client;
    client.MaxLineLength = 100;
    Connect(client, server);
    EXPECT_EQ(client.ReadLine("\r\n", 5000), std::string(100, 'a'));
    EXPECT_THROW(client.ReadLine("\r\n", 5000), EMaxLineLengthExceeded);
}

TEST(ReadLine, AFailingWaitIsAnErrorNotATimeOut) {
    LoopbackServer server([](ServerSide& side) { side.WaitForClientClose(); });
    TTcpClient client;
    Connect(client, server);
    EntryPointSwap swap;
    swap.Entries().Wait = FailingWait;
    try {
        client.ReadLine("\r\n", 5000);
        FAIL() << "no exception";
    } catch (const ESocketError& e) {
        EXPECT_EQ(e.LastError(), 10055);
    }
}

TEST(ReadLine, InterruptedReceivesAreRepeated) {
    LoopbackServer server(SendThenWait("ok\r\n"));
    TTcpClient client;
    Connect(client, server);
    EntryPointSwap swap;
    gInterruptions = 3;
    swap.Entries().Receive = InterruptedRecv;
    EXPECT_EQ(client.ReadLine("\r\n", 5000), "ok");
    EXPECT_EQ(gInterruptions, 0);
}

TEST(ReceiveChunk, AShutDownSocketWithNothingBufferedRaises10058AndCloses) {
    LoopbackServer server(SendThenWait("x"));
    TTcpClient client;
    Connect(client, server);
    EntryPointSwap swap;
    swap.Entries().Receive = ShutDownRecv;
    try {
        client.ReceiveChunk(true, 5000, nullptr, true);
        FAIL() << "no exception";
    } catch (const ESocketError& e) {
        EXPECT_EQ(e.LastError(), 10058);
        EXPECT_EQ(e.Message(),
                  "Socket Error # 10058\r\nCannot send or receive after socket is closed.");
    }
    EXPECT_FALSE(client.SocketHandle().Allocated());
}

TEST(WriteLine, SendsTheTextThenCrLf) {
    std::string received;
    LoopbackServer server([&](ServerSide& side) { received = side.ReceiveUntilClose(); });
    {
        TTcpClient client;
        Connect(client, server);
        client.WriteLine("down_load_update_browser");
        client.WriteText("");  // sends nothing
    }
    server.Join();
    EXPECT_EQ(received, "down_load_update_browser\r\n");
    EXPECT_EQ(received.size(), 26u);
}

TEST(WriteLine, WritesCountOnlyInsideAnOpenWriteWork) {
    LoopbackServer server([](ServerSide& side) { side.ReceiveUntilClose(); });
    TTcpClient client;
    std::vector<int64_t> totals;
    client.OnWork = [&](TNetComponent*, TWorkMode mode, int64_t count) {
        EXPECT_EQ(mode, wkWrite);
        totals.push_back(count);
    };
    Connect(client, server);
    client.WriteLine("ab");
    client.StartWork(wkRead, 0);  // read work does not count sends
    client.WriteLine("ab");
    client.StartWork(wkWrite, 0);
    client.WriteLine("abc");
    client.WriteLine("d");
    EXPECT_EQ(totals, (std::vector<int64_t>{5, 8}));
}

// Without MSG_NOSIGNAL this test would end the whole process with SIGPIPE.
TEST(WriteLine, WritingAfterTheSendSideIsShutRaises10058NotSigpipe) {
    LoopbackServer server([](ServerSide& side) { side.WaitForClientClose(); });
    TTcpClient client;
    Connect(client, server);
    ASSERT_TRUE(ShutdownSends(client.SocketHandle().SocketId()));
    try {
        client.WriteLine("down_load_update_browser");
        FAIL() << "no exception";
    } catch (const ESocketError& e) {
        EXPECT_EQ(e.LastError(), 10058);
    }
    EXPECT_FALSE(client.IsConnected());
}

TEST(WriteLine, WritingToAPeerThatResetRaisesASocketError) {
    // The reset waits for the client's line: a reset before the connect
    // has fetched the peer's address would fail the connect itself.
    LoopbackServer server([](ServerSide& side) {
        side.ReceiveLine();
        side.Reset();
    });
    TTcpClient client;
    Connect(client, server);
    client.WriteLine("go");
    // Wait for the reset to arrive: the read side sees it first.
    EXPECT_THROW(client.ReadLine("\r\n", 5000), ESocketError);
    try {
        for (int i = 0; i < 100; ++i) {
            client.WriteLine("x");
        }
        FAIL() << "no exception";
    } catch (const ENetException& e) {
        // A reset reported on the read is gone; sends then see a dead pipe.
        const auto* socketError = dynamic_cast<const ESocketError*>(&e);
        ASSERT_NE(socketError, nullptr) << e.Message();
        EXPECT_TRUE(socketError->LastError() == 10058 || socketError->LastError() == 10054);
    }
}
