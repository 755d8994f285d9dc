#include <gtest/gtest.h>

#include <cerrno>
#include <optional>

#include "FaultInjection.h"
#include "TestSockets.h"
#include "net/NetComponent.h"
#include "net/NetExceptions.h"
#include "net/SystemSocketStack.h"
#include "platform/Exception.h"
#include "platform/ScopeExit.h"
#include "platform/SocketErrorNumbers.h"

namespace {

int gResolverCalls = 0;

int CountingResolverNoName(const std::string&, TIPv4Address&) {
    ++gResolverCalls;
    return WSAHOST_NOT_FOUND;
}

int ResolverTryAgain(const std::string&, TIPv4Address&) { return WSATRY_AGAIN; }

int gLastTimeout = 0;
size_t gLastCount = 0;

// Nothing is ever ready.
int RecordingWait(TSocketWait* sockets, size_t count, int timeoutMs, int& ready) {
    gLastCount = count;
    gLastTimeout = timeoutMs;
    for (size_t i = 0; i < count; ++i) {
        sockets[i].Ready = 0;
    }
    ready = 0;
    return 0;
}

int gWaitInterruptions = 0;

int InterruptedWait(TSocketWait* sockets, size_t count, int timeoutMs, int& ready) {
    if (gWaitInterruptions > 0) {
        --gWaitInterruptions;
        return WSAEINTR;
    }
    return RecordingWait(sockets, count, timeoutMs, ready);
}

int NotASocketWait(TSocketWait* sockets, size_t count, int, int& ready) {
    for (size_t i = 0; i < count; ++i) {
        sockets[i].Ready = srNotASocket;
    }
    ready = static_cast<int>(count);
    return 0;
}

// Keeps the stack running for the test and swaps its entries.
class StackTest : public ::testing::Test {
  protected:
    TSocketStack& Stack() { return *GlobalStack; }
    TNetComponent keepAlive_;
    EntryPointSwap swap_;
};

}  // namespace

TEST(SocketStackText, IPv4TextNeedsFourNumbersFrom0To255) {
    EXPECT_TRUE(TSocketStack::IsIPv4Text("10.0.0.1"));
    EXPECT_TRUE(TSocketStack::IsIPv4Text("255.255.255.255"));
    EXPECT_TRUE(TSocketStack::IsIPv4Text("0.0.0.0"));
    EXPECT_FALSE(TSocketStack::IsIPv4Text("256.1.1.1"));
    EXPECT_FALSE(TSocketStack::IsIPv4Text("1.2.3"));
    EXPECT_FALSE(TSocketStack::IsIPv4Text("1.2.3.4.5"));
    EXPECT_FALSE(TSocketStack::IsIPv4Text("1..3.4"));
    EXPECT_FALSE(TSocketStack::IsIPv4Text("a.b.c.d"));
    EXPECT_FALSE(TSocketStack::IsIPv4Text("-1.2.3.4"));
    EXPECT_FALSE(TSocketStack::IsIPv4Text(""));
    EXPECT_FALSE(TSocketStack::IsIPv4Text("update1.zuvo.example"));
}

TEST(SocketStackText, AddressTextRoundTripsAndRejectsNonNumbers) {
    const TIPv4Bytes bytes = TSocketStack::TextToAddress("192.168.0.254");
    EXPECT_EQ(bytes, (TIPv4Bytes{192, 168, 0, 254}));
    EXPECT_EQ(TSocketStack::AddressToText(bytes), "192.168.0.254");
    EXPECT_THROW(TSocketStack::TextToAddress("1.2.x.4"), EConvertError);
}

TEST_F(StackTest, LocalhostAndDottedTextNeedNoResolver) {
    gResolverCalls = 0;
    swap_.Entries().Resolve = CountingResolverNoName;
    EXPECT_EQ(Stack().HostToIP("localhost"), "127.0.0.1");
    EXPECT_EQ(Stack().HostToIP("LocalHost"), "127.0.0.1");
    EXPECT_EQ(Stack().HostToIP("10.0.0.1"), "10.0.0.1");
    EXPECT_EQ(gResolverCalls, 0);
}

TEST_F(StackTest, OtherTextGoesToTheResolverWhoseFailureIsASocketError) {
    gResolverCalls = 0;
    swap_.Entries().Resolve = CountingResolverNoName;
    for (const char* host : {"256.1.1.1", "1.2.3"}) {
        try {
            Stack().HostToIP(host);
            FAIL() << "no exception for " << host;
        } catch (const ESocketError& e) {
            EXPECT_EQ(e.LastError(), 11001);
            EXPECT_EQ(e.Message(), "Socket Error # 11001\r\n");
        }
    }
    EXPECT_EQ(gResolverCalls, 2);
    swap_.Entries().Resolve = ResolverTryAgain;
    try {
        Stack().HostToIP("update1.zuvo.example");
        FAIL() << "no exception";
    } catch (const ESocketError& e) {
        EXPECT_EQ(e.LastError(), 11002);
    }
}

TEST_F(StackTest, TheRealResolverGivesDottedText) {
    EXPECT_EQ(Stack().HostByName("localhost"), "127.0.0.1");
}

// The split into the system's time limit is the platform's (tested there);
// the stack hands the milliseconds on unchanged.
TEST_F(StackTest, TheWaitLimitReachesTheSystemUnchanged) {
    swap_.Entries().Wait = RecordingWait;
    TSocketList list{3};
    EXPECT_EQ(Stack().WaitForSockets(&list, nullptr, nullptr, 10000), 0);
    EXPECT_EQ(gLastTimeout, 10000);
    EXPECT_TRUE(list.empty());  // nothing was ready

    list = {3};
    Stack().WaitForSockets(&list, nullptr, nullptr, 2500);
    EXPECT_EQ(gLastTimeout, 2500);

    Stack().WaitForSockets(&list, nullptr, nullptr, WaitForever);
    EXPECT_EQ(gLastTimeout, SocketWaitForever);
}

// A signal during a wait is no reason to give up waiting.
TEST_F(StackTest, AnInterruptedWaitIsRepeated) {
    gWaitInterruptions = 2;
    gLastTimeout = 0;
    swap_.Entries().Wait = InterruptedWait;
    TSocketList list{3};
    EXPECT_EQ(Stack().WaitForSockets(&list, nullptr, nullptr, 1500), 0);
    EXPECT_EQ(gWaitInterruptions, 0);
    EXPECT_EQ(gLastTimeout, 1500);
}

// A handle that is no socket must not look ready for reading.
TEST_F(StackTest, WaitingOnAHandleThatIsNoSocketFailsWithBadFile) {
    swap_.Entries().Wait = NotASocketWait;
    TSocketList list{3};
    EXPECT_EQ(Stack().WaitForSockets(&list, nullptr, nullptr, 0), SOCKET_ERROR);
    EXPECT_EQ(Stack().LastError(), 10009);
}

TEST_F(StackTest, ASocketInSeveralListsIsWaitedForOnce) {
    swap_.Entries().Wait = RecordingWait;
    TSocketList reads{3, 4};
    TSocketList writes{4};
    Stack().WaitForSockets(&reads, &writes, nullptr, 0);
    EXPECT_EQ(gLastCount, 2u);
}

TEST_F(StackTest, AListOfMoreThan64SocketsIsRefused) {
    swap_.Entries().Wait = RecordingWait;
    TSocketList full(64, 3);
    EXPECT_EQ(Stack().WaitForSockets(&full, nullptr, nullptr, 0), 0);
    TSocketList tooMany(65, 3);
    try {
        Stack().WaitForSockets(nullptr, &tooMany, nullptr, 0);
        FAIL() << "no exception";
    } catch (const EStackSetSizeExceeded& e) {
        EXPECT_EQ(e.Message(), "Set Size Exceeded.");
    }
}

TEST_F(StackTest, WaitReportsReadyReadersOfARealSocketPair) {
    const auto [first, second] = ConnectedSockets();
    ScopeExit closeBoth([first, second] {
        CloseTestSocket(first);
        CloseTestSocket(second);
    });
    const auto a = static_cast<TSocket>(first);
    const auto b = static_cast<TSocket>(second);
    TSocketList reads{a, b};
    EXPECT_EQ(Stack().WaitForSockets(&reads, nullptr, nullptr, 0), 0);
    ASSERT_EQ(SendSome(second, "x", 1), 1);
    reads = {a, b};
    TSocketList writes{a};
    EXPECT_EQ(Stack().WaitForSockets(&reads, &writes, nullptr, 1000), 2);
    EXPECT_EQ(reads, TSocketList{a});
    EXPECT_EQ(writes, TSocketList{a});
}

TEST(SocketStackLoading, ALibraryThatCannotBeLoadedIsNamed) {
    try {
        TSystemSocketStack stack("libzuvo-no-such-library.so.9");
        FAIL() << "no exception";
    } catch (const EStackCannotLoadLibrary& e) {
        EXPECT_EQ(e.Message(), "libzuvo-no-such-library.so.9 could not be loaded.");
    }
}

TEST(SocketStackLoading, ALibraryWithoutTheSocketCallsFailsStartUp) {
    try {
        TSystemSocketStack stack(ZUVO_NET_EMPTY_LIBRARY);
        FAIL() << "no exception";
    } catch (const EStackInitializationFailed& e) {
        EXPECT_EQ(e.Message(), "Winsock Initialization Error.");
    }
}

TEST(SocketStackLoading, NewSocketFailureRaisesInvalidSocket) {
    TNetComponent keepAlive;
    EntryPointSwap swap;
    swap.Entries().Open = [](int, int, int, TSocketId&) { return WSAEMFILE; };
    try {
        GlobalStack->NewSocket(1, 0);
        FAIL() << "no exception";
    } catch (const EInvalidSocket& e) {
        EXPECT_EQ(e.Message(), "Cannot allocate socket.");
    }
    EXPECT_EQ(GlobalStack->LastError(), 10024);
}
