#pragma once

#include <functional>
#include <string>
#include <thread>

#include "TestSockets.h"

// The server end of one accepted loopback connection, driven by a test's
// script on the server thread. Every wait is bounded.
class ServerSide {
  public:
    explicit ServerSide(TTestSocket fd) : fd_(fd) {}
    ServerSide(const ServerSide&) = delete;
    ServerSide& operator=(const ServerSide&) = delete;
    ~ServerSide();

    void Send(const std::string& bytes);
    void Pause(int ms);
    // Orderly close (FIN).
    void Close();
    // Abortive close: SO_LINGER 0 makes the kernel send a reset.
    void Reset();
    // The client's bytes up to and including the next LF (at most `ms`
    // between arrivals).
    std::string ReceiveLine(int ms = 5000);
    // Everything the client sends until it closes (or `ms` pass quietly).
    std::string ReceiveUntilClose(int ms = 5000);
    // Waits up to `ms` for the client to close its end.
    void WaitForClientClose(int ms = 5000);

  private:
    TTestSocket fd_;
};

// A listener on 127.0.0.1 with a port from the system. A thread accepts up
// to `connections` clients one after another (each wait at most 5 s) and
// runs the script on each; the destructor joins the thread.
class LoopbackServer {
  public:
    using Script = std::function<void(ServerSide&)>;

    explicit LoopbackServer(Script script, int connections = 1);
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;
    ~LoopbackServer();

    int Port() const { return port_; }
    // Waits for the scripts to end, so their results may be read.
    void Join();

  private:
    void Serve(Script script, int connections);

    TTestSocket listener_ = kNoTestSocket;
    int port_ = 0;
    std::thread thread_;
};

// Scripts most connection tests run: send `bytes`, then wait for the client
// to close its end, or close the server's end at once (orderly).
LoopbackServer::Script SendThenWait(std::string bytes);
LoopbackServer::Script SendThenClose(std::string bytes);

// A port on 127.0.0.1 that refuses connections for as long as the object
// lives: bound, so nobody else takes it, but not listening.
class RefusingPort {
  public:
    RefusingPort();
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;
    ~RefusingPort();

    int Port() const { return port_; }

  private:
    TTestSocket fd_ = kNoTestSocket;
    int port_ = 0;
};
