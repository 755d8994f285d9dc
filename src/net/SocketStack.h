#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/SocketApi.h"

// A socket identifier; INVALID_SOCKET means "no socket" and every socket
// call reports failure as SOCKET_ERROR.
using TSocket = TSocketId;
constexpr TSocket INVALID_SOCKET = -1;
constexpr int SOCKET_ERROR = -1;

// A time-out in milliseconds of this value waits without limit.
constexpr int WaitForever = SocketWaitForever;

// The largest number of sockets in one list handed to WaitForSockets.
constexpr size_t MaxSocketsPerWait = 64;

// The only address family used: IPv4.
constexpr int AF_INET_FAMILY = 2;

using TSocketList = std::vector<TSocket>;
using TIPv4Bytes = TIPv4Address;

// The process-wide gateway to the operating system's sockets. Nothing above
// it calls the socket library directly. Addresses travel as dotted IPv4
// text and ports as host-order integers; the stack converts them at the
// calls. Every failing call returns SOCKET_ERROR and leaves its error number
// (a Winsock number, see SocketErrors.h) for LastError.
class TSocketStack {
  public:
    TSocketStack() = default;
    TSocketStack(const TSocketStack&) = delete;
    TSocketStack& operator=(const TSocketStack&) = delete;
    virtual ~TSocketStack() = default;

    virtual int Bind(TSocket socket, int family, const std::string& ip, int port) = 0;
    virtual int CloseSocket(TSocket socket) = 0;
    virtual int Connect(TSocket socket, int family, const std::string& ip, int port) = 0;
    // A socket in non-blocking mode returns at once from connect (with
    // WSAEINPROGRESS or WSAEWOULDBLOCK) and from receives and sends that
    // would wait.
    virtual int SetNonBlocking(TSocket socket, bool nonBlocking) = 0;
    // After a background connect has become writable: 0 when it worked,
    // otherwise SOCKET_ERROR with the connect's own error as LastError.
    virtual int ConnectOutcome(TSocket socket) = 0;
    // The first IPv4 address of a host as dotted text; nothing (and
    // LastError set) when the name cannot be resolved.
    virtual std::optional<std::string> HostByName(const std::string& host) = 0;
    // A 32-bit number as it came over the wire, in host order.
    virtual uint32_t NToHL(uint32_t value) = 0;
    virtual int Recv(TSocket socket, void* buffer, int length, int flags) = 0;
    // Waits until a socket of a list is ready or `ms` passes (WaitForever:
    // no limit). Returns the number of ready sockets, 0 on time-out or
    // SOCKET_ERROR, and leaves in each given list only its ready sockets.
    virtual int WaitForSockets(TSocketList* readList, TSocketList* writeList,
                               TSocketList* errorList, int ms) = 0;
    virtual int Send(TSocket socket, const void* buffer, int length, int flags) = 0;
    virtual int SetSockOpt(TSocket socket, int level, int name, const void* value, int length) = 0;
    virtual TSocket CreateSocket(int family, int type, int protocol) = 0;
    virtual int Shutdown(TSocket socket, int how) = 0;
    virtual std::string SocketErrorMessage(int number);
    virtual int LastError() = 0;
    virtual int PeerName(TSocket socket, std::string& ip, int& port) = 0;
    virtual int SockName(TSocket socket, std::string& ip, int& port) = 0;

    // socket(AF_INET, type, protocol); raises EInvalidSocket on failure.
    TSocket NewSocket(int type, int protocol);
    // "localhost" in any case and dotted IPv4 text need no lookup; other
    // names go to the resolver, whose failure raises ESocketError.
    std::string HostToIP(const std::string& host);
    static bool IsIPv4Text(const std::string& text);
    // Raises the runtime's EConvertError for a part that is no integer.
    static TIPv4Bytes TextToAddress(const std::string& text);
    static std::string AddressToText(const TIPv4Bytes& bytes);
    // False when result is not SOCKET_ERROR; true when the last error is in
    // `ignore`; otherwise raises ESocketError for the last error.
    bool CheckResult(int result, std::initializer_list<int> ignore = {});
    [[noreturn]] void RaiseSocketFailure(int number);
};

// The one stack, alive while at least one TNetComponent exists, and the
// number of those components.
extern std::unique_ptr<TSocketStack> GlobalStack;
extern int StackUsers;
