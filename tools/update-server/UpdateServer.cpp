#include "UpdateServer.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace {

// Readiness reports taken per wait.
constexpr int kMaxEvents = 256;
// After the system ran out of descriptors, accepting is retried after this.
constexpr std::chrono::milliseconds kAcceptRetry{100};
// Connections taken from the listen queue per readiness report.
constexpr int kAcceptBurst = 64;

[[noreturn]] void ThrowErrno(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

std::string PeerText(const sockaddr_in& address) {
    std::array<char, INET_ADDRSTRLEN> text{};
    ::inet_ntop(AF_INET, &address.sin_addr, text.data(), text.size());
    return std::string(text.data()) + ":" + std::to_string(ntohs(address.sin_port));
}

TLogSink StderrSink() {
    return [](const std::string& line) { std::cerr << line << '\n' << std::flush; };
}

// Deadlines are checked this often: a quarter of the shortest timeout, within
// sensible bounds.
std::chrono::milliseconds SweepInterval(const TServerSettings& s) {
    const auto shortest = std::min({s.requestTimeout, s.stallTimeout, s.lingerTimeout});
    return std::clamp(shortest / 4, std::chrono::milliseconds(5), std::chrono::milliseconds(1000));
}

}  // namespace

TUpdateServer::TUpdateServer(TServerSettings settings, TLogSink log)
    : settings_(std::move(settings)),
      log_(log ? std::move(log) : StderrSink()),
      sweepInterval_(SweepInterval(settings_)) {
    // sendfile cannot be told MSG_NOSIGNAL: a client that goes away mid-
    // transfer must end in EPIPE, not in the death of the server.
    ::signal(SIGPIPE, SIG_IGN);
    epoll_.Reset(::epoll_create1(EPOLL_CLOEXEC));
    if (!epoll_.Valid()) {
        ThrowErrno("epoll_create1");
    }
    stopEvent_.Reset(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    if (!stopEvent_.Valid()) {
        ThrowErrno("eventfd");
    }
    AddWatch(stopEvent_.Get(), EPOLLIN);
}

TUpdateServer::~TUpdateServer() = default;

std::string TUpdateServer::Address() const {
    return settings_.bindAddress + ":" + std::to_string(port_);
}

void TUpdateServer::AddWatch(int fd, std::uint32_t events) {
    epoll_event event{};
    event.events = events;
    event.data.fd = fd;
    if (::epoll_ctl(epoll_.Get(), EPOLL_CTL_ADD, fd, &event) != 0) {
        ThrowErrno("epoll_ctl");
    }
}

void TUpdateServer::Listen() {
    addrinfo hints{};
    hints.ai_family = AF_INET;  // the updater speaks IPv4 only
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(settings_.port);
    const int rc = ::getaddrinfo(settings_.bindAddress.c_str(), service.c_str(), &hints, &found);
    if (rc != 0) {
        throw std::runtime_error("cannot resolve " + settings_.bindAddress + ": " +
                                 ::gai_strerror(rc));
    }
    sockaddr_in address{};
    std::copy_n(reinterpret_cast<const char*>(found->ai_addr), sizeof(address),
                reinterpret_cast<char*>(&address));
    ::freeaddrinfo(found);

    listener_.Reset(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!listener_.Valid()) {
        ThrowErrno("socket");
    }
    const int on = 1;
    ::setsockopt(listener_.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    const std::string where = settings_.bindAddress + ":" + service;
    if (::bind(listener_.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) !=
        0) {
        ThrowErrno("bind " + where);
    }
    if (::listen(listener_.Get(), SOMAXCONN) != 0) {
        ThrowErrno("listen " + where);
    }
    socklen_t length = sizeof(address);
    ::getsockname(listener_.Get(), reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    AddWatch(listener_.Get(), EPOLLIN);
}

void TUpdateServer::Stop() noexcept {
    const std::uint64_t one = 1;
    // A full counter already means "stop"; nothing to do about a failure.
    [[maybe_unused]] const ssize_t n = ::write(stopEvent_.Get(), &one, sizeof(one));
}

bool TUpdateServer::Run() {
    if (!listener_.Valid()) {
        Listen();
    }
    std::array<epoll_event, kMaxEvents> events;
    nextSweep_ = TServerClock::now() + sweepInterval_;
    bool stop = false;
    while (!stop && !onceDone_) {
        const int n = ::epoll_wait(epoll_.Get(), events.data(), kMaxEvents,
                                   WaitTimeoutMs(TServerClock::now()));
        if (n < 0 && errno != EINTR) {
            ThrowErrno("epoll_wait");
        }
        const auto now = TServerClock::now();
        for (int i = 0; i < n; ++i) {
            const int fd = events[i].data.fd;
            if (fd == stopEvent_.Get()) {
                stop = true;
            } else if (fd == listener_.Get()) {
                AcceptAll(now);
            } else {
                Dispatch(fd, now);
            }
        }
        if (now >= nextSweep_) {
            SweepDeadlines(now);
        }
        if (acceptPaused_ && now >= acceptResumeAt_) {
            ResumeAccepting();
        }
    }
    // Every connection still open gets its log line as it is dropped.
    clients_.clear();
    return !settings_.once || onceCompleted_;
}

int TUpdateServer::WaitTimeoutMs(TServerClock::time_point now) const {
    auto until = nextSweep_;
    if (acceptPaused_) {
        until = std::min(until, acceptResumeAt_);
    }
    if (until <= now) {
        return 0;
    }
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(until - now);
    return static_cast<int>(std::min<std::int64_t>(ms.count(), 1000));
}

void TUpdateServer::AcceptAll(TServerClock::time_point now) {
    for (int i = 0; i < kAcceptBurst; ++i) {
        if (clients_.size() >= settings_.maxClients) {
            // The rest wait in the listen queue until a client leaves.
            PauseAccepting(TServerClock::time_point::max());
            return;
        }
        sockaddr_in peer{};
        socklen_t length = sizeof(peer);
        TFileDescriptor socket(::accept4(listener_.Get(), reinterpret_cast<sockaddr*>(&peer),
                                         &length, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!socket.Valid()) {
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                // The pending connection stays in the queue; polling the
                // listener now would only spin.
                PauseAccepting(now + kAcceptRetry);
            }
            // EAGAIN ends the burst; a connection that failed before it was
            // taken (ECONNABORTED and the like) is not the server's problem.
            return;
        }
        const int fd = socket.Get();
        auto client = std::make_unique<TClientConnection>(std::move(socket), PeerText(peer),
                                                          settings_, log_, now);
        epoll_event event{};
        event.events = client->WantedEvents();
        event.data.fd = fd;
        if (::epoll_ctl(epoll_.Get(), EPOLL_CTL_ADD, fd, &event) != 0) {
            // Out of kernel memory for the watch: this client goes, the
            // server stays.
            client->Abandon("dropped: cannot watch the connection: " +
                            std::string(std::strerror(errno)));
            continue;
        }
        clients_[fd] = TEntry{std::move(client), event.events};
    }
}

void TUpdateServer::PauseAccepting(TServerClock::time_point resumeAt) {
    acceptResumeAt_ = resumeAt;
    if (acceptPaused_) {
        return;
    }
    epoll_event event{};
    event.data.fd = listener_.Get();
    ::epoll_ctl(epoll_.Get(), EPOLL_CTL_MOD, listener_.Get(), &event);
    acceptPaused_ = true;
}

void TUpdateServer::ResumeAccepting() {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = listener_.Get();
    ::epoll_ctl(epoll_.Get(), EPOLL_CTL_MOD, listener_.Get(), &event);
    acceptPaused_ = false;
    acceptResumeAt_ = TServerClock::time_point::max();
}

void TUpdateServer::Dispatch(int fd, TServerClock::time_point now) {
    const auto found = clients_.find(fd);
    if (found == clients_.end()) {
        return;
    }
    found->second.client->OnReady(now);
    Settle(fd);
}

void TUpdateServer::Settle(int fd) {
    TEntry& entry = clients_.at(fd);
    if (entry.client->State() == TClientConnection::TState::Closed) {
        Remove(fd);
        return;
    }
    const std::uint32_t wanted = entry.client->WantedEvents();
    if (wanted != entry.events) {
        epoll_event event{};
        event.events = wanted;
        event.data.fd = fd;
        ::epoll_ctl(epoll_.Get(), EPOLL_CTL_MOD, fd, &event);
        entry.events = wanted;
    }
}

void TUpdateServer::Remove(int fd) {
    const auto found = clients_.find(fd);
    const TClientConnection& client = *found->second.client;
    if (settings_.once && client.RequestAccepted()) {
        onceDone_ = true;
        onceCompleted_ = client.Completed();
    }
    // The socket is closed already, which also took it out of the epoll set.
    clients_.erase(found);
    // A leaving client frees a place and a descriptor.
    if (acceptPaused_) {
        ResumeAccepting();
    }
}

void TUpdateServer::SweepDeadlines(TServerClock::time_point now) {
    nextSweep_ = now + sweepInterval_;
    std::vector<int> closed;
    for (auto& [fd, entry] : clients_) {
        entry.client->CheckDeadline(now);
        if (entry.client->State() == TClientConnection::TState::Closed) {
            closed.push_back(fd);
        }
    }
    for (const int fd : closed) {
        Remove(fd);
    }
}
