#include "ReferenceServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace {

const std::string kRequest = "down_load_update_browser\r\n";
const std::string kReply = "ok_down_load_update_browser\r\n";

[[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error("reference server: " + what + ": " + std::strerror(errno));
}

void Watch(int epoll, int fd, std::uint32_t events) {
    epoll_event event{};
    event.events = events;
    event.data.fd = fd;
    if (::epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &event) != 0) {
        Fail("epoll_ctl");
    }
}

bool WouldBlock() { return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR; }

}  // namespace

TReferenceServer::TReferenceServer(std::string packagePath)
    : packagePath_(std::move(packagePath)),
      package_(::open(packagePath_.c_str(), O_RDONLY | O_CLOEXEC)),
      listener_(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0)),
      epoll_(::epoll_create1(EPOLL_CLOEXEC)),
      stop_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    struct stat info {};
    if (!package_.Valid() || ::fstat(package_.Get(), &info) != 0) {
        Fail("package " + packagePath_);
    }
    packageSize_ = info.st_size;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (::bind(listener_.Get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(listener_.Get(), SOMAXCONN) != 0 ||
        ::getsockname(listener_.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        Fail("listen");
    }
    port_ = ntohs(address.sin_port);
    Watch(epoll_.Get(), listener_.Get(), EPOLLIN);
    Watch(epoll_.Get(), stop_.Get(), EPOLLIN);
}

void TReferenceServer::Stop() noexcept {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(stop_.Get(), &one, sizeof(one));
}

void TReferenceServer::Run() {
    std::array<epoll_event, 256> events;
    for (;;) {
        const int n = ::epoll_wait(epoll_.Get(), events.data(), events.size(), -1);
        for (int i = 0; i < n; ++i) {
            const int fd = events[i].data.fd;
            if (fd == stop_.Get()) {
                return;
            }
            if (fd == listener_.Get()) {
                AcceptAll();
                continue;
            }
            const auto found = clients_.find(fd);
            if (found != clients_.end() && !Serve(found->second)) {
                clients_.erase(found);  // closing the socket also unwatches it
            }
        }
    }
}

void TReferenceServer::AcceptAll() {
    for (;;) {
        TFileDescriptor socket(
            ::accept4(listener_.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!socket.Valid()) {
            return;
        }
        const int fd = socket.Get();
        Watch(epoll_.Get(), fd, EPOLLIN);
        clients_[fd].socket = std::move(socket);
    }
}

bool TReferenceServer::Serve(TClient& client) {
    if (client.request.size() < kRequest.size()) {
        return ReadRequest(client);
    }
    return Send(client);
}

bool TReferenceServer::ReadRequest(TClient& client) {
    std::array<char, 64> buffer;
    const std::size_t wanted = kRequest.size() - client.request.size();
    const ssize_t n = ::recv(client.socket.Get(), buffer.data(), wanted, 0);
    if (n < 0 && WouldBlock()) {
        return true;
    }
    if (n <= 0) {
        return false;
    }
    client.request.append(buffer.data(), static_cast<std::size_t>(n));
    if (client.request.size() < kRequest.size()) {
        return true;
    }
    if (client.request != kRequest) {
        return false;
    }
    epoll_event event{};
    event.events = EPOLLOUT;
    event.data.fd = client.socket.Get();
    ::epoll_ctl(epoll_.Get(), EPOLL_CTL_MOD, client.socket.Get(), &event);
    return Send(client);
}

bool TReferenceServer::Send(TClient& client) {
    while (client.replySent < kReply.size()) {
        const ssize_t n = ::send(client.socket.Get(), kReply.data() + client.replySent,
                                 kReply.size() - client.replySent, MSG_NOSIGNAL | MSG_MORE);
        if (n < 0) {
            return WouldBlock();
        }
        client.replySent += static_cast<std::size_t>(n);
    }
    while (client.offset < packageSize_) {
        const ssize_t n = ::sendfile(client.socket.Get(), package_.Get(), &client.offset,
                                     static_cast<std::size_t>(packageSize_ - client.offset));
        if (n < 0) {
            return WouldBlock();
        }
        if (n == 0) {
            return false;
        }
    }
    return false;  // all sent: the close ends the package
}

TReferenceProcess::TReferenceProcess(const std::string& packagePath) : server_(packagePath) {
    pid_ = ::fork();
    if (pid_ < 0) {
        Fail("fork");
    }
    if (pid_ == 0) {
        // The child shares the listener, the epoll set and the stop event
        // with the parent; only the child ever waits on them.
        int status = 0;
        try {
            server_.Run();
        } catch (const std::exception&) {
            status = 1;
        }
        ::_exit(status);
    }
}

TReferenceProcess::~TReferenceProcess() {
    server_.Stop();
    ::waitpid(pid_, nullptr, 0);
}
