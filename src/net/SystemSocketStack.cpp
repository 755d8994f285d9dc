#include "net/SystemSocketStack.h"

#include <dlfcn.h>
#include <netinet/in.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "net/NetExceptions.h"
#include "net/SocketErrors.h"

namespace {

// Looks one entry point up by name; a missing one stays empty.
template <typename Function>
void LookUp(void* library, const char* name, Function*& slot) {
    slot = reinterpret_cast<Function*>(dlsym(library, name));
}

bool AllPresent(const TSocketEntryPoints& e) {
    return e.Socket && e.Bind && e.Connect && e.CloseSocket && e.Shutdown && e.Recv && e.Send &&
           e.PPoll && e.SetSockOpt && e.GetSockOpt && e.GetSockName && e.GetPeerName &&
           e.GetAddrInfo && e.FreeAddrInfo && e.HToNS && e.NToHS && e.HToNL && e.NToHL;
}

// Adds `events` to the entry of `socket`, making one when it has none.
void AddInterest(std::vector<pollfd>& fds, TSocket socket, short events) {
    for (pollfd& fd : fds) {
        if (fd.fd == socket) {
            fd.events = static_cast<short>(fd.events | events);
            return;
        }
    }
    fds.push_back(pollfd{socket, events, 0});
}

short ReadyEvents(const std::vector<pollfd>& fds, TSocket socket) {
    for (const pollfd& fd : fds) {
        if (fd.fd == socket) {
            return fd.revents;
        }
    }
    return 0;
}

// Keeps the sockets of a list whose events match `ready`; returns how many.
int KeepReady(TSocketList* list, const std::vector<pollfd>& fds, short ready) {
    if (list == nullptr) {
        return 0;
    }
    TSocketList kept;
    for (TSocket socket : *list) {
        if ((ReadyEvents(fds, socket) & ready) != 0) {
            kept.push_back(socket);
        }
    }
    *list = std::move(kept);
    return static_cast<int>(list->size());
}

void CheckSetSize(const TSocketList* list) {
    if (list != nullptr && list->size() > MaxSocketsPerWait) {
        throw EStackSetSizeExceeded("Set Size Exceeded.");
    }
}

}  // namespace

std::optional<TWaitLimit> WaitLimitFor(int ms) {
    if (ms == WaitForever) {
        return std::nullopt;
    }
    return TWaitLimit{ms / 1000, (ms % 1000) * 1000L};
}

TSystemSocketStack::TSystemSocketStack(const std::string& libraryName) {
    LoadSocketLibrary(libraryName);
}

TSystemSocketStack::~TSystemSocketStack() { UnloadSocketLibrary(); }

void TSystemSocketStack::LoadSocketLibrary(const std::string& libraryName) {
    library_ = dlopen(libraryName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library_ == nullptr) {
        throw EStackCannotLoadLibrary(libraryName + " could not be loaded.");
    }
    LookUp(library_, "socket", entries_.Socket);
    LookUp(library_, "bind", entries_.Bind);
    LookUp(library_, "connect", entries_.Connect);
    LookUp(library_, "close", entries_.CloseSocket);
    LookUp(library_, "shutdown", entries_.Shutdown);
    LookUp(library_, "recv", entries_.Recv);
    LookUp(library_, "send", entries_.Send);
    LookUp(library_, "ppoll", entries_.PPoll);
    LookUp(library_, "setsockopt", entries_.SetSockOpt);
    LookUp(library_, "getsockopt", entries_.GetSockOpt);
    LookUp(library_, "getsockname", entries_.GetSockName);
    LookUp(library_, "getpeername", entries_.GetPeerName);
    LookUp(library_, "getaddrinfo", entries_.GetAddrInfo);
    LookUp(library_, "freeaddrinfo", entries_.FreeAddrInfo);
    LookUp(library_, "htons", entries_.HToNS);
    LookUp(library_, "ntohs", entries_.NToHS);
    LookUp(library_, "htonl", entries_.HToNL);
    LookUp(library_, "ntohl", entries_.NToHL);
    // A library without one of the calls cannot serve the client: calling an
    // empty entry would crash, so start-up fails instead.
    if (!AllPresent(entries_)) {
        UnloadSocketLibrary();
        throw EStackInitializationFailed("Winsock Initialization Error.");
    }
}

void TSystemSocketStack::UnloadSocketLibrary() {
    if (library_ != nullptr) {
        dlclose(library_);
        library_ = nullptr;
    }
    entries_ = TSocketEntryPoints{};
}

int TSystemSocketStack::Failed(int err) {
    lastError_ = SocketErrorFromErrno(err);
    return SOCKET_ERROR;
}

sockaddr_in TSystemSocketStack::MakeAddress(int family, const std::string& ip, int port) {
    sockaddr_in address{};
    address.sin_family = static_cast<sa_family_t>(family);
    address.sin_port = entries_.HToNS(static_cast<uint16_t>(port));
    if (!ip.empty()) {
        const TIPv4Bytes bytes = TextToAddress(ip);
        std::memcpy(&address.sin_addr, bytes.data(), bytes.size());
    }
    return address;
}

namespace {

bool ValidPort(int port) { return port >= 0 && port <= 65535; }

}  // namespace

int TSystemSocketStack::Bind(TSocket socket, int family, const std::string& ip, int port) {
    if (!ValidPort(port)) {
        return Failed(EINVAL);
    }
    const sockaddr_in address = MakeAddress(family, ip, port);
    if (entries_.Bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return Failed(errno);
    }
    return 0;
}

int TSystemSocketStack::CloseSocket(TSocket socket) {
    // Never repeated: after an interrupted close the descriptor is gone.
    if (entries_.CloseSocket(socket) != 0) {
        return Failed(errno);
    }
    return 0;
}

int TSystemSocketStack::Connect(TSocket socket, int family, const std::string& ip, int port) {
    // A port out of range would silently connect somewhere else.
    if (!ValidPort(port)) {
        return Failed(EINVAL);
    }
    const sockaddr_in address = MakeAddress(family, ip, port);
    if (entries_.Connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) ==
        0) {
        return 0;
    }
    if (errno == EINTR) {
        return FinishInterruptedConnect(socket);
    }
    return Failed(errno);
}

// An interrupted connect goes on in the background; calling connect again
// would report "already in progress". Wait for it and take its outcome.
int TSystemSocketStack::FinishInterruptedConnect(TSocket socket) {
    pollfd fd{socket, POLLOUT, 0};
    int ready = 0;
    do {
        ready = entries_.PPoll(&fd, 1, nullptr, nullptr);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) {
        return Failed(errno);
    }
    int outcome = 0;
    socklen_t length = sizeof outcome;
    if (entries_.GetSockOpt(socket, SOL_SOCKET, SO_ERROR, &outcome, &length) != 0) {
        return Failed(errno);
    }
    return outcome == 0 ? 0 : Failed(outcome);
}

std::optional<std::string> TSystemSocketStack::HostByName(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int result = entries_.GetAddrInfo(host.c_str(), nullptr, &hints, &found);
    if (result != 0) {
        lastError_ = SocketErrorFromResolver(result, errno);
        return std::nullopt;
    }
    const auto freeList = [this](addrinfo* list) { entries_.FreeAddrInfo(list); };
    const std::unique_ptr<addrinfo, decltype(freeList)> owner(found, freeList);
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET && entry->ai_addr != nullptr &&
            entry->ai_addrlen >= sizeof(sockaddr_in)) {
            sockaddr_in address{};
            std::memcpy(&address, entry->ai_addr, sizeof address);
            TIPv4Bytes bytes{};
            std::memcpy(bytes.data(), &address.sin_addr, bytes.size());
            return AddressToText(bytes);
        }
    }
    lastError_ = WSANO_DATA;
    return std::nullopt;
}

int TSystemSocketStack::Recv(TSocket socket, void* buffer, int length, int flags) {
    if (length < 0) {
        return Failed(EINVAL);
    }
    for (;;) {
        const ssize_t n = entries_.Recv(socket, buffer, static_cast<size_t>(length), flags);
        if (n >= 0) {
            return static_cast<int>(n);
        }
        if (errno != EINTR) {
            return Failed(errno);
        }
    }
}

int TSystemSocketStack::Send(TSocket socket, const void* buffer, int length, int flags) {
    if (length < 0) {
        return Failed(EINVAL);
    }
    for (;;) {
        const ssize_t n =
            entries_.Send(socket, buffer, static_cast<size_t>(length), flags | MSG_NOSIGNAL);
        if (n >= 0) {
            return static_cast<int>(n);
        }
        if (errno != EINTR) {
            return Failed(errno);
        }
    }
}

int TSystemSocketStack::WaitForSockets(TSocketList* readList, TSocketList* writeList,
                                       TSocketList* errorList, int ms) {
    CheckSetSize(readList);
    CheckSetSize(writeList);
    CheckSetSize(errorList);
    std::vector<pollfd> fds;
    const std::pair<TSocketList*, short> interests[] = {
        {readList, POLLIN}, {writeList, POLLOUT}, {errorList, POLLPRI}};
    for (const auto& [list, events] : interests) {
        for (TSocket socket : list ? *list : TSocketList{}) {
            AddInterest(fds, socket, events);
        }
    }
    const std::optional<TWaitLimit> limit = WaitLimitFor(ms);
    timespec time{};
    if (limit) {
        time.tv_sec = limit->Seconds;
        time.tv_nsec = limit->Microseconds * 1000L;
    }
    int ready = 0;
    do {
        ready = entries_.PPoll(fds.data(), fds.size(), limit ? &time : nullptr, nullptr);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) {
        return Failed(errno);
    }
    for (const pollfd& fd : fds) {
        if ((fd.revents & POLLNVAL) != 0) {
            return Failed(EBADF);
        }
    }
    return KeepReady(readList, fds, POLLIN | POLLHUP | POLLERR) +
           KeepReady(writeList, fds, POLLOUT | POLLHUP | POLLERR) +
           KeepReady(errorList, fds, POLLPRI);
}

int TSystemSocketStack::SetSockOpt(TSocket socket, int level, int name, const void* value,
                                   int length) {
    if (entries_.SetSockOpt(socket, level, name, value, static_cast<socklen_t>(length)) != 0) {
        return Failed(errno);
    }
    return 0;
}

TSocket TSystemSocketStack::CreateSocket(int family, int type, int protocol) {
    const int socket = entries_.Socket(family, type | SOCK_CLOEXEC, protocol);
    if (socket < 0) {
        Failed(errno);
        return INVALID_SOCKET;
    }
    return socket;
}

int TSystemSocketStack::Shutdown(TSocket socket, int how) {
    if (entries_.Shutdown(socket, how) != 0) {
        return Failed(errno);
    }
    return 0;
}

int TSystemSocketStack::AddressOf(AddressCall call, TSocket socket, std::string& ip, int& port) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (call(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return Failed(errno);
    }
    TIPv4Bytes bytes{};
    std::memcpy(bytes.data(), &address.sin_addr, bytes.size());
    ip = AddressToText(bytes);
    port = entries_.NToHS(address.sin_port);
    return 0;
}

int TSystemSocketStack::PeerName(TSocket socket, std::string& ip, int& port) {
    return AddressOf(entries_.GetPeerName, socket, ip, port);
}

int TSystemSocketStack::SockName(TSocket socket, std::string& ip, int& port) {
    return AddressOf(entries_.GetSockName, socket, ip, port);
}
