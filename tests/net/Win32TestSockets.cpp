#include <algorithm>
#include <stdexcept>

#include "TestSockets.h"
#include "platform/win32/WindowsApi.h"

namespace {

SOCKET Handle(TTestSocket socket) { return static_cast<SOCKET>(socket); }

// Winsock must be started in every process that uses it; the count it
// keeps is never taken down again in a test program.
void StartWinsock() {
    static const bool started = [] {
        WSADATA data{};
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    if (!started) {
        throw std::runtime_error("Winsock could not be started");
    }
}

int Clamped(size_t count) { return static_cast<int>(std::min<size_t>(count, INT32_MAX)); }

}  // namespace

TTestSocket BoundLoopbackSocket(int& port) {
    StartWinsock();
    const SOCKET socket = ::socket(AF_INET, SOCK_STREAM, 0);
    if (socket == INVALID_SOCKET) {
        throw std::runtime_error("test socket could not be created");
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::closesocket(socket);
        throw std::runtime_error("test socket could not be bound");
    }
    port = ntohs(address.sin_port);
    return static_cast<TTestSocket>(socket);
}

bool StartListening(TTestSocket listener) { return ::listen(Handle(listener), 8) == 0; }

TTestSocket AcceptClient(TTestSocket listener) {
    const SOCKET socket = ::accept(Handle(listener), nullptr, nullptr);
    return socket == INVALID_SOCKET ? kNoTestSocket : static_cast<TTestSocket>(socket);
}

bool WaitReadable(TTestSocket socket, int ms) {
    WSAPOLLFD p{Handle(socket), POLLRDNORM, 0};
    return ::WSAPoll(&p, 1, ms) == 1;
}

int64_t SendSome(TTestSocket socket, const char* bytes, size_t count) {
    return ::send(Handle(socket), bytes, Clamped(count), 0);
}

int64_t ReceiveSome(TTestSocket socket, char* buffer, size_t count) {
    return ::recv(Handle(socket), buffer, Clamped(count), 0);
}

void CloseTestSocket(TTestSocket socket) { ::closesocket(Handle(socket)); }

void SetAbortiveClose(TTestSocket socket) {
    const linger abortive{1, 0};
    ::setsockopt(Handle(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abortive),
                 sizeof abortive);
}

bool ShutdownSends(TTestSocket socket) { return ::shutdown(Handle(socket), SD_SEND) == 0; }

int NoDelayOf(TTestSocket socket) {
    DWORD value = 0;
    int length = sizeof value;
    if (::getsockopt(Handle(socket), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<char*>(&value),
                     &length) != 0) {
        return -1;
    }
    return value != 0 ? 1 : 0;
}

std::pair<TTestSocket, TTestSocket> ConnectedSockets() {
    int port = 0;
    const TTestSocket listener = BoundLoopbackSocket(port);
    const SOCKET client = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<u_short>(port));
    const bool connected =
        client != INVALID_SOCKET && StartListening(listener) &&
        ::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    const TTestSocket server = connected ? AcceptClient(listener) : kNoTestSocket;
    CloseTestSocket(listener);
    if (server == kNoTestSocket) {
        if (client != INVALID_SOCKET) {
            ::closesocket(client);
        }
        throw std::runtime_error("test socket pair could not be made");
    }
    return {server, static_cast<TTestSocket>(client)};
}
