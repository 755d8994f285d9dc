#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "FileDescriptor.h"
#include "RequestLine.h"
#include "ServerSettings.h"

using TServerClock = std::chrono::steady_clock;
using TLogSink = std::function<void(const std::string&)>;

// One client connection, driven by the event loop. It reads the request line,
// answers an accepted request with the reply line and the package's bytes
// (sendfile, straight from the file), closes its sending side and then waits
// a little for the client's own close, so that bytes the client may still send
// are read rather than answered with a reset that could cut off the package's
// tail. Every connection ends in exactly one log line.
class TClientConnection {
  public:
    enum class TState {
        Reading,    // waiting for the request line
        Sending,    // reply line and package on the way
        Lingering,  // everything sent; waiting for the client's close
        Closed,     // done; the owner removes it
    };

    TClientConnection(TFileDescriptor socket, std::string peer, const TServerSettings& settings,
                      const TLogSink& log, TServerClock::time_point now);
    ~TClientConnection();
    TClientConnection(const TClientConnection&) = delete;
    TClientConnection& operator=(const TClientConnection&) = delete;

    int Fd() const { return socket_.Get(); }
    TState State() const { return state_; }
    // The epoll events this connection waits for in its present state.
    std::uint32_t WantedEvents() const;

    // Called when the socket reports readiness of any kind (including errors
    // and hang-ups); the connection works out what to do from its state.
    void OnReady(TServerClock::time_point now);
    // Ends the connection when its present state has run out of time.
    void CheckDeadline(TServerClock::time_point now);
    // Ends the connection at once, for instance because the server stops.
    void Abandon(const std::string& reason = "server stopped");

    bool RequestAccepted() const { return accepted_; }
    bool Completed() const { return completed_; }

  private:
    void ReadRequest(TServerClock::time_point now);
    void StartSending(TServerClock::time_point now);
    void SendPackage(TServerClock::time_point now);
    void Drain();
    void FinishSending(TServerClock::time_point now);
    // Writes the connection's one log line and, unless `keepOpen`, closes it.
    void Finish(const std::string& outcome, bool keepOpen = false);

    TFileDescriptor socket_;
    TFileDescriptor package_;
    std::string peer_;
    const TServerSettings& settings_;
    const TLogSink& log_;
    TRequestLineReader request_;
    TState state_ = TState::Reading;
    TServerClock::time_point deadline_;
    std::size_t replySent_ = 0;
    std::int64_t packageSize_ = 0;
    std::int64_t packageSent_ = 0;  // also the read offset in the package
    bool accepted_ = false;
    bool completed_ = false;
    bool logged_ = false;
};
