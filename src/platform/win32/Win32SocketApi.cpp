// The socket calls over Winsock: the library is loaded by name and every
// call is looked up in it, so that a library without them fails start-up
// instead of crashing later. Winsock reports its own error numbers, which
// are the numbers every layer above expects, so they pass unchanged.
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "platform/SocketApi.h"
#include "platform/win32/WideText.h"
#include "platform/win32/WindowsApi.h"

const char* const SystemSocketLibraryName = "ws2_32.dll";

namespace {

// The Winsock version the calls are written against.
constexpr WORD kWinsockVersion = MAKEWORD(2, 2);

// The Winsock calls with their Winsock types, as found in the library.
struct TWinsockCalls {
    int(WSAAPI* Startup)(WORD, LPWSADATA) = nullptr;
    int(WSAAPI* Cleanup)() = nullptr;
    int(WSAAPI* LastError)() = nullptr;
    SOCKET(WSAAPI* Socket)(int, int, int) = nullptr;
    int(WSAAPI* Bind)(SOCKET, const sockaddr*, int) = nullptr;
    int(WSAAPI* Connect)(SOCKET, const sockaddr*, int) = nullptr;
    int(WSAAPI* Close)(SOCKET) = nullptr;
    int(WSAAPI* Shutdown)(SOCKET, int) = nullptr;
    int(WSAAPI* Recv)(SOCKET, char*, int, int) = nullptr;
    int(WSAAPI* Send)(SOCKET, const char*, int, int) = nullptr;
    int(WSAAPI* Poll)(WSAPOLLFD*, ULONG, INT) = nullptr;
    int(WSAAPI* SetSockOpt)(SOCKET, int, int, const char*, int) = nullptr;
    int(WSAAPI* GetSockOpt)(SOCKET, int, int, char*, int*) = nullptr;
    int(WSAAPI* IoctlSocket)(SOCKET, long, u_long*) = nullptr;
    int(WSAAPI* GetSockName)(SOCKET, sockaddr*, int*) = nullptr;
    int(WSAAPI* GetPeerName)(SOCKET, sockaddr*, int*) = nullptr;
    int(WSAAPI* GetAddrInfo)(const char*, const char*, const addrinfo*, addrinfo**) = nullptr;
    void(WSAAPI* FreeAddrInfo)(addrinfo*) = nullptr;
};

// The loaded library, started once for Winsock and cleaned up and freed
// when the last entry that uses it goes away.
class TWinsockLibrary {
  public:
    explicit TWinsockLibrary(HMODULE module) : module_(module) {}
    TWinsockLibrary(const TWinsockLibrary&) = delete;
    TWinsockLibrary& operator=(const TWinsockLibrary&) = delete;
    ~TWinsockLibrary() {
        if (started_) {
            Calls.Cleanup();
        }
        ::FreeLibrary(module_);
    }

    // Looks every call up; false when one is missing.
    bool LookUpAll();
    // WSAStartup; false when Winsock refuses the version.
    bool Start() {
        WSADATA data{};
        started_ = Calls.Startup(kWinsockVersion, &data) == 0;
        return started_;
    }

    TWinsockCalls Calls;

  private:
    template <typename Function>
    bool LookUp(const char* name, Function*& slot) {
        // GetProcAddress hands out one pointer type for every entry point.
        slot = reinterpret_cast<Function*>(
            reinterpret_cast<void (*)()>(::GetProcAddress(module_, name)));
        return slot != nullptr;
    }

    HMODULE module_;
    bool started_ = false;
};

bool TWinsockLibrary::LookUpAll() {
    TWinsockCalls& c = Calls;
    // Every look-up runs (no short cut), so a missing one leaves no doubt.
    const bool found[] = {
        LookUp("WSAStartup", c.Startup),
        LookUp("WSACleanup", c.Cleanup),
        LookUp("WSAGetLastError", c.LastError),
        LookUp("socket", c.Socket),
        LookUp("bind", c.Bind),
        LookUp("connect", c.Connect),
        LookUp("closesocket", c.Close),
        LookUp("shutdown", c.Shutdown),
        LookUp("recv", c.Recv),
        LookUp("send", c.Send),
        LookUp("WSAPoll", c.Poll),
        LookUp("setsockopt", c.SetSockOpt),
        LookUp("getsockopt", c.GetSockOpt),
        LookUp("ioctlsocket", c.IoctlSocket),
        LookUp("getsockname", c.GetSockName),
        LookUp("getpeername", c.GetPeerName),
        LookUp("getaddrinfo", c.GetAddrInfo),
        LookUp("freeaddrinfo", c.FreeAddrInfo),
    };
    for (const bool one : found) {
        if (!one) {
            return false;
        }
    }
    return true;
}

using TLibrary = std::shared_ptr<TWinsockLibrary>;

int Status(const TLibrary& lib, int result) { return result == 0 ? 0 : lib->Calls.LastError(); }

SOCKET Native(TSocketId socket) { return static_cast<SOCKET>(static_cast<uint32_t>(socket)); }

sockaddr_in MakeAddress(int family, const TIPv4Address& ip, uint16_t port) {
    sockaddr_in address{};
    address.sin_family = static_cast<ADDRESS_FAMILY>(family);
    address.sin_port = static_cast<u_short>((port >> 8) | ((port & 0xFF) << 8));
    std::memcpy(&address.sin_addr, ip.data(), ip.size());
    return address;
}

void ReadAddress(const sockaddr_in& address, TIPv4Address& ip, uint16_t& port) {
    std::memcpy(ip.data(), &address.sin_addr, ip.size());
    const auto networkPort = static_cast<uint16_t>(address.sin_port);
    port = static_cast<uint16_t>((networkPort >> 8) | ((networkPort & 0xFF) << 8));
}

// What WSAPoll is asked for (it refuses POLLPRI, and the hang-up and error
// events are only ever answers) and what each answer means.
constexpr std::pair<SHORT, unsigned> kRequests[] = {
    {POLLRDNORM, srReadable}, {POLLWRNORM, srWritable}, {POLLRDBAND, srUrgent}};
constexpr std::pair<SHORT, unsigned> kAnswers[] = {
    {POLLRDNORM, srReadable}, {POLLWRNORM, srWritable}, {POLLRDBAND, srUrgent},
    {POLLHUP, srHungUp},      {POLLERR, srFailed},      {POLLNVAL, srNotASocket}};

SHORT PollEvents(unsigned wanted) {
    SHORT events = 0;
    for (const auto& [event, flag] : kRequests) {
        if ((wanted & flag) != 0) {
            events = static_cast<SHORT>(events | event);
        }
    }
    return events;
}

unsigned Readiness(SHORT revents) {
    unsigned ready = 0;
    for (const auto& [event, flag] : kAnswers) {
        if ((revents & event) != 0) {
            ready |= flag;
        }
    }
    return ready;
}

int Wait(const TLibrary& lib, TSocketWait* sockets, size_t count, int timeoutMs, int& ready) {
    if (timeoutMs < 0 && timeoutMs != SocketWaitForever) {
        return WSAEINVAL;
    }
    const INT limit = timeoutMs == SocketWaitForever ? -1 : timeoutMs;
    ready = 0;
    // WSAPoll refuses an empty list; a wait for nothing is a pause.
    if (count == 0) {
        ::Sleep(limit < 0 ? INFINITE : static_cast<DWORD>(limit));
        return 0;
    }
    std::vector<WSAPOLLFD> fds;
    fds.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        fds.push_back(WSAPOLLFD{Native(sockets[i].Socket), PollEvents(sockets[i].Wanted), 0});
    }
    const int n = lib->Calls.Poll(fds.data(), static_cast<ULONG>(fds.size()), limit);
    if (n == SOCKET_ERROR) {
        return lib->Calls.LastError();
    }
    for (size_t i = 0; i < count; ++i) {
        sockets[i].Ready = Readiness(fds[i].revents);
    }
    ready = n;
    return 0;
}

int Resolve(const TLibrary& lib, const std::string& host, TIPv4Address& ip) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    // getaddrinfo returns the Winsock number itself.
    const int result = lib->Calls.GetAddrInfo(host.c_str(), nullptr, &hints, &found);
    if (result != 0) {
        return result;
    }
    const auto freeList = [lib](addrinfo* list) { lib->Calls.FreeAddrInfo(list); };
    const std::unique_ptr<addrinfo, decltype(freeList)> owner(found, freeList);
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET && entry->ai_addr != nullptr &&
            entry->ai_addrlen >= sizeof(sockaddr_in)) {
            sockaddr_in address{};
            std::memcpy(&address, entry->ai_addr, sizeof address);
            uint16_t unusedPort = 0;
            ReadAddress(address, ip, unusedPort);
            return 0;
        }
    }
    return WSANO_DATA;
}

using TAddressCall = int(WSAAPI*)(SOCKET, sockaddr*, int*);

int AddressOf(const TLibrary& lib, TAddressCall call, TSocketId socket, TIPv4Address& ip,
              uint16_t& port) {
    sockaddr_in address{};
    int length = sizeof address;
    if (call(Native(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return lib->Calls.LastError();
    }
    ReadAddress(address, ip, port);
    return 0;
}

int Moved(const TLibrary& lib, int n, int& moved) {
    if (n == SOCKET_ERROR) {
        return lib->Calls.LastError();
    }
    moved = n;
    return 0;
}

int Open(const TLibrary& lib, int family, int type, int protocol, TSocketId& socket) {
    const SOCKET handle = lib->Calls.Socket(family, type, protocol);
    if (handle == INVALID_SOCKET) {
        socket = -1;
        return lib->Calls.LastError();
    }
    // New sockets are not inherited by programs the updater starts.
    ::SetHandleInformation(reinterpret_cast<HANDLE>(handle), HANDLE_FLAG_INHERIT, 0);
    socket = static_cast<TSocketId>(handle);
    return 0;
}

int ConnectOutcome(const TLibrary& lib, TSocketId socket, int& outcome) {
    int err = 0;
    int length = sizeof err;
    if (lib->Calls.GetSockOpt(Native(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err),
                              &length) != 0) {
        return lib->Calls.LastError();
    }
    outcome = err;
    return 0;
}

TSocketApi MakeApi(const TLibrary& lib) {
    TSocketApi api;
    api.Open = [lib](int family, int type, int protocol, TSocketId& socket) {
        return Open(lib, family, type, protocol, socket);
    };
    api.Bind = [lib](TSocketId socket, int family, const TIPv4Address& ip, uint16_t port) {
        const sockaddr_in address = MakeAddress(family, ip, port);
        return Status(lib,
                      lib->Calls.Bind(Native(socket), reinterpret_cast<const sockaddr*>(&address),
                                      sizeof address));
    };
    api.Connect = [lib](TSocketId socket, int family, const TIPv4Address& ip, uint16_t port) {
        const sockaddr_in address = MakeAddress(family, ip, port);
        return Status(
            lib, lib->Calls.Connect(Native(socket), reinterpret_cast<const sockaddr*>(&address),
                                    sizeof address));
    };
    api.Close = [lib](TSocketId socket) { return Status(lib, lib->Calls.Close(Native(socket))); };
    api.Shutdown = [lib](TSocketId socket, int how) {
        return Status(lib, lib->Calls.Shutdown(Native(socket), how));
    };
    api.Receive = [lib](TSocketId socket, void* buffer, int length, int flags, int& received) {
        return Moved(lib,
                     lib->Calls.Recv(Native(socket), static_cast<char*>(buffer), length, flags),
                     received);
    };
    // Windows raises no signal at a process whose peer is gone.
    api.Send = [lib](TSocketId socket, const void* buffer, int length, int flags, int& sent) {
        return Moved(
            lib, lib->Calls.Send(Native(socket), static_cast<const char*>(buffer), length, flags),
            sent);
    };
    api.Wait = [lib](TSocketWait* sockets, size_t count, int timeoutMs, int& ready) {
        return Wait(lib, sockets, count, timeoutMs, ready);
    };
    api.SetOption = [lib](TSocketId socket, int level, int name, const void* value, int length) {
        return Status(lib, lib->Calls.SetSockOpt(Native(socket), level, name,
                                                 static_cast<const char*>(value), length));
    };
    api.SetNonBlocking = [lib](TSocketId socket, bool nonBlocking) {
        u_long mode = nonBlocking ? 1 : 0;
        // FIONBIO's value does not fit a long's sign; the call takes it so.
        return Status(lib,
                      lib->Calls.IoctlSocket(Native(socket), static_cast<long>(FIONBIO), &mode));
    };
    api.ConnectOutcome = [lib](TSocketId socket, int& outcome) {
        return ConnectOutcome(lib, socket, outcome);
    };
    api.LocalAddress = [lib](TSocketId socket, TIPv4Address& ip, uint16_t& port) {
        return AddressOf(lib, lib->Calls.GetSockName, socket, ip, port);
    };
    api.PeerAddress = [lib](TSocketId socket, TIPv4Address& ip, uint16_t& port) {
        return AddressOf(lib, lib->Calls.GetPeerName, socket, ip, port);
    };
    api.Resolve = [lib](const std::string& host, TIPv4Address& ip) {
        return Resolve(lib, host, ip);
    };
    return api;
}

}  // namespace

TLoadedSocketApi LoadSocketApi(const std::string& libraryName) {
    TLoadedSocketApi loaded;
    HMODULE module = ::LoadLibraryW(WidePath(libraryName).c_str());
    if (module == nullptr) {
        loaded.Result = TSocketLoadResult::LibraryNotLoaded;
        return loaded;
    }
    const auto library = std::make_shared<TWinsockLibrary>(module);
    if (!library->LookUpAll()) {
        loaded.Result = TSocketLoadResult::EntryPointMissing;
        return loaded;
    }
    // A Winsock that refuses version 2.2 offers none of the calls used here.
    if (!library->Start()) {
        loaded.Result = TSocketLoadResult::LibraryNotLoaded;
        return loaded;
    }
    loaded.Result = TSocketLoadResult::Loaded;
    loaded.Api = MakeApi(library);
    return loaded;
}
