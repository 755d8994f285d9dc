#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "FaultInjection.h"
#include "LoopbackClient.h"
#include "LoopbackServer.h"
#include "net/NetExceptions.h"
#include "net/SocketErrors.h"
#include "net/TcpClient.h"

namespace {

// A client that counts how often a status text is formatted.
class CountingClient : public TTcpClient {
  public:
    int formatted = 0;

  protected:
    std::string FormatStatusText(TNetStatus status, const std::string& argument) override {
        ++formatted;
        return TTcpClient::FormatStatusText(status, argument);
    }
};

void RecordStatus(TTcpClient& client, std::vector<std::string>& log) {
    client.OnStatus = [&log](TNetComponent*, TNetStatus, const std::string& text) {
        log.push_back(text);
    };
}

int gConnectError = 0;

int FailingConnect(TSocketId, int, const TIPv4Address&, uint16_t) { return gConnectError; }

int InterruptedConnect(TSocketId socket, int family, const TIPv4Address& ip, uint16_t port) {
    EntryPointSwap::Real().Connect(socket, family, ip, port);
    return WSAEINTR;
}

int BindInUse(TSocketId, int, const TIPv4Address&, uint16_t) { return WSAEADDRINUSE; }

}  // namespace

TEST(TcpClient, ConnectsReportsStatusAndClosesOnce) {
    LoopbackServer server([](ServerSide& side) { side.WaitForClientClose(); });
    TTcpClient client;
    std::vector<std::string> log;
    RecordStatus(client, log);
    int connected = 0;
    int disconnected = 0;
    client.OnConnected = [&](TNetComponent* sender) {
        EXPECT_EQ(sender, &client);
        ++connected;
    };
    client.OnDisconnected = [&](TNetComponent*) { ++disconnected; };
    Connect(client, server);
    EXPECT_TRUE(client.IsConnected());
    EXPECT_EQ(client.SocketHandle().RemoteIP, "127.0.0.1");
    EXPECT_EQ(client.SocketHandle().RemotePort, server.Port());
    EXPECT_NE(client.SocketHandle().Port, 0);  // the platform picked a local port
    EXPECT_EQ(connected, 1);
    client.CloseConnection();
    client.CloseConnection();  // the second close does nothing at all
    EXPECT_FALSE(client.IsConnected());
    EXPECT_TRUE(client.Closed());
    EXPECT_EQ(disconnected, 1);
    const std::vector<std::string> expected = {"Connecting to 127.0.0.1.", "Connected.",
                                               "Disconnecting from 127.0.0.1.", "Not connected."};
    EXPECT_EQ(log, expected);
}

TEST(TcpClient, AHostNameIsReportedAsResolvedFirst) {
    LoopbackServer server([](ServerSide& side) { side.WaitForClientClose(); });
    TTcpClient client;
    std::vector<std::string> log;
    RecordStatus(client, log);
    client.Host = "LocalHost";
    client.Port = server.Port();
    client.ConnectToHost();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "Resolving hostname LocalHost.");
    EXPECT_EQ(log[1], "Connecting to 127.0.0.1.");
}

TEST(TcpClient, NoStatusTextIsFormattedWithoutAHandler) {
    LoopbackServer server([](ServerSide& side) { side.WaitForClientClose(); });
    CountingClient client;
    client.Host = "localhost";
    client.Port = server.Port();
    client.ConnectToHost();
    client.CloseConnection();
    EXPECT_EQ(client.formatted, 0);
}

TEST(TcpClient, ConnectingAnOpenClientRaisesAndLeavesTheConnectionAlone) {
    std::string received;
    LoopbackServer server([&](ServerSide& side) { received = side.ReceiveUntilClose(); });
    {
        TTcpClient client;
        Connect(client, server);
        const TSocket socket = client.SocketHandle().SocketId();
        try {
            client.ConnectToHost();
            FAIL() << "no exception";
        } catch (const EAlreadyConnected& e) {
            EXPECT_EQ(e.Message(), "Already connected.");
        }
        EXPECT_TRUE(client.IsConnected());
        EXPECT_EQ(client.SocketHandle().SocketId(), socket);
        client.WriteLine("still here");
    }
    server.Join();
    EXPECT_EQ(received, "still here\r\n");
}

TEST(TcpClient, ARefusedConnectionRaises10061AndTheClientCanConnectAgain) {
    RefusingPort refusing;
    LoopbackServer server([](ServerSide& side) { side.WaitForClientClose(); });
    TTcpClient client;
    int disconnected = 0;
    client.OnDisconnected = [&](TNetComponent*) { ++disconnected; };
    client.Host = "127.0.0.1";
    client.Port = refusing.Port();
    try {
        client.ConnectToHost();
        FAIL() << "no exception";
    } catch (const ESocketError& e) {
        EXPECT_EQ(e.LastError(), 10061);
        EXPECT_EQ(e.Message(), "Socket Error # 10061\r\nConnection refused.");
    }
    EXPECT_FALSE(client.IsConnected());
    EXPECT_TRUE(client.Closed());
    EXPECT_EQ(disconnected, 1);  // the failed connect closed its socket
    client.Port = server.Port();
    client.ConnectToHost();
    EXPECT_TRUE(client.IsConnected());
    EXPECT_FALSE(client.Closed());
}

TEST(TcpClient, AnUnknownHostRaisesAResolverNumberWithoutText) {
    TTcpClient client;
    client.Host = "no-such-host.zuvo.invalid";
    client.Port = 10290;
    try {
        client.ConnectToHost();
        FAIL() << "no exception";
    } catch (const ESocketError& e) {
        EXPECT_GE(e.LastError(), 11001);
        EXPECT_LE(e.LastError(), 11004);
        EXPECT_EQ(e.Message(), "Socket Error # " + std::to_string(e.LastError()) + "\r\n");
    }
    EXPECT_FALSE(client.IsConnected());
}

TEST(TcpClient, UseNagleFalseSwitchesNagleOff) {
    LoopbackServer server([](ServerSide& side) { side.WaitForClientClose(); }, 2);
    TTcpClient client;
    client.Host = "127.0.0.1";
    client.Port = server.Port();
    auto noDelay = [&client] { return NoDelayOf(client.SocketHandle().SocketId()); };
    client.ConnectToHost();
    EXPECT_EQ(noDelay(), 0);
    client.CloseConnection();
    client.UseNagle = false;
    client.ConnectToHost();
    EXPECT_NE(noDelay(), 0);
}

TEST(TcpClient, AProxyVersionIsRefusedRatherThanIgnored) {
    TTcpClient client;
    client.SocksInfo().Version = svSocks5;
    client.Host = "127.0.0.1";
    client.Port = 1;
    EXPECT_THROW(client.ConnectToHost(), ENetException);
    EXPECT_FALSE(client.IsConnected());
}

// Failures loopback cannot produce, through a fault-injecting table.
class TcpClientFaults : public ::testing::TestWithParam<int> {
  protected:
    TTcpClient client_;
    EntryPointSwap swap_;
};

TEST_P(TcpClientFaults, ConnectFailuresCarryTheirNumbersAndCloseTheSocket) {
    gConnectError = GetParam();
    swap_.Entries().Connect = FailingConnect;
    client_.Host = "10.0.0.1";
    client_.Port = 10290;
    try {
        client_.ConnectToHost();
        FAIL() << "no exception";
    } catch (const ESocketError& e) {
        EXPECT_EQ(e.LastError(), GetParam());
        EXPECT_EQ(e.Message(), FormatSocketError(GetParam()));
    }
    EXPECT_FALSE(client_.SocketHandle().Allocated());
    EXPECT_TRUE(client_.Closed());
}

INSTANTIATE_TEST_SUITE_P(Numbers, TcpClientFaults, ::testing::Values(10060, 10051, 10065, 10013));

TEST(TcpClientFault, NoSocketLeavesTheClientIdle) {
    TTcpClient client;
    EntryPointSwap swap;
    swap.Entries().Open = [](int, int, int, TSocketId&) { return WSAEMFILE; };
    client.Host = "127.0.0.1";
    client.Port = 1;
    EXPECT_THROW(client.ConnectToHost(), EInvalidSocket);
    EXPECT_FALSE(client.Closed());
    EXPECT_FALSE(client.SocketHandle().Allocated());
}

TEST(TcpClientFault, AnAddressInUseRaisesCouldNotBind) {
    TTcpClient client;
    EntryPointSwap swap;
    swap.Entries().Bind = BindInUse;
    client.Host = "127.0.0.1";
    client.Port = 1;
    try {
        client.ConnectToHost();
        FAIL() << "no exception";
    } catch (const ECouldNotBindSocket& e) {
        EXPECT_EQ(e.Message(), "Could not bind socket. Address and port are already in use.");
    }
    EXPECT_TRUE(client.Closed());
    EXPECT_FALSE(client.SocketHandle().Allocated());
}

TEST(TcpClientFault, AnInterruptedConnectStillCompletes) {
    LoopbackServer server([](ServerSide& side) { side.WaitForClientClose(); });
    TTcpClient client;
    EntryPointSwap swap;
    swap.Entries().Connect = InterruptedConnect;
    Connect(client, server);
    EXPECT_TRUE(client.IsConnected());
    EXPECT_EQ(client.SocketHandle().RemotePort, server.Port());
}

TEST(TcpClient, APortOutOfRangeIsAnInvalidArgument) {
    TTcpClient client;
    client.Host = "127.0.0.1";
    client.Port = 65536 + 80;
    try {
        client.ConnectToHost();
        FAIL() << "no exception";
    } catch (const ESocketError& e) {
        EXPECT_EQ(e.LastError(), 10022);
    }
}
