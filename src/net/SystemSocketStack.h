#pragma once

#include <optional>
#include <string>

#include "net/SocketStack.h"
#include "platform/SocketApi.h"

// The stack over the system's socket calls (platform/SocketApi.h), the same
// on every system. Calls interrupted by a signal are repeated and an
// interrupted connect is waited for; ports out of range and negative
// lengths are refused before the system sees them.
class TSystemSocketStack : public TSocketStack {
  public:
    // Loads `libraryName` and looks up every call; raises
    // EStackCannotLoadLibrary when the library cannot be loaded and
    // EStackInitializationFailed when a call is missing.
    explicit TSystemSocketStack(const std::string& libraryName = SystemSocketLibraryName);

    int Bind(TSocket socket, int family, const std::string& ip, int port) override;
    int CloseSocket(TSocket socket) override;
    int Connect(TSocket socket, int family, const std::string& ip, int port) override;
    int SetNonBlocking(TSocket socket, bool nonBlocking) override;
    int ConnectOutcome(TSocket socket) override;
    std::optional<std::string> HostByName(const std::string& host) override;
    uint32_t NToHL(uint32_t value) override;
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
    TSocketApi& EntryPoints() { return api_; }

  private:
    // Records a failure's number and returns SOCKET_ERROR; 0 passes through.
    int Outcome(int error);
    int FinishInterruptedConnect(TSocket socket);
    int AddressOf(const std::function<int(TSocketId, TIPv4Address&, uint16_t&)>& call,
                  TSocket socket, std::string& ip, int& port);

    TSocketApi api_;
    int lastError_ = 0;
};
