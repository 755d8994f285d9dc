#include "net/TcpClient.h"

#include "net/NetExceptions.h"
#include "net/SocketErrors.h"
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
    if (ConnectTimeoutMs == WaitForever && !OnPoll) {
        GlobalStack->CheckResult(socket.ConnectPeer(AF_INET_FAMILY));
        return;
    }
    ConnectWithinLimit(socket);
}

// A blocking connect to a host that drops the request waits for the system's
// own limit (minutes); in the background it can be bounded and cancelled.
void TTcpClient::ConnectWithinLimit(TSocketHandle& socket) {
    GlobalStack->CheckResult(GlobalStack->SetNonBlocking(socket.SocketId(), true));
    const int started =
        GlobalStack->Connect(socket.SocketId(), AF_INET_FAMILY, socket.RemoteIP, socket.RemotePort);
    if (GlobalStack->CheckResult(started, {WSAEINPROGRESS, WSAEWOULDBLOCK})) {
        if (!Await([&socket](int slice) { return socket.WaitWritable(slice); }, ConnectTimeoutMs)) {
            GlobalStack->RaiseSocketFailure(WSAETIMEDOUT);
        }
        GlobalStack->CheckResult(GlobalStack->ConnectOutcome(socket.SocketId()));
    }
    // Reads and writes after the connect block, as they always have.
    GlobalStack->CheckResult(GlobalStack->SetNonBlocking(socket.SocketId(), false));
    socket.FetchLocalAddress();
    socket.FetchRemoteAddress();
}
