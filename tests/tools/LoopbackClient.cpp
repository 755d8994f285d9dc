#include "LoopbackClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <array>
#include <cerrno>
#include <random>
#include <stdexcept>

TLoopbackClient::TLoopbackClient(std::uint16_t port, int receiveBuffer)
    : socket_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    if (receiveBuffer > 0) {
        ::setsockopt(socket_.Get(), SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof(receiveBuffer));
    }
    timeval wait{};
    wait.tv_sec = 10;
    ::setsockopt(socket_.Get(), SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof(wait));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(socket_.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) !=
        0) {
        throw std::runtime_error("connect to the test server failed");
    }
}

void TLoopbackClient::Send(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::send(socket_.Get(), bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0) {
            throw std::runtime_error("send to the test server failed");
        }
        done += static_cast<std::size_t>(n);
    }
}

std::string TLoopbackClient::Receive(std::size_t limit) {
    std::string received(limit, '\0');
    const ssize_t n = ::recv(socket_.Get(), received.data(), limit, 0);
    received.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return received;
}

std::string TLoopbackClient::ReadToClose() {
    std::string received;
    std::array<char, 65536> buffer;
    for (;;) {
        const ssize_t n = ::recv(socket_.Get(), buffer.data(), buffer.size(), 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            reset_ = n < 0;
            return received;
        }
        received.append(buffer.data(), static_cast<std::size_t>(n));
    }
}

void TLoopbackClient::Abort() {
    const linger hard{1, 0};
    ::setsockopt(socket_.Get(), SOL_SOCKET, SO_LINGER, &hard, sizeof(hard));
    socket_.Reset();
}

std::string FetchPackage(std::uint16_t port) {
    TLoopbackClient client(port);
    client.Send("down_load_update_browser\r\n");
    return client.ReadToClose();
}

std::string PatternBytes(std::size_t size, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(random() & 0xFF);
    }
    return bytes;
}
