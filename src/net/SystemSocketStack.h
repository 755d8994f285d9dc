#pragma once

#include <netdb.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <time.h>

#include <optional>
#include <string>

#include "net/SocketStack.h"

// The name of the system library that carries the socket calls.
constexpr const char* SocketLibraryName = "libc.so.6";

// Every socket call the stack makes, looked up by name in the socket library
// when the stack starts. Tests may swap single entries for fault-injecting
// functions (a failing function sets errno and returns -1, as the real ones
// do) through TSystemSocketStack::EntryPoints.
struct TSocketEntryPoints {
    int (*Socket)(int, int, int) = nullptr;
    int (*Bind)(int, const sockaddr*, socklen_t) = nullptr;
    int (*Connect)(int, const sockaddr*, socklen_t) = nullptr;
    int (*CloseSocket)(int) = nullptr;
    int (*Shutdown)(int, int) = nullptr;
    ssize_t (*Recv)(int, void*, size_t, int) = nullptr;
    ssize_t (*Send)(int, const void*, size_t, int) = nullptr;
    int (*PPoll)(pollfd*, nfds_t, const timespec*, const sigset_t*) = nullptr;
    int (*SetSockOpt)(int, int, int, const void*, socklen_t) = nullptr;
    int (*GetSockOpt)(int, int, int, void*, socklen_t*) = nullptr;
    int (*GetSockName)(int, sockaddr*, socklen_t*) = nullptr;
    int (*GetPeerName)(int, sockaddr*, socklen_t*) = nullptr;
    int (*GetAddrInfo)(const char*, const char*, const addrinfo*, addrinfo**) = nullptr;
    void (*FreeAddrInfo)(addrinfo*) = nullptr;
    uint16_t (*HToNS)(uint16_t) = nullptr;
    uint16_t (*NToHS)(uint16_t) = nullptr;
    uint32_t (*HToNL)(uint32_t) = nullptr;
    uint32_t (*NToHL)(uint32_t) = nullptr;
};

// A wait's time limit split the way the platform wait takes it.
struct TWaitLimit {
    long Seconds;
    long Microseconds;
};

// No limit for WaitForever, otherwise ms div 1000 seconds and the rest in
// microseconds (a negative ms gives a limit the platform rejects).
std::optional<TWaitLimit> WaitLimitFor(int ms);

// The stack over the system's POSIX socket calls. Sends never raise SIGPIPE
// at the process (a gone peer is an error number like any other), calls
// interrupted by a signal are repeated, and new sockets are not inherited
// by started programs.
class TSystemSocketStack : public TSocketStack {
  public:
    // Loads `libraryName` and looks up every entry point; raises
    // EStackCannotLoadLibrary when the library cannot be loaded and
    // EStackInitializationFailed when an entry point is missing.
    explicit TSystemSocketStack(const std::string& libraryName = SocketLibraryName);
    ~TSystemSocketStack() override;

    int Bind(TSocket socket, int family, const std::string& ip, int port) override;
    int CloseSocket(TSocket socket) override;
    int Connect(TSocket socket, int family, const std::string& ip, int port) override;
    std::optional<std::string> HostByName(const std::string& host) override;
    uint16_t HToNS(uint16_t value) override { return entries_.HToNS(value); }
    uint16_t NToHS(uint16_t value) override { return entries_.NToHS(value); }
    uint32_t HToNL(uint32_t value) override { return entries_.HToNL(value); }
    uint32_t NToHL(uint32_t value) override { return entries_.NToHL(value); }
    int Recv(TSocket socket, void* buffer, int length, int flags) override;
    int WaitForSockets(TSocketList* readList, TSocketList* writeList, TSocketList* errorList,
                       int ms) override;
    int Send(TSocket socket, const void* buffer, int length, int flags) override;
    int SetSockOpt(TSocket socket, int level, int name, const void* value, int length) override;
    TSocket CreateSocket(int family, int type, int protocol) override;
    int Shutdown(TSocket socket, int how) override;
    int LastError() override { return lastError_; }
    int PeerName(TSocket socket, std::string& ip, int& port) override;
    int SockName(TSocket socket, std::string& ip, int& port) override;

    // The table the calls go through; tests replace entries and restore them.
    TSocketEntryPoints& EntryPoints() { return entries_; }

  private:
    void LoadSocketLibrary(const std::string& libraryName);
    void UnloadSocketLibrary();
    int Failed(int err);
    sockaddr_in MakeAddress(int family, const std::string& ip, int port);
    int FinishInterruptedConnect(TSocket socket);
    using AddressCall = int (*)(int, sockaddr*, socklen_t*);
    int AddressOf(AddressCall call, TSocket socket, std::string& ip, int& port);

    void* library_ = nullptr;
    TSocketEntryPoints entries_;
    int lastError_ = 0;
};
