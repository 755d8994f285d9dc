#include "FetchClients.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "FileDescriptor.h"

namespace {

// Bytes taken per receive call.
constexpr std::size_t kReceiveBuffer = 256 << 10;
constexpr int kEventsPerWait = 256;
constexpr int kStallMs = 30000;
const std::string kRequest = "down_load_update_browser\r\n";
const std::string kReply = "ok_down_load_update_browser\r\n";

[[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

TFileDescriptor Connect(std::uint16_t port) {
    TFileDescriptor socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(socket.Get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        Fail("connect");
    }
    return socket;
}

struct TFetch {
    TFileDescriptor socket;
    std::string head;  // the first bytes, to check the reply line
    std::size_t received = 0;
};

void Request(TFetch& fetch, std::uint16_t port, int epoll, std::size_t index) {
    fetch.socket = Connect(port);
    if (::send(fetch.socket.Get(), kRequest.data(), kRequest.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(kRequest.size())) {
        Fail("send");
    }
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = index;
    if (::epoll_ctl(epoll, EPOLL_CTL_ADD, fetch.socket.Get(), &event) != 0) {
        Fail("epoll_ctl");
    }
}

// One receive for a ready connection; false once it has ended.
bool ReceiveSome(TFetch& fetch, std::vector<char>& buffer) {
    const ssize_t got = ::recv(fetch.socket.Get(), buffer.data(), buffer.size(), 0);
    if (got > 0) {
        const std::size_t n = static_cast<std::size_t>(got);
        if (fetch.head.size() < kReply.size()) {
            fetch.head.append(buffer.data(), std::min(n, kReply.size() - fetch.head.size()));
        }
        fetch.received += n;
        return true;
    }
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
        return true;
    }
    fetch.socket.Reset();  // also leaves the epoll set
    return false;
}

}  // namespace

double FetchWithManyClients(std::uint16_t port, int clients, std::size_t packageSize) {
    const auto start = std::chrono::steady_clock::now();
    TFileDescriptor epoll(::epoll_create1(EPOLL_CLOEXEC));
    std::vector<TFetch> fetches(static_cast<std::size_t>(clients));
    for (std::size_t i = 0; i < fetches.size(); ++i) {
        Request(fetches[i], port, epoll.Get(), i);
    }
    std::vector<char> buffer(kReceiveBuffer);
    std::vector<epoll_event> events(kEventsPerWait);
    int open = clients;
    while (open > 0) {
        const int n = ::epoll_wait(epoll.Get(), events.data(), kEventsPerWait, kStallMs);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            throw std::runtime_error("clients stalled");
        }
        for (int e = 0; e < n; ++e) {
            if (!ReceiveSome(fetches[events[e].data.u64], buffer)) {
                --open;
            }
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    for (const TFetch& fetch : fetches) {
        if (fetch.head != kReply || fetch.received != kReply.size() + packageSize) {
            throw std::runtime_error("a client got a wrong or short answer");
        }
    }
    return seconds;
}
