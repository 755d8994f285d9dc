#include "LoopbackServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <utility>

namespace {

constexpr int kAcceptWaitMs = 5000;

// A socket bound to 127.0.0.1 with a port from the system.
int BoundLoopbackSocket(int& port) {
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

bool WaitReadable(int fd, int ms) {
    pollfd p{fd, POLLIN, 0};
    int ready = 0;
    do {
        ready = ::poll(&p, 1, ms);
    } while (ready < 0 && errno == EINTR);
    return ready == 1;
}

}  // namespace

ServerSide::~ServerSide() { Close(); }

void ServerSide::Send(const std::string& bytes) {
    size_t sent = 0;
    while (fd_ >= 0 && sent < bytes.size()) {
        const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        sent += static_cast<size_t>(n);
    }
}

void ServerSide::Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void ServerSide::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

void ServerSide::Reset() {
    if (fd_ >= 0) {
        const linger abortive{1, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
        Close();
    }
}

std::string ServerSide::ReceiveUntilClose(int ms) {
    std::string received;
    char block[4096];
    while (fd_ >= 0 && WaitReadable(fd_, ms)) {
        const ssize_t n = ::recv(fd_, block, sizeof block, 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        received.append(block, static_cast<size_t>(n));
    }
    return received;
}

std::string ServerSide::ReceiveLine(int ms) {
    std::string line;
    char byte = 0;
    while (fd_ >= 0 && WaitReadable(fd_, ms)) {
        const ssize_t n = ::recv(fd_, &byte, 1, 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        line += byte;
        if (byte == '\n') {
            break;
        }
    }
    return line;
}

void ServerSide::WaitForClientClose(int ms) { ReceiveUntilClose(ms); }

LoopbackServer::LoopbackServer(Script script, int connections) {
    listener_ = BoundLoopbackSocket(port_);
    if (::listen(listener_, 8) != 0) {
        ::close(listener_);
        throw std::runtime_error("test listener could not listen");
    }
    thread_ = std::thread(&LoopbackServer::Serve, this, std::move(script), connections);
}

LoopbackServer::~LoopbackServer() {
    Join();
    ::close(listener_);
}

void LoopbackServer::Join() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

void LoopbackServer::Serve(Script script, int connections) {
    for (int i = 0; i < connections; ++i) {
        if (!WaitReadable(listener_, kAcceptWaitMs)) {
            return;
        }
        const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            return;
        }
        ServerSide side(fd);
        script(side);
    }
}

RefusingPort::RefusingPort() { fd_ = BoundLoopbackSocket(port_); }

RefusingPort::~RefusingPort() { ::close(fd_); }

LoopbackServer::Script SendThenWait(std::string bytes) {
    return [bytes = std::move(bytes)](ServerSide& side) {
        side.Send(bytes);
        side.WaitForClientClose();
    };
}

LoopbackServer::Script SendThenClose(std::string bytes) {
    return [bytes = std::move(bytes)](ServerSide& side) {
        side.Send(bytes);
        side.Close();
    };
}
