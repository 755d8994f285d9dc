#include "net/TcpClient.h"

#include "net/NetExceptions.h"
#include "platform/ScopeExit.h"

namespace {

constexpr int kStreamSocket = 1;
constexpr int kLevelTcp = 6;
constexpr int kTcpNoDelay = 1;

}  // namespace

TTcpClient::TTcpClient() : socksInfo_(std::make_unique<TSocksInfo>()) {}

TTcpClient::~TTcpClient() = default;

void TTcpClient::FireConnected() {
    if (OnConnected) {
        OnConnected(this);
    }
}

void TTcpClient::ConnectToHost() {
    if (SocketHandle().Allocated()) {
        throw EAlreadyConnected("Already connected.");
    }
    ResetState();
    SocketHandle().Allocate(kStreamSocket, 0);
    ScopeExit closeOnFailure([this] {
        try {
            CloseConnection();
        } catch (...) {
            // The first failure is the one worth reporting.
        }
    });
    ConnectAllocated();
    closeOnFailure.Release();
    ReportStatus(stConnected, SocketHandle().RemoteIP);
    FireConnected();
}

// Bind, resolve, options and connect on a freshly allocated socket.
void TTcpClient::ConnectAllocated() {
    TSocketHandle& socket = SocketHandle();
    socket.IP = BoundIP;
    socket.BindLocal();
    if (socksInfo_->Version != svNoSocks) {
        throw ENetException("Connections through a SOCKS proxy are not supported.");
    }
    if (!TSocketStack::IsIPv4Text(Host)) {
        ReportStatus(stResolving, Host);
    }
    socket.SetRemote(GlobalStack->HostToIP(Host), Port);
    if (!UseNagle) {
        const int on = 1;
        socket.SetOption(kLevelTcp, kTcpNoDelay, &on, sizeof on);
    }
    ReportStatus(stConnecting, socket.RemoteIP);
    GlobalStack->CheckResult(socket.ConnectPeer(AF_INET_FAMILY));
}
