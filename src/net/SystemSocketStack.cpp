#include "net/SystemSocketStack.h"

#include <cstring>

#include "net/NetExceptions.h"
#include "net/SocketErrors.h"

namespace {

constexpr int kHighestPort = 65535;

bool ValidPort(int port) { return port >= 0 && port <= kHighestPort; }

// Repeats a call for as long as a signal cuts it short.
template <typename Call>
int Repeated(Call call) {
    int error = 0;
    do {
        error = call();
    } while (error == WSAEINTR);
    return error;
}

// Adds `wanted` to the entry of `socket`, making one when it has none.
void AddInterest(std::vector<TSocketWait>& waits, TSocket socket, unsigned wanted) {
    for (TSocketWait& wait : waits) {
        if (wait.Socket == socket) {
            wait.Wanted |= wanted;
            return;
        }
    }
    waits.push_back(TSocketWait{socket, wanted, 0});
}

unsigned ReadyFor(const std::vector<TSocketWait>& waits, TSocket socket) {
    for (const TSocketWait& wait : waits) {
        if (wait.Socket == socket) {
            return wait.Ready;
        }
    }
    return 0;
}

// Keeps the sockets of a list whose readiness matches `ready`; returns how
// many.
int KeepReady(TSocketList* list, const std::vector<TSocketWait>& waits, unsigned ready) {
    if (list == nullptr) {
        return 0;
    }
    TSocketList kept;
    for (TSocket socket : *list) {
        if ((ReadyFor(waits, socket) & ready) != 0) {
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

// Network order is the most significant byte first, whatever the host's.
uint32_t FromNetworkOrder(uint32_t value) {
    uint8_t bytes[sizeof value];
    std::memcpy(bytes, &value, sizeof bytes);
    uint32_t result = 0;
    for (const uint8_t byte : bytes) {
        result = (result << 8) | byte;
    }
    return result;
}

}  // namespace

TSystemSocketStack::TSystemSocketStack(const std::string& libraryName) {
    TLoadedSocketApi loaded = LoadSocketApi(libraryName);
    switch (loaded.Result) {
        case TSocketLoadResult::LibraryNotLoaded:
            throw EStackCannotLoadLibrary(libraryName + " could not be loaded.");
        case TSocketLoadResult::EntryPointMissing:
            // Calling an empty entry would crash, so start-up fails instead.
            throw EStackInitializationFailed("Winsock Initialization Error.");
        case TSocketLoadResult::Loaded:
            break;
    }
    api_ = std::move(loaded.Api);
}

int TSystemSocketStack::Outcome(int error) {
    if (error == 0) {
        return 0;
    }
    lastError_ = error;
    return SOCKET_ERROR;
}

uint32_t TSystemSocketStack::NToHL(uint32_t value) { return FromNetworkOrder(value); }

int TSystemSocketStack::Bind(TSocket socket, int family, const std::string& ip, int port) {
    if (!ValidPort(port)) {
        return Outcome(WSAEINVAL);
    }
    const TIPv4Address address = ip.empty() ? TIPv4Address{} : TextToAddress(ip);
    return Outcome(api_.Bind(socket, family, address, static_cast<uint16_t>(port)));
}

int TSystemSocketStack::CloseSocket(TSocket socket) {
    // Never repeated: after an interrupted close the handle is gone.
    return Outcome(api_.Close(socket));
}

int TSystemSocketStack::Connect(TSocket socket, int family, const std::string& ip, int port) {
    // A port out of range would silently connect somewhere else.
    if (!ValidPort(port)) {
        return Outcome(WSAEINVAL);
    }
    const TIPv4Address address = ip.empty() ? TIPv4Address{} : TextToAddress(ip);
    const int error = api_.Connect(socket, family, address, static_cast<uint16_t>(port));
    if (error == WSAEINTR) {
        return FinishInterruptedConnect(socket);
    }
    return Outcome(error);
}

// An interrupted connect goes on in the background; calling connect again
// would report "already in progress". Wait for it and take its outcome.
int TSystemSocketStack::FinishInterruptedConnect(TSocket socket) {
    TSocketWait wait{socket, srWritable, 0};
    int ready = 0;
    const int error = Repeated([&] { return api_.Wait(&wait, 1, SocketWaitForever, ready); });
    if (error != 0) {
        return Outcome(error);
    }
    return ConnectOutcome(socket);
}

int TSystemSocketStack::SetNonBlocking(TSocket socket, bool nonBlocking) {
    return Outcome(api_.SetNonBlocking(socket, nonBlocking));
}

int TSystemSocketStack::ConnectOutcome(TSocket socket) {
    int outcome = 0;
    if (const int failed = api_.ConnectOutcome(socket, outcome); failed != 0) {
        return Outcome(failed);
    }
    return Outcome(outcome);
}

std::optional<std::string> TSystemSocketStack::HostByName(const std::string& host) {
    TIPv4Address address{};
    if (Outcome(api_.Resolve(host, address)) != 0) {
        return std::nullopt;
    }
    return AddressToText(address);
}

int TSystemSocketStack::Recv(TSocket socket, void* buffer, int length, int flags) {
    if (length < 0) {
        return Outcome(WSAEINVAL);
    }
    int received = 0;
    const int error =
        Repeated([&] { return api_.Receive(socket, buffer, length, flags, received); });
    return error != 0 ? Outcome(error) : received;
}

int TSystemSocketStack::Send(TSocket socket, const void* buffer, int length, int flags) {
    if (length < 0) {
        return Outcome(WSAEINVAL);
    }
    int sent = 0;
    const int error = Repeated([&] { return api_.Send(socket, buffer, length, flags, sent); });
    return error != 0 ? Outcome(error) : sent;
}

int TSystemSocketStack::WaitForSockets(TSocketList* readList, TSocketList* writeList,
                                       TSocketList* errorList, int ms) {
    CheckSetSize(readList);
    CheckSetSize(writeList);
    CheckSetSize(errorList);
    std::vector<TSocketWait> waits;
    const std::pair<TSocketList*, unsigned> interests[] = {
        {readList, srReadable}, {writeList, srWritable}, {errorList, srUrgent}};
    for (const auto& [list, wanted] : interests) {
        for (TSocket socket : list ? *list : TSocketList{}) {
            AddInterest(waits, socket, wanted);
        }
    }
    int ready = 0;
    const int error = Repeated([&] { return api_.Wait(waits.data(), waits.size(), ms, ready); });
    if (error != 0) {
        return Outcome(error);
    }
    for (const TSocketWait& wait : waits) {
        if ((wait.Ready & srNotASocket) != 0) {
            return Outcome(WSAEBADF);
        }
    }
    return KeepReady(readList, waits, srReadable | srHungUp | srFailed) +
           KeepReady(writeList, waits, srWritable | srHungUp | srFailed) +
           KeepReady(errorList, waits, srUrgent);
}

int TSystemSocketStack::SetSockOpt(TSocket socket, int level, int name, const void* value,
                                   int length) {
    return Outcome(api_.SetOption(socket, level, name, value, length));
}

TSocket TSystemSocketStack::CreateSocket(int family, int type, int protocol) {
    TSocketId socket = INVALID_SOCKET;
    if (Outcome(api_.Open(family, type, protocol, socket)) != 0) {
        return INVALID_SOCKET;
    }
    return socket;
}

int TSystemSocketStack::Shutdown(TSocket socket, int how) {
    return Outcome(api_.Shutdown(socket, how));
}

int TSystemSocketStack::AddressOf(
    const std::function<int(TSocketId, TIPv4Address&, uint16_t&)>& call, TSocket socket,
    std::string& ip, int& port) {
    TIPv4Address address{};
    uint16_t hostPort = 0;
    if (Outcome(call(socket, address, hostPort)) != 0) {
        return SOCKET_ERROR;
    }
    ip = AddressToText(address);
    port = hostPort;
    return 0;
}

int TSystemSocketStack::PeerName(TSocket socket, std::string& ip, int& port) {
    return AddressOf(api_.PeerAddress, socket, ip, port);
}

int TSystemSocketStack::SockName(TSocket socket, std::string& ip, int& port) {
    return AddressOf(api_.LocalAddress, socket, ip, port);
}
