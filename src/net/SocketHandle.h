#pragma once

#include <string>

#include "net/SocketStack.h"

// One socket of a TCP client together with its local and remote address.
// IP and Port are what to bind to before BindLocal and what the platform
// reports after bind and connect; RemoteIP and RemotePort are what to
// connect to and, after ConnectPeer, what the platform reports for the peer.
// Freeing the handle releases an open socket.
class TSocketHandle {
  public:
    TSocketHandle() = default;
    TSocketHandle(const TSocketHandle&) = delete;
    TSocketHandle& operator=(const TSocketHandle&) = delete;
    ~TSocketHandle();

    std::string IP;
    int Port = 0;
    std::string RemoteIP;
    int RemotePort = 0;

    TSocket SocketId() const { return socketId_; }
    bool Allocated() const { return allocated_; }

    // Releases a previous socket and creates a new one (EInvalidSocket).
    void Allocate(int type, int protocol);
    // Binds to IP (empty: any address) and Port; an address in use raises
    // ECouldNotBindSocket, other failures ESocketError.
    void BindLocal();
    void SetRemote(const std::string& ip, int port);
    // Connects to RemoteIP:RemotePort; on success both addresses are
    // fetched from the platform. Returns the platform result.
    int ConnectPeer(int family);
    // Shuts sending down and closes the socket, ignoring their results.
    void ReleaseSocket(bool resetLocal);
    // Forgets the socket and the remote address (and the local one when
    // resetLocal) without closing anything.
    void ClearState(bool resetLocal);
    // True when bytes (or a close) can be read within `ms`. Without a socket
    // raises EConnClosedGracefully; a failing wait raises ESocketError.
    bool WaitReadable(int ms);
    // True when the socket can be written to (for a background connect: the
    // connect has ended, well or not) within `ms`; raises as WaitReadable.
    bool WaitWritable(int ms);
    // One recv or send with flags 0: bytes moved, 0 for an orderly close by
    // the peer, SOCKET_ERROR for failure.
    int ReceiveData(void* buffer, int length);
    int SendData(const void* buffer, int length);
    void SetOption(int level, int name, const void* value, int length);
    void FetchLocalAddress();
    void FetchRemoteAddress();

  private:
    bool WaitFor(bool readable, int ms);

    TSocket socketId_ = INVALID_SOCKET;
    bool allocated_ = false;
};
