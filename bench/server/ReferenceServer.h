#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>

#include "FileDescriptor.h"

// The benchmark's yardstick: the least a server must do to answer the update
// request. One epoll loop on the thread that calls Run(), non-blocking
// sockets; each client's request line is read and checked, then the reply
// line and the package go out with sendfile, as much as the socket takes per
// readiness report, and the socket is closed after the last byte. No
// timeouts, no logging, no limits: whatever the real server spends beyond
// this is its own overhead.
class TReferenceServer {
  public:
    // Listens on 127.0.0.1 at a port the system chooses; raises on failure.
    explicit TReferenceServer(std::string packagePath);
    TReferenceServer(const TReferenceServer&) = delete;
    TReferenceServer& operator=(const TReferenceServer&) = delete;

    std::uint16_t Port() const { return port_; }
    // Serves until Stop() is called (also from another process that shares
    // this object's descriptors after a fork).
    void Run();
    void Stop() noexcept;

  private:
    struct TClient {
        TFileDescriptor socket;
        std::string request;
        std::size_t replySent = 0;
        off_t offset = 0;
    };

    void AcceptAll();
    // Moves one client on; false when it is done (or failed) and can go.
    bool Serve(TClient& client);
    bool ReadRequest(TClient& client);
    bool Send(TClient& client);

    std::string packagePath_;
    TFileDescriptor package_;
    off_t packageSize_ = 0;
    TFileDescriptor listener_;
    TFileDescriptor epoll_;
    TFileDescriptor stop_;
    std::uint16_t port_ = 0;
    std::unordered_map<int, TClient> clients_;
};

// The reference served by a child process of its own, as the real server is:
// the clients then pay the same for every switch between them and the server
// on both sides (a thread of the benchmark's own process would be cheaper to
// switch to). Stopped and waited for when this goes away.
class TReferenceProcess {
  public:
    explicit TReferenceProcess(const std::string& packagePath);
    ~TReferenceProcess();
    TReferenceProcess(const TReferenceProcess&) = delete;
    TReferenceProcess& operator=(const TReferenceProcess&) = delete;

    std::uint16_t Port() const { return server_.Port(); }
    pid_t Pid() const { return pid_; }

  private:
    TReferenceServer server_;
    pid_t pid_ = -1;
};
