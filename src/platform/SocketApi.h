#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// The socket calls the TCP client needs, in one shape for every system.
// Sockets are int handles, IPv4 addresses 4 bytes in network order, ports
// host-order numbers. Every entry returns 0 for success or the Winsock
// number of its failure (see SocketErrorNumbers.h): the system's own codes
// are converted inside the implementation, never above it. A call cut
// short by a signal reports WSAEINTR and is the caller's to repeat.
//
// The entries are plain function objects so that tests can replace one of
// them (a fake that fails, hands out pieces, counts calls) and call on to
// the real one.

using TSocketId = int32_t;
using TIPv4Address = std::array<uint8_t, 4>;

// A wait of this many milliseconds has no limit.
constexpr int SocketWaitForever = -2;

// What a socket is waited for, and what it was found ready for.
enum TSocketReadiness : unsigned {
    srReadable = 0x01,
    srWritable = 0x02,
    srUrgent = 0x04,
    srHungUp = 0x08,
    srFailed = 0x10,
    srNotASocket = 0x20,  // the handle is no open socket
};

struct TSocketWait {
    TSocketId Socket;
    unsigned Wanted;
    unsigned Ready;
};

struct TSocketApi {
    std::function<int(int family, int type, int protocol, TSocketId& socket)> Open;
    std::function<int(TSocketId socket, int family, const TIPv4Address& ip, uint16_t port)> Bind;
    std::function<int(TSocketId socket, int family, const TIPv4Address& ip, uint16_t port)> Connect;
    std::function<int(TSocketId socket)> Close;
    std::function<int(TSocketId socket, int how)> Shutdown;
    std::function<int(TSocketId socket, void* buffer, int length, int flags, int& received)>
        Receive;
    // Never raises a signal at the process when the peer is gone.
    std::function<int(TSocketId socket, const void* buffer, int length, int flags, int& sent)> Send;
    // Fills Ready of every entry; `ready` is how many entries have any.
    std::function<int(TSocketWait* sockets, size_t count, int timeoutMs, int& ready)> Wait;
    std::function<int(TSocketId socket, int level, int name, const void* value, int length)>
        SetOption;
    // Switches a socket between blocking calls and calls that return
    // WSAEWOULDBLOCK (a connect: WSAEINPROGRESS) instead of waiting, so a
    // connect can be waited for with a limit.
    std::function<int(TSocketId socket, bool nonBlocking)> SetNonBlocking;
    // The outcome of a connect that went on in the background (0: it worked).
    std::function<int(TSocketId socket, int& outcome)> ConnectOutcome;
    std::function<int(TSocketId socket, TIPv4Address& ip, uint16_t& port)> LocalAddress;
    std::function<int(TSocketId socket, TIPv4Address& ip, uint16_t& port)> PeerAddress;
    // The first IPv4 address of a host name.
    std::function<int(const std::string& host, TIPv4Address& ip)> Resolve;
};

enum class TSocketLoadResult { Loaded, LibraryNotLoaded, EntryPointMissing };

struct TLoadedSocketApi {
    TSocketLoadResult Result = TSocketLoadResult::LibraryNotLoaded;
    TSocketApi Api;  // complete when Result is Loaded, empty otherwise
};

// The library that carries the system's socket calls.
extern const char* const SystemSocketLibraryName;

// Loads `libraryName` and looks up every call the table needs. The library
// stays loaded as long as a copy of any entry lives.
TLoadedSocketApi LoadSocketApi(const std::string& libraryName);
