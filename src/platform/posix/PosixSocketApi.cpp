// The socket calls over POSIX: the C library is opened by name and every
// call is looked up in it, so that a library without them fails start-up
// instead of crashing later.
#include "platform/posix/PosixSocketApi.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "platform/SocketApi.h"
#include "platform/SocketErrorNumbers.h"
#include "platform/posix/PosixSocketErrors.h"

const char* const SystemSocketLibraryName = "libc.so.6";

namespace {

constexpr long kMicrosecondsPerSecond = 1000 * 1000;
constexpr long kNanosecondsPerMicrosecond = 1000;
constexpr int kMillisecondsPerSecond = 1000;

// The POSIX calls with their POSIX types, as found in the library.
struct TPosixCalls {
    int (*Socket)(int, int, int) = nullptr;
    int (*Bind)(int, const sockaddr*, socklen_t) = nullptr;
    int (*Connect)(int, const sockaddr*, socklen_t) = nullptr;
    int (*Close)(int) = nullptr;
    int (*Shutdown)(int, int) = nullptr;
    ssize_t (*Recv)(int, void*, size_t, int) = nullptr;
    ssize_t (*Send)(int, const void*, size_t, int) = nullptr;
    int (*PPoll)(pollfd*, nfds_t, const timespec*, const sigset_t*) = nullptr;
    int (*SetSockOpt)(int, int, int, const void*, socklen_t) = nullptr;
    int (*GetSockOpt)(int, int, int, void*, socklen_t*) = nullptr;
    int (*Fcntl)(int, int, ...) = nullptr;
    int (*GetSockName)(int, sockaddr*, socklen_t*) = nullptr;
    int (*GetPeerName)(int, sockaddr*, socklen_t*) = nullptr;
    int (*GetAddrInfo)(const char*, const char*, const addrinfo*, addrinfo**) = nullptr;
    void (*FreeAddrInfo)(addrinfo*) = nullptr;
};

// The opened library and its calls; closed when the last entry that uses
// it goes away.
class TPosixSocketLibrary {
  public:
    explicit TPosixSocketLibrary(void* handle) : handle_(handle) {}
    TPosixSocketLibrary(const TPosixSocketLibrary&) = delete;
    TPosixSocketLibrary& operator=(const TPosixSocketLibrary&) = delete;
    ~TPosixSocketLibrary() { dlclose(handle_); }

    // Looks every call up; false when one is missing.
    bool LookUpAll();

    TPosixCalls Calls;

  private:
    template <typename Function>
    bool LookUp(const char* name, Function*& slot) {
        slot = reinterpret_cast<Function*>(dlsym(handle_, name));
        return slot != nullptr;
    }

    void* handle_;
};

bool TPosixSocketLibrary::LookUpAll() {
    TPosixCalls& c = Calls;
    // Every look-up runs (no short cut), so a missing one leaves no doubt.
    const bool found[] = {
        LookUp("socket", c.Socket),
        LookUp("bind", c.Bind),
        LookUp("connect", c.Connect),
        LookUp("close", c.Close),
        LookUp("shutdown", c.Shutdown),
        LookUp("recv", c.Recv),
        LookUp("send", c.Send),
        LookUp("ppoll", c.PPoll),
        LookUp("setsockopt", c.SetSockOpt),
        LookUp("getsockopt", c.GetSockOpt),
        LookUp("fcntl", c.Fcntl),
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

using TLibrary = std::shared_ptr<TPosixSocketLibrary>;

int Status(int result) { return result == 0 ? 0 : SocketErrorFromErrno(errno); }

sockaddr_in MakeAddress(int family, const TIPv4Address& ip, uint16_t port) {
    sockaddr_in address{};
    address.sin_family = static_cast<sa_family_t>(family);
    address.sin_port = htons(port);
    std::memcpy(&address.sin_addr, ip.data(), ip.size());
    return address;
}

void ReadAddress(const sockaddr_in& address, TIPv4Address& ip, uint16_t& port) {
    std::memcpy(ip.data(), &address.sin_addr, ip.size());
    port = ntohs(address.sin_port);
}

// Each readiness and the poll event that tells it.
constexpr std::pair<short, unsigned> kEvents[] = {{POLLIN, srReadable}, {POLLOUT, srWritable},
                                                  {POLLPRI, srUrgent},  {POLLHUP, srHungUp},
                                                  {POLLERR, srFailed},  {POLLNVAL, srNotASocket}};

short PollEvents(unsigned wanted) {
    short events = 0;
    for (const auto& [event, flag] : kEvents) {
        if ((wanted & flag) != 0) {
            events = static_cast<short>(events | event);
        }
    }
    return events;
}

unsigned Readiness(short revents) {
    unsigned ready = 0;
    for (const auto& [event, flag] : kEvents) {
        if ((revents & event) != 0) {
            ready |= flag;
        }
    }
    return ready;
}

}  // namespace

std::optional<timespec> PollLimit(int timeoutMs) {
    if (timeoutMs == SocketWaitForever) {
        return std::nullopt;
    }
    timespec limit{};
    limit.tv_sec = timeoutMs / kMillisecondsPerSecond;
    limit.tv_nsec = (timeoutMs % kMillisecondsPerSecond) *
                    (kMicrosecondsPerSecond / kMillisecondsPerSecond) * kNanosecondsPerMicrosecond;
    return limit;
}

namespace {

int Wait(const TLibrary& lib, TSocketWait* sockets, size_t count, int timeoutMs, int& ready) {
    std::vector<pollfd> fds;
    fds.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        fds.push_back(pollfd{sockets[i].Socket, PollEvents(sockets[i].Wanted), 0});
    }
    const std::optional<timespec> limit = PollLimit(timeoutMs);
    const int n = lib->Calls.PPoll(fds.data(), fds.size(), limit ? &*limit : nullptr, nullptr);
    if (n < 0) {
        return SocketErrorFromErrno(errno);
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
    const int result = lib->Calls.GetAddrInfo(host.c_str(), nullptr, &hints, &found);
    if (result != 0) {
        return SocketErrorFromResolver(result, errno);
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

using TAddressCall = int (*)(int, sockaddr*, socklen_t*);

int AddressOf(TAddressCall call, TSocketId socket, TIPv4Address& ip, uint16_t& port) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (call(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return SocketErrorFromErrno(errno);
    }
    ReadAddress(address, ip, port);
    return 0;
}

int SetNonBlocking(const TLibrary& lib, TSocketId socket, bool nonBlocking) {
    const int flags = lib->Calls.Fcntl(socket, F_GETFL);
    if (flags < 0) {
        return SocketErrorFromErrno(errno);
    }
    const int wanted = nonBlocking ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return Status(wanted == flags ? 0 : lib->Calls.Fcntl(socket, F_SETFL, wanted));
}

// Sizes and counts of -1 mean failure, everything else the bytes moved.
int Moved(ssize_t n, int& moved) {
    if (n < 0) {
        return SocketErrorFromErrno(errno);
    }
    moved = static_cast<int>(n);
    return 0;
}

TSocketApi MakeApi(const TLibrary& lib) {
    TSocketApi api;
    // New sockets are not inherited by programs the updater starts.
    api.Open = [lib](int family, int type, int protocol, TSocketId& socket) {
        const int fd = lib->Calls.Socket(family, type | SOCK_CLOEXEC, protocol);
        socket = fd;
        return fd < 0 ? SocketErrorFromErrno(errno) : 0;
    };
    api.Bind = [lib](TSocketId socket, int family, const TIPv4Address& ip, uint16_t port) {
        const sockaddr_in address = MakeAddress(family, ip, port);
        return Status(
            lib->Calls.Bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address));
    };
    api.Connect = [lib](TSocketId socket, int family, const TIPv4Address& ip, uint16_t port) {
        const sockaddr_in address = MakeAddress(family, ip, port);
        return Status(lib->Calls.Connect(socket, reinterpret_cast<const sockaddr*>(&address),
                                         sizeof address));
    };
    api.Close = [lib](TSocketId socket) { return Status(lib->Calls.Close(socket)); };
    api.Shutdown = [lib](TSocketId socket, int how) {
        return Status(lib->Calls.Shutdown(socket, how));
    };
    api.Receive = [lib](TSocketId socket, void* buffer, int length, int flags, int& received) {
        return Moved(lib->Calls.Recv(socket, buffer, static_cast<size_t>(length), flags), received);
    };
    // A gone peer is an error number like any other, never SIGPIPE.
    api.Send = [lib](TSocketId socket, const void* buffer, int length, int flags, int& sent) {
        return Moved(
            lib->Calls.Send(socket, buffer, static_cast<size_t>(length), flags | MSG_NOSIGNAL),
            sent);
    };
    api.Wait = [lib](TSocketWait* sockets, size_t count, int timeoutMs, int& ready) {
        return Wait(lib, sockets, count, timeoutMs, ready);
    };
    api.SetOption = [lib](TSocketId socket, int level, int name, const void* value, int length) {
        return Status(
            lib->Calls.SetSockOpt(socket, level, name, value, static_cast<socklen_t>(length)));
    };
    api.SetNonBlocking = [lib](TSocketId socket, bool nonBlocking) {
        return SetNonBlocking(lib, socket, nonBlocking);
    };
    api.ConnectOutcome = [lib](TSocketId socket, int& outcome) {
        int err = 0;
        socklen_t length = sizeof err;
        if (lib->Calls.GetSockOpt(socket, SOL_SOCKET, SO_ERROR, &err, &length) != 0) {
            return SocketErrorFromErrno(errno);
        }
        outcome = err == 0 ? 0 : SocketErrorFromErrno(err);
        return 0;
    };
    api.LocalAddress = [lib](TSocketId socket, TIPv4Address& ip, uint16_t& port) {
        return AddressOf(lib->Calls.GetSockName, socket, ip, port);
    };
    api.PeerAddress = [lib](TSocketId socket, TIPv4Address& ip, uint16_t& port) {
        return AddressOf(lib->Calls.GetPeerName, socket, ip, port);
    };
    api.Resolve = [lib](const std::string& host, TIPv4Address& ip) {
        return Resolve(lib, host, ip);
    };
    return api;
}

}  // namespace

TLoadedSocketApi LoadSocketApi(const std::string& libraryName) {
    TLoadedSocketApi loaded;
    void* handle = dlopen(libraryName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        loaded.Result = TSocketLoadResult::LibraryNotLoaded;
        return loaded;
    }
    const auto library = std::make_shared<TPosixSocketLibrary>(handle);
    if (!library->LookUpAll()) {
        loaded.Result = TSocketLoadResult::EntryPointMissing;
        return loaded;
    }
    loaded.Result = TSocketLoadResult::Loaded;
    loaded.Api = MakeApi(library);
    return loaded;
}
