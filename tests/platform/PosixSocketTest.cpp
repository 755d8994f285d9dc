#include <gtest/gtest.h>
#include <netdb.h>

#include <cerrno>

#include "platform/SocketApi.h"
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
