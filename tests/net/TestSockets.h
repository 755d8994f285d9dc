#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

// The system's own socket calls that the tests' loopback servers and
// checks make, in one shape for POSIX and Windows. Handles are the system's
// (a descriptor or a SOCKET); calls cut short by a signal are repeated.
using TTestSocket = intptr_t;
constexpr TTestSocket kNoTestSocket = -1;

// A stream socket bound to 127.0.0.1 with a port from the system; raises
// std::runtime_error when that fails.
TTestSocket BoundLoopbackSocket(int& port);
bool StartListening(TTestSocket listener);
TTestSocket AcceptClient(TTestSocket listener);
bool WaitReadable(TTestSocket socket, int ms);
// Bytes moved; 0 when the peer closed, negative on failure. Sending never
// raises a signal.
int64_t SendSome(TTestSocket socket, const char* bytes, size_t count);
int64_t ReceiveSome(TTestSocket socket, char* buffer, size_t count);
void CloseTestSocket(TTestSocket socket);
// The next close sends a reset instead of an orderly end (SO_LINGER 0).
void SetAbortiveClose(TTestSocket socket);
bool ShutdownSends(TTestSocket socket);
// The TCP_NODELAY option of a socket, -1 when it cannot be read.
int NoDelayOf(TTestSocket socket);
// Two connected stream sockets (a socket pair on POSIX, a loopback TCP
// connection on Windows, which has no socket pairs).
std::pair<TTestSocket, TTestSocket> ConnectedSockets();
