#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "ClientConnection.h"
#include "FileDescriptor.h"
#include "ServerSettings.h"

// The update server: one thread, one epoll loop, non-blocking sockets. Memory
// per client is a small fixed record (the request line is capped and the
// package goes from the file to the socket inside the kernel), so the number
// of clients does not change the server's footprint beyond that.
//
// Use: construct, Listen() (raises on failure), then Run() until Stop() is
// called from another thread or a signal handler, or, with `once`, until the
// first accepted request has ended.
class TUpdateServer {
  public:
    // `log` receives one line per connection; an empty sink writes to stderr.
    explicit TUpdateServer(TServerSettings settings, TLogSink log = {});
    ~TUpdateServer();
    TUpdateServer(const TUpdateServer&) = delete;
    TUpdateServer& operator=(const TUpdateServer&) = delete;

    // Binds and listens; raises std::system_error or std::runtime_error.
    void Listen();
    // The port actually bound (useful when the settings asked for port 0).
    std::uint16_t Port() const { return port_; }
    std::string Address() const;

    // Serves until stopped. Returns false only in `once` mode when the one
    // transfer did not complete.
    bool Run();
    // Asks Run to return soon. Safe from any thread and from a signal handler.
    void Stop() noexcept;

  private:
    struct TEntry {
        std::unique_ptr<TClientConnection> client;
        std::uint32_t events = 0;
    };

    void AcceptAll(TServerClock::time_point now);
    void PauseAccepting(TServerClock::time_point resumeAt);
    void ResumeAccepting();
    void Dispatch(int fd, TServerClock::time_point now);
    // Brings the epoll registration in line with the client's state and
    // removes the client once it has closed.
    void Settle(int fd);
    void Remove(int fd);
    void SweepDeadlines(TServerClock::time_point now);
    int WaitTimeoutMs(TServerClock::time_point now) const;
    void AddWatch(int fd, std::uint32_t events);

    TServerSettings settings_;
    TLogSink log_;
    TFileDescriptor epoll_;
    TFileDescriptor stopEvent_;
    TFileDescriptor listener_;
    std::uint16_t port_ = 0;
    std::unordered_map<int, TEntry> clients_;
    bool acceptPaused_ = false;
    TServerClock::time_point acceptResumeAt_ = TServerClock::time_point::max();
    TServerClock::time_point nextSweep_;
    std::chrono::milliseconds sweepInterval_{1000};
    bool onceDone_ = false;
    bool onceCompleted_ = false;
};
