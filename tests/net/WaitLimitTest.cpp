// Bounded and cancellable waits: the connect limit, the whole-line reply
// limit, the stream's idle limit and the poll handler that slices every wait.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "FaultInjection.h"
#include "LoopbackClient.h"
#include "LoopbackServer.h"
#include "net/NetExceptions.h"
#include "net/TcpClient.h"
#include "platform/MemoryStream.h"
#include "platform/SocketErrorNumbers.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

long ElapsedMs(Clock::time_point since) {
    return static_cast<long>(
        std::chrono::duration_cast<milliseconds>(Clock::now() - since).count());
}

// A connect that the system never finishes, as with a host that drops the
// request: it is "in progress" and the socket never becomes writable.
void NeverFinishConnects(EntryPointSwap& swap) {
    swap.Entries().Connect = [](TSocketId, int, const TIPv4Address&, uint16_t) {
        return static_cast<int>(WSAEINPROGRESS);
    };
    swap.Entries().Wait = [](TSocketWait* sockets, size_t count, int ms, int& ready) {
        for (size_t i = 0; i < count; ++i) {
            sockets[i].Ready = 0;
        }
        std::this_thread::sleep_for(milliseconds(ms == SocketWaitForever ? 5000 : ms));
        ready = 0;
        return 0;
    };
}

// Counts the waits for sockets and passes them on.
void CountWaits(EntryPointSwap& swap, int& waits) {
    swap.Entries().Wait = [&waits](TSocketWait* s, size_t n, int ms, int& ready) {
        ++waits;
        return EntryPointSwap::Real().Wait(s, n, ms, ready);
    };
}

int ErrorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const ESocketError& e) {
        return e.LastError();
    }
    return 0;
}

}  // namespace

TEST(ConnectLimit, AConnectThatNeverFinishesRaises10060AtTheLimit) {
    TTcpClient client;
    EntryPointSwap swap;
    NeverFinishConnects(swap);
    client.Host = "127.0.0.2";
    client.Port = 10290;
    client.ConnectTimeoutMs = 200;
    const auto start = Clock::now();
    EXPECT_EQ(ErrorOf([&] { client.ConnectToHost(); }), WSAETIMEDOUT);
    EXPECT_GE(ElapsedMs(start), 200);
    EXPECT_LT(ElapsedMs(start), 1000);
    EXPECT_FALSE(client.IsConnected()) << "the socket is closed again";
}

TEST(ConnectLimit, ALimitedConnectWorksAndTheSocketBlocksAgainAfterIt) {
    LoopbackServer server([](ServerSide& side) {
        side.Pause(300);
        side.Send("late\r\n");
        side.WaitForClientClose();
    });
    TTcpClient client;
    client.ConnectTimeoutMs = 1000;
    Connect(client, server);
    EXPECT_TRUE(client.IsConnected());
    EXPECT_EQ(client.SocketHandle().RemoteIP, "127.0.0.1");
    EXPECT_EQ(client.SocketHandle().RemotePort, server.Port());
    // A blocking receive: no wait limit and no handler, yet the line comes
    // (a socket left non-blocking would fail it with 10035 at once).
    EXPECT_EQ(client.ReadLine("\r\n"), "late");
}

TEST(ConnectLimit, ARefusedLimitedConnectStillSays10061) {
    RefusingPort refusing;
    TTcpClient client;
    client.Host = "127.0.0.1";
    client.Port = refusing.Port();
    client.ConnectTimeoutMs = 1000;
    EXPECT_EQ(ErrorOf([&] { client.ConnectToHost(); }), WSAECONNREFUSED);
    EXPECT_FALSE(client.IsConnected());
}

// The poll handler is asked while a connect hangs and can stop it.
TEST(ConnectLimit, APollHandlerAbortsAHangingConnect) {
    TTcpClient client;
    EntryPointSwap swap;
    NeverFinishConnects(swap);
    client.Host = "127.0.0.2";
    client.Port = 10290;
    client.PollIntervalMs = 20;
    int polls = 0;
    client.OnPoll = [&polls] { return ++polls < 5; };
    const auto start = Clock::now();
    EXPECT_THROW(client.ConnectToHost(), EOperationAborted);
    EXPECT_EQ(polls, 5);
    EXPECT_LT(ElapsedMs(start), 500);
    EXPECT_FALSE(client.IsConnected());
}

// One byte at a time, each within the wait, never a terminator: a limit on
// each wait would never end; the limit on the whole line does.
TEST(ReplyLimit, ATrickledLineEndsAtTheWholeLimit) {
    LoopbackServer server([](ServerSide& side) {
        for (int i = 0; i < 10; ++i) {
            side.Send("x");
            side.Pause(80);
        }
    });
    TTcpClient client;
    Connect(client, server);
    const auto start = Clock::now();
    EXPECT_EQ(client.ReadLineWithin("\r\n", 300), "");
    EXPECT_TRUE(client.LineTimedOut());
    EXPECT_GE(ElapsedMs(start), 290);
    EXPECT_LT(ElapsedMs(start), 800);
}

TEST(ReplyLimit, ALineWithinTheLimitIsReadAndTheRestKept) {
    LoopbackServer server([](ServerSide& side) {
        side.Send("o");
        side.Pause(50);
        side.Send("k\r\nrest");
        side.WaitForClientClose();
    });
    TTcpClient client;
    Connect(client, server);
    EXPECT_EQ(client.ReadLineWithin("\r\n", 2000), "ok");
    EXPECT_FALSE(client.LineTimedOut());
    EXPECT_EQ(client.ReadLineWithin("\r\n", 100), "");
    EXPECT_EQ(client.InputBufferSize(), 4);
}

TEST(IdleLimit, AStreamThatGoesQuietFailsWith10060AndKeepsWhatCame) {
    LoopbackServer server([](ServerSide& side) {
        side.Send("first bytes");
        side.WaitForClientClose();
    });
    TTcpClient client;
    Connect(client, server);
    client.IdleLimitMs = 200;
    TMemoryStream stream;
    const auto start = Clock::now();
    EXPECT_EQ(ErrorOf([&] { client.ReadToStream(stream, -1, true); }), WSAETIMEDOUT);
    EXPECT_GE(ElapsedMs(start), 200);
    EXPECT_LT(ElapsedMs(start), 800);
    EXPECT_EQ(stream.Size(), 11);
}

// While a stream is quiet the handler is asked about every interval, and
// its "stop" ends the copy at once.
TEST(PollHandler, IsAskedThroughoutAQuietStreamAndStopsIt) {
    LoopbackServer server([](ServerSide& side) {
        side.Send("some");
        side.WaitForClientClose();
    });
    TTcpClient client;
    Connect(client, server);
    client.PollIntervalMs = 20;
    int polls = 0;
    Clock::time_point stopped{};
    client.OnPoll = [&] {
        if (++polls < 15) {
            return true;
        }
        stopped = Clock::now();
        return false;
    };
    int workEnds = 0;
    client.OnWorkEnd = [&workEnds](TNetComponent*, TWorkMode) { ++workEnds; };
    TMemoryStream stream;
    const auto start = Clock::now();
    EXPECT_THROW(client.ReadToStream(stream, -1, true), EOperationAborted);
    EXPECT_LT(ElapsedMs(stopped), 200) << "the copy outlived the handler's stop";
    EXPECT_GE(ElapsedMs(start), 14 * 20 - 40);
    EXPECT_LT(ElapsedMs(start), 15 * 20 * 3);
    EXPECT_EQ(workEnds, 1) << "the work still ends";
}

// Without a handler or limits the waits are what they always were: a
// blocking receive, a single wait per piece.
TEST(PollHandler, WithoutOneAReceiveIsOneCallWithoutAWait) {
    LoopbackServer server(SendThenClose("all of it"));
    TTcpClient client;
    Connect(client, server);
    EntryPointSwap swap;
    int waits = 0;
    CountWaits(swap, waits);
    TMemoryStream stream;
    client.ReadToStream(stream, -1, true);
    EXPECT_EQ(stream.Size(), 9);
    EXPECT_EQ(waits, 0);
}

// A copy with a poll handler takes the bytes that are already there without
// a wait before each chunk, and then leaves the socket blocking for the
// calls after it.
TEST(PollHandler, BytesAlreadyThereAreTakenWithoutWaitsAndTheSocketBlocksAfter) {
    const std::string body(200000, 'b');
    LoopbackServer server([&body](ServerSide& side) {
        side.Send(body);
        side.Pause(300);
        side.Send("late\r\n");
        side.WaitForClientClose();
    });
    TTcpClient client;
    Connect(client, server);
    client.OnPoll = [] { return true; };
    client.IdleLimitMs = 5000;
    std::this_thread::sleep_for(milliseconds(150));  // the body is all there
    EntryPointSwap swap;
    int waits = 0;
    CountWaits(swap, waits);
    TMemoryStream stream;
    client.ReadToStream(stream, static_cast<int64_t>(body.size()), false);
    EXPECT_EQ(stream.Size(), static_cast<int64_t>(body.size()));
    // Seven chunks; a wait or two where the sender refills the buffer.
    EXPECT_LE(waits, 2) << "a wait before each of the copy's chunks";
    client.OnPoll = nullptr;
    client.IdleLimitMs = WaitForever;
    EXPECT_EQ(client.ReadLine("\r\n"), "late")
        << "a receive after the copy must wait for its bytes";
}
