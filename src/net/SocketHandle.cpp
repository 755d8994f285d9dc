#include "net/SocketHandle.h"

#include "net/NetExceptions.h"
#include "net/SocketErrors.h"

namespace {

constexpr int kShutdownSends = 1;

}  // namespace

TSocketHandle::~TSocketHandle() {
    // The stack may already be gone when a handle outlives every component
    // (it never does inside a component); then there is nothing to call.
    if (GlobalStack) {
        ReleaseSocket(true);
    }
}

void TSocketHandle::Allocate(int type, int protocol) {
    ReleaseSocket(true);
    socketId_ = GlobalStack->NewSocket(type, protocol);
    allocated_ = true;
}

void TSocketHandle::BindLocal() {
    const int result = GlobalStack->Bind(socketId_, AF_INET_FAMILY, IP, Port);
    if (GlobalStack->CheckResult(result, {WSAEADDRINUSE})) {
        throw ECouldNotBindSocket("Could not bind socket. Address and port are already in use.");
    }
    FetchLocalAddress();
}

void TSocketHandle::SetRemote(const std::string& ip, int port) {
    RemoteIP = ip;
    RemotePort = port;
}

int TSocketHandle::ConnectPeer(int family) {
    const int result = GlobalStack->Connect(socketId_, family, RemoteIP, RemotePort);
    if (result != SOCKET_ERROR) {
        FetchLocalAddress();
        FetchRemoteAddress();
    }
    return result;
}

void TSocketHandle::ReleaseSocket(bool resetLocal) {
    if (!allocated_) {
        return;
    }
    allocated_ = false;
    GlobalStack->Shutdown(socketId_, kShutdownSends);
    GlobalStack->CloseSocket(socketId_);
    ClearState(resetLocal);
}

void TSocketHandle::ClearState(bool resetLocal) {
    allocated_ = false;
    socketId_ = INVALID_SOCKET;
    if (resetLocal) {
        IP.clear();
        Port = 0;
    }
    RemoteIP.clear();
    RemotePort = 0;
}

bool TSocketHandle::WaitReadable(int ms) { return WaitFor(true, ms); }

bool TSocketHandle::WaitWritable(int ms) { return WaitFor(false, ms); }

bool TSocketHandle::WaitFor(bool readable, int ms) {
    if (!allocated_) {
        throw EConnClosedGracefully("Connection Closed Gracefully.");
    }
    TSocketList list{socketId_};
    // Winsock tells a failed background connect in the error set, not the
    // write set; asking both ends the wait on either system.
    TSocketList failed{socketId_};
    const int result = readable ? GlobalStack->WaitForSockets(&list, nullptr, nullptr, ms)
                                : GlobalStack->WaitForSockets(nullptr, &list, &failed, ms);
    // A wait that fails would fail again at once; treating it as a time-out
    // would spin a wait without limit forever, so it is an error.
    GlobalStack->CheckResult(result);
    return result >= 1;
}

int TSocketHandle::ReceiveData(void* buffer, int length) {
    return GlobalStack->Recv(socketId_, buffer, length, 0);
}

int TSocketHandle::SendData(const void* buffer, int length) {
    return GlobalStack->Send(socketId_, buffer, length, 0);
}

void TSocketHandle::SetOption(int level, int name, const void* value, int length) {
    GlobalStack->CheckResult(GlobalStack->SetSockOpt(socketId_, level, name, value, length));
}

void TSocketHandle::FetchLocalAddress() {
    GlobalStack->CheckResult(GlobalStack->SockName(socketId_, IP, Port));
}

void TSocketHandle::FetchRemoteAddress() {
    GlobalStack->CheckResult(GlobalStack->PeerName(socketId_, RemoteIP, RemotePort));
}
