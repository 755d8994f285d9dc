#include <fcntl.h>
#include <gtest/gtest.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "platform/SocketApi.h"
#include "platform/SocketErrorNumbers.h"
#include "platform/posix/PosixSocketApi.h"
#include "platform/posix/PosixSocketErrors.h"

// The numbers callers and messages depend on: a wrong pairing would report
// a refused server as something else entirely.
TEST(PosixSocketErrors, PlatformErrnoBecomesTheWinsockNumber) {
    EXPECT_EQ(SocketErrorFromErrno(ECONNREFUSED), 10061);
    EXPECT_EQ(SocketErrorFromErrno(ECONNRESET), 10054);
    EXPECT_EQ(SocketErrorFromErrno(ETIMEDOUT), 10060);
    EXPECT_EQ(SocketErrorFromErrno(EHOSTUNREACH), 10065);
    EXPECT_EQ(SocketErrorFromErrno(ENETUNREACH), 10051);
    EXPECT_EQ(SocketErrorFromErrno(EADDRINUSE), 10048);
    EXPECT_EQ(SocketErrorFromErrno(EPIPE), 10058);
    EXPECT_EQ(SocketErrorFromErrno(ESHUTDOWN), 10058);
    EXPECT_EQ(SocketErrorFromErrno(EINTR), 10004);
    EXPECT_EQ(SocketErrorFromErrno(EAGAIN), 10035);
    EXPECT_EQ(SocketErrorFromErrno(EMFILE), 10024);
    EXPECT_EQ(SocketErrorFromErrno(ENOTCONN), 10057);
    // Linux numbers its errors differently from BSD; a plain offset would
    // turn ENOSYS (38) into "Socket operation on non-socket." (10038).
    EXPECT_EQ(SocketErrorFromErrno(ENOSYS), ENOSYS);
}

TEST(PosixSocketErrors, ResolverFailuresBecomeTheHostNumbers) {
    EXPECT_EQ(SocketErrorFromResolver(EAI_NONAME, 0), 11001);
    EXPECT_EQ(SocketErrorFromResolver(EAI_AGAIN, 0), 11002);
    EXPECT_EQ(SocketErrorFromResolver(EAI_FAIL, 0), 11003);
    EXPECT_EQ(SocketErrorFromResolver(EAI_NODATA, 0), 11004);
    EXPECT_EQ(SocketErrorFromResolver(EAI_SYSTEM, ECONNREFUSED), 10061);
}

// ppoll takes seconds and nanoseconds; a wrong split waits a thousand
// times too long or returns at once.
TEST(PosixSocketWait, TheLimitIsSplitIntoSecondsAndNanoseconds) {
    const auto tenSeconds = PollLimit(10000);
    ASSERT_TRUE(tenSeconds.has_value());
    EXPECT_EQ(tenSeconds->tv_sec, 10);
    EXPECT_EQ(tenSeconds->tv_nsec, 0);
    const auto oneMs = PollLimit(1);
    ASSERT_TRUE(oneMs.has_value());
    EXPECT_EQ(oneMs->tv_sec, 0);
    EXPECT_EQ(oneMs->tv_nsec, 1000 * 1000);
    const auto mixed = PollLimit(2500);
    ASSERT_TRUE(mixed.has_value());
    EXPECT_EQ(mixed->tv_sec, 2);
    EXPECT_EQ(mixed->tv_nsec, 500 * 1000 * 1000);
    EXPECT_FALSE(PollLimit(SocketWaitForever).has_value());
}

namespace {

TSocketApi RealApi() {
    TLoadedSocketApi loaded = LoadSocketApi(SystemSocketLibraryName);
    EXPECT_EQ(loaded.Result, TSocketLoadResult::Loaded);
    return loaded.Api;
}

constexpr int kInternet = AF_INET;
constexpr TIPv4Address kLoopback = {127, 0, 0, 1};

}  // namespace

TEST(PosixSocketApi, AMissingLibraryLoadsNothing) {
    const TLoadedSocketApi loaded = LoadSocketApi("libzuvo-no-such-library.so.9");
    EXPECT_EQ(loaded.Result, TSocketLoadResult::LibraryNotLoaded);
    EXPECT_FALSE(loaded.Api.Open);
}

// The system's codes arrive as Winsock numbers and addresses in host order.
TEST(PosixSocketApi, RealCallsReportAddressesAndWinsockNumbers) {
    const TSocketApi api = RealApi();
    TSocketId listener = -1;
    ASSERT_EQ(api.Open(kInternet, SOCK_STREAM, 0, listener), 0);
    ASSERT_EQ(api.Bind(listener, kInternet, kLoopback, 0), 0);
    TIPv4Address ip{};
    uint16_t port = 0;
    ASSERT_EQ(api.LocalAddress(listener, ip, port), 0);
    EXPECT_EQ(ip, kLoopback);
    EXPECT_NE(port, 0);
    EXPECT_EQ(api.PeerAddress(listener, ip, port), WSAENOTCONN);
    ASSERT_EQ(api.Close(listener), 0);  // nobody listens on `port` now

    TSocketId client = -1;
    ASSERT_EQ(api.Open(kInternet, SOCK_STREAM, 0, client), 0);
    EXPECT_EQ(api.Connect(client, kInternet, kLoopback, port), WSAECONNREFUSED);
    EXPECT_EQ(api.Close(client), 0);
    EXPECT_EQ(api.Close(client), WSAEBADF);
    TIPv4Address resolved{};
    EXPECT_EQ(api.Resolve("localhost", resolved), 0);
    EXPECT_EQ(resolved, kLoopback);
}

// A write to a gone peer must come back as a number, not kill the process.
TEST(PosixSocketApi, SendingToAGonePeerIsAnErrorNotASignal) {
    const TSocketApi api = RealApi();
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    ::close(pair[1]);
    int sent = -1;
    EXPECT_EQ(api.Send(pair[0], "x", 1, 0, sent), WSAESHUTDOWN);
    ::close(pair[0]);
}

TEST(PosixSocketApi, WaitTellsWhatEachSocketIsReadyFor) {
    const TSocketApi api = RealApi();
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    TSocketWait waits[] = {{pair[0], srReadable | srWritable, 0}, {pair[1], srReadable, 0}};
    int ready = -1;
    ASSERT_EQ(api.Wait(waits, 2, 0, ready), 0);
    EXPECT_EQ(ready, 1);
    EXPECT_EQ(waits[0].Ready, static_cast<unsigned>(srWritable));
    EXPECT_EQ(waits[1].Ready, 0u);
    ASSERT_EQ(::write(pair[1], "x", 1), 1);
    waits[0].Wanted = srReadable;
    ASSERT_EQ(api.Wait(waits, 1, 1000, ready), 0);
    EXPECT_EQ(waits[0].Ready, static_cast<unsigned>(srReadable));
    char byte = 0;
    int received = 0;
    ASSERT_EQ(api.Receive(pair[0], &byte, 1, 0, received), 0);
    EXPECT_EQ(received, 1);
    EXPECT_EQ(byte, 'x');
    ::close(pair[1]);
    ASSERT_EQ(api.Wait(waits, 1, 1000, ready), 0);
    EXPECT_NE(waits[0].Ready & srHungUp, 0u);
    ::close(pair[0]);
    ASSERT_EQ(api.Wait(waits, 1, 0, ready), 0);  // a closed handle is no socket
    EXPECT_EQ(waits[0].Ready, static_cast<unsigned>(srNotASocket));
}

// Non-blocking mode: a receive with nothing to read returns at once with
// 10035 instead of waiting, and blocking mode comes back when asked.
TEST(PosixSocketApi, NonBlockingModeTurnsWaitsIntoWouldBlock) {
    const TSocketApi api = RealApi();
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    ASSERT_EQ(api.SetNonBlocking(pair[0], true), 0);
    char byte = 0;
    int received = -1;
    EXPECT_EQ(api.Receive(pair[0], &byte, 1, 0, received), WSAEWOULDBLOCK);
    ASSERT_EQ(api.SetNonBlocking(pair[0], false), 0);
    EXPECT_EQ(::fcntl(pair[0], F_GETFL) & O_NONBLOCK, 0);
    ASSERT_EQ(::write(pair[1], "y", 1), 1);
    ASSERT_EQ(api.Receive(pair[0], &byte, 1, 0, received), 0);
    EXPECT_EQ(byte, 'y');
    ::close(pair[0]);
    ::close(pair[1]);
    EXPECT_EQ(api.SetNonBlocking(pair[0], true), WSAEBADF);
}
