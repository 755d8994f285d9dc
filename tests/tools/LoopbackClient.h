#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "FileDescriptor.h"

// A blocking test client on 127.0.0.1. Every receive waits at most a few
// seconds, so a server that hangs fails the test instead of stalling it.
class TLoopbackClient {
  public:
    // `receiveBuffer` > 0 sets SO_RCVBUF before the connect.
    explicit TLoopbackClient(std::uint16_t port, int receiveBuffer = 0);

    void Send(const std::string& bytes);
    // One receive of at most `limit` bytes; empty at the close.
    std::string Receive(std::size_t limit);
    // Reads until the server closes. `Reset()` tells whether the connection
    // ended in an error (a reset or a time-out) rather than an orderly close.
    std::string ReadToClose();
    bool Reset() const { return reset_; }
    // Closes with a reset (SO_LINGER 0) instead of an orderly close.
    void Abort();
    void Close() { socket_.Reset(); }

  private:
    TFileDescriptor socket_;
    bool reset_ = false;
};

// Connects, sends the request line with CR LF and reads everything.
std::string FetchPackage(std::uint16_t port);

// `size` bytes that differ from position to position and from seed to seed.
std::string PatternBytes(std::size_t size, std::uint32_t seed);
