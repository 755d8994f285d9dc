#pragma once

// Contract of the TCP client as the updater uses it (all calls block):
//   TTcpClient client;                     loads the socket library with
//                                          the first client (GlobalStack).
//   client.Host = "host"; client.Port = n; where to connect.
//   client.ConnectToHost();                resolves and connects; raises
//                                          EAlreadyConnected when open,
//                                          ESocketError (LastError() e.g.
//                                          10061 refused, 11001 unknown
//                                          host) on failure, leaving the
//                                          client closed and reusable.
//                                          With ConnectTimeoutMs set, a
//                                          connect not done by then raises
//                                          ESocketError 10060 (WSAETIMEDOUT).
//   client.IsConnected();                  no traffic; false once a read
//                                          or write has seen the close.
//   client.WriteLine / ReadLine / ReadToStream / CloseConnection: see
//                                          TcpConnection.h.
//   client.OnWork = [](TNetComponent* Sender, TWorkMode AWorkMode,
//                      int64_t AWorkCount) {...};   also OnWorkBegin
//                                          (Sender, AWorkMode, AWorkCountMax)
//                                          and OnWorkEnd (Sender, AWorkMode).
// Events are plain callables; an empty one is not called.

#include <memory>
#include <string>

#include "net/TcpConnection.h"

enum TSocksVersion { svNoSocks = 0, svSocks4 = 1, svSocks4A = 2, svSocks5 = 3 };

// Proxy settings. Only svNoSocks is supported: a client set to another
// version refuses to connect rather than silently going direct.
class TSocksInfo {
  public:
    TSocksVersion Version = svNoSocks;
    std::string Host;
    int Port = 1080;
};

// A client that opens one TCP connection to Host:Port.
class TTcpClient : public TTcpConnection {
  public:
    TTcpClient();
    ~TTcpClient() override;

    std::string Host;
    int Port = 0;
    // Local address to bind before connecting; empty binds to any address.
    std::string BoundIP;
    // False switches Nagle's algorithm off on each new socket.
    bool UseNagle = true;
    TNetNotifyEvent OnConnected;
    // The longest a connect may take (WaitForever: as long as the system
    // lets it). A limit, or an OnPoll handler, makes the connect run in the
    // background while the wait is sliced and polled.
    int ConnectTimeoutMs = WaitForever;

    TSocksInfo& SocksInfo() { return *socksInfo_; }

    virtual void FireConnected();
    // Opens the connection or raises; any failure after the socket exists
    // closes it again before the exception leaves.
    virtual void ConnectToHost();

  private:
    void ConnectAllocated();
    // Connects in the background and waits for it within ConnectTimeoutMs.
    void ConnectWithinLimit(TSocketHandle& socket);

    std::unique_ptr<TSocksInfo> socksInfo_;
};
