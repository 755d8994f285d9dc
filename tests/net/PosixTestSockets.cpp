#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "TestSockets.h"

namespace {

int Fd(TTestSocket socket) { return static_cast<int>(socket); }

template <typename Call>
int64_t Repeated(Call call) {
    ssize_t n = 0;
    do {
        n = call();
    } while (n < 0 && errno == EINTR);
    return n;
}

}  // namespace

TTestSocket BoundLoopbackSocket(int& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        throw std::runtime_error("test socket could not be created");
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        throw std::runtime_error("test socket could not be bound");
    }
    port = ntohs(address.sin_port);
    return fd;
}

bool StartListening(TTestSocket listener) { return ::listen(Fd(listener), 8) == 0; }

TTestSocket AcceptClient(TTestSocket listener) {
    return ::accept4(Fd(listener), nullptr, nullptr, SOCK_CLOEXEC);
}

bool WaitReadable(TTestSocket socket, int ms) {
    pollfd p{Fd(socket), POLLIN, 0};
    int ready = 0;
    do {
        ready = ::poll(&p, 1, ms);
    } while (ready < 0 && errno == EINTR);
    return ready == 1;
}

int64_t SendSome(TTestSocket socket, const char* bytes, size_t count) {
    return Repeated([&] { return ::send(Fd(socket), bytes, count, MSG_NOSIGNAL); });
}

int64_t ReceiveSome(TTestSocket socket, char* buffer, size_t count) {
    return Repeated([&] { return ::recv(Fd(socket), buffer, count, 0); });
}

void CloseTestSocket(TTestSocket socket) { ::close(Fd(socket)); }

void SetAbortiveClose(TTestSocket socket) {
    const linger abortive{1, 0};
    ::setsockopt(Fd(socket), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
}

bool ShutdownSends(TTestSocket socket) { return ::shutdown(Fd(socket), SHUT_WR) == 0; }

int NoDelayOf(TTestSocket socket) {
    int value = -1;
    socklen_t length = sizeof value;
    if (::getsockopt(Fd(socket), IPPROTO_TCP, TCP_NODELAY, &value, &length) != 0) {
        return -1;
    }
    return value;
}

std::pair<TTestSocket, TTestSocket> ConnectedSockets() {
    int pair[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
        throw std::runtime_error("test socket pair could not be made");
    }
    return {pair[0], pair[1]};
}
