#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>
#include <unordered_map>

#include "FileDescriptor.h"

// The benchmark's yardstick: the least a server must do to answer the update
// request, on a thread of the benchmark process. One epoll loop, non-blocking
// sockets; each client's request line is read and checked, then the reply
// line and the package go out with sendfile, as much as the socket takes per
// readiness report, and the socket is closed after the last byte. No
// timeouts, no logging, no limits: whatever the real server spends beyond
// this is its own overhead.
class TReferenceServer {
  public:
    // Listens on 127.0.0.1 at a port the system chooses; raises on failure.
    explicit TReferenceServer(std::string packagePath);
    ~TReferenceServer();
    TReferenceServer(const TReferenceServer&) = delete;
    TReferenceServer& operator=(const TReferenceServer&) = delete;

    std::uint16_t Port() const { return port_; }
    // CPU time the serving thread has used so far (user and system).
    double CpuSeconds() const;

  private:
    struct TClient {
        TFileDescriptor socket;
        std::string request;
        std::size_t replySent = 0;
        off_t offset = 0;
    };

    void Run();
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
    std::thread thread_;
};
