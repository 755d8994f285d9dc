// ReadLine and ReadToStream of a connected client fed by a scripted peer.
// The socket stack's entry points are replaced by fakes: no real socket is
// ever opened, every receive hands out the next piece of the script.
//
// Input layout: mode byte, settings byte, then the peer's script as events:
//   0xFF          the next timed wait expires (a wait without limit ignores it)
//   0xFE          the next receive is cut short by a signal
//   0xFD          the next receive fails: the connection was reset
//   n (0..0xFC)   n bytes of data follow (n = 0: the peer closes)
// When the script ends the peer closes. A socket switched to non-blocking
// (a stream copy with a wait limit) finds nothing to receive at a 0xFF; it
// must be blocking again once a read is over.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>

#include "FuzzSupport.h"
#include "net/SystemSocketStack.h"
#include "net/TcpClient.h"
#include "platform/MemoryStream.h"
#include "platform/SocketErrorNumbers.h"

namespace {

constexpr int kFakeSocket = 1000;

enum class TEvent { Data, Close, TimeOut, Interrupt, Reset };

struct TPeer {
    const uint8_t* script = nullptr;
    size_t size = 0;
    size_t pos = 0;
    size_t pendingLeft = 0;  // bytes of the current data event not yet received
    int64_t delivered = 0;

    // The next event, without taking it.
    TEvent Peek() const {
        if (pendingLeft > 0) {
            return TEvent::Data;
        }
        if (pos >= size) {
            return TEvent::Close;
        }
        switch (script[pos]) {
            case 0xFF:
                return TEvent::TimeOut;
            case 0xFE:
                return TEvent::Interrupt;
            case 0xFD:
                return TEvent::Reset;
            case 0x00:
                return TEvent::Close;
            default:
                return TEvent::Data;
        }
    }
};

TPeer gPeer;
bool gNonBlocking = false;

int FakeOpen(int, int, int, TSocketId& socket) {
    socket = kFakeSocket;
    return 0;
}
int FakeEndpoint(TSocketId, int, const TIPv4Address&, uint16_t) { return 0; }
int FakeClose(TSocketId) {
    gNonBlocking = false;  // the next socket starts blocking
    return 0;
}
int FakeSetNonBlocking(TSocketId, bool nonBlocking) {
    gNonBlocking = nonBlocking;
    return 0;
}
int FakeShutdown(TSocketId, int) { return 0; }
int FakeSetOption(TSocketId, int, int, const void*, int) { return 0; }
int FakeConnectOutcome(TSocketId, int& outcome) {
    outcome = 0;
    return 0;
}

int FakeAddress(TSocketId, TIPv4Address& ip, uint16_t& port) {
    ip = {127, 0, 0, 1};
    port = 10290;
    return 0;
}

int FakeSend(TSocketId, const void*, int length, int, int& sent) {
    sent = length;
    return 0;
}

int FakeWait(TSocketWait* sockets, size_t count, int timeoutMs, int& ready) {
    if (gPeer.Peek() == TEvent::TimeOut) {
        ++gPeer.pos;
        if (timeoutMs != SocketWaitForever) {
            ready = 0;
            return 0;
        }
    }
    for (size_t i = 0; i < count; ++i) {
        sockets[i].Ready = sockets[i].Wanted & srReadable;
    }
    ready = static_cast<int>(count);
    return 0;
}

int FakeReceive(TSocketId, void* buffer, int length, int, int& received) {
    for (;;) {
        switch (gPeer.Peek()) {
            case TEvent::TimeOut:
                if (gNonBlocking) {
                    return WSAEWOULDBLOCK;  // nothing yet; the wait comes next
                }
                ++gPeer.pos;  // a wait was skipped; the data is there now
                continue;
            case TEvent::Interrupt:
                ++gPeer.pos;
                return WSAEINTR;
            case TEvent::Reset:
                ++gPeer.pos;
                return WSAECONNRESET;
            case TEvent::Close:
                received = 0;
                return 0;
            case TEvent::Data:
                break;
        }
        if (gPeer.pendingLeft == 0) {
            gPeer.pendingLeft =
                std::min<size_t>(gPeer.script[gPeer.pos], gPeer.size - gPeer.pos - 1);
            ++gPeer.pos;
            if (gPeer.pendingLeft == 0) {
                continue;  // a data event cut off by the end of the script
            }
        }
        const size_t n = std::min(static_cast<size_t>(length), gPeer.pendingLeft);
        std::memcpy(buffer, gPeer.script + gPeer.pos, n);
        gPeer.pos += n;
        gPeer.pendingLeft -= n;
        gPeer.delivered += static_cast<int64_t>(n);
        received = static_cast<int>(n);
        return 0;
    }
}

void InstallFakes() {
    auto& stack = dynamic_cast<TSystemSocketStack&>(*GlobalStack);
    TSocketApi& e = stack.EntryPoints();
    e.Open = FakeOpen;
    e.Bind = FakeEndpoint;
    e.Connect = FakeEndpoint;
    e.Close = FakeClose;
    e.Shutdown = FakeShutdown;
    e.Receive = FakeReceive;
    e.Send = FakeSend;
    e.Wait = FakeWait;
    e.SetOption = FakeSetOption;
    e.ConnectOutcome = FakeConnectOutcome;
    e.SetNonBlocking = FakeSetNonBlocking;
    e.LocalAddress = FakeAddress;
    e.PeerAddress = FakeAddress;
}

// Reads lines until the peer has nothing more to say. Every round takes at
// least one byte of the script or ends, so more rounds than bytes is a hang.
void ReadLines(TTcpClient& client, const std::string& terminator, size_t bound) {
    for (size_t round = 0;; ++round) {
        if (round > bound) {
            __builtin_trap();
        }
        const std::string line = client.ReadLine(terminator, 10000);
        if (line.empty() && client.LineTimedOut()) {
            if (gPeer.pos >= gPeer.size && gPeer.pendingLeft == 0) {
                return;
            }
        }
        if (static_cast<int64_t>(line.size()) > client.MaxLineLength) {
            __builtin_trap();
        }
    }
}

void CheckStream(TMemoryStream& stream) {
    // Only bytes that arrived may be in the stream.
    if (stream.Size() > gPeer.delivered + 4 || stream.Position() > stream.Size()) {
        __builtin_trap();
    }
}

void Run(TTcpClient& client, uint8_t mode, size_t bound) {
    TMemoryStream stream;
    switch (mode % 6) {
        case 0:  // what the updater does: request, reply line, package
            client.WriteLine("down_load_update_browser");
            (void)client.ReadLine("\r\n", 10000);
            client.ReadToStream(stream, -1, true);
            CheckStream(stream);
            break;
        case 1:
            ReadLines(client, "", bound);
            break;
        case 2:
            ReadLines(client, "\r\n", bound);
            break;
        case 3:  // a 4-byte big-endian count, then that many bytes
            client.ReadToStream(stream, -1, false);
            CheckStream(stream);
            break;
        case 4: {
            uint8_t some[300];
            for (size_t round = 0; round <= bound; ++round) {
                client.ReadBytes(some, 1 + static_cast<int64_t>(round % sizeof some));
            }
            __builtin_trap();  // the peer's bytes cannot last that long
        }
        default:
            (void)client.ReadLine("ab", 10000);
            client.ReadToStream(stream, -1, true);
            CheckStream(stream);
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // One client for the life of the process keeps the stack (and the fakes
    // installed in it) alive between inputs.
    static TTcpClient* anchor = new TTcpClient();
    (void)anchor;
    InstallFakes();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TInputCursor in(data, size);
    const uint8_t mode = in.Byte();
    const uint8_t settings = in.Byte();
    gPeer = TPeer{};
    gPeer.script = data + std::min<size_t>(size, 2);
    gPeer.size = in.Left();

    TTcpClient client;
    client.Host = "127.0.0.1";
    client.Port = 10290;
    if ((settings & 0x80) != 0) {
        client.MaxLineLength = settings & 0x3F;
    }
    if ((settings & 0x40) != 0) {
        client.SetRecvBufferSize(1 + (settings & 0x0F));
    }
    if ((settings & 0x20) != 0) {
        client.IdleLimitMs = 10000;  // what the updater sets for the package
    }
    int64_t lastTotal = 0;
    client.OnWorkBegin = [&](TNetComponent*, TWorkMode, int64_t) { lastTotal = 0; };
    client.OnWork = [&](TNetComponent*, TWorkMode mode, int64_t total) {
        if (mode == wkRead && (total < lastTotal || total > gPeer.delivered)) {
            __builtin_trap();  // the running total must grow and stay real
        }
        if (mode == wkRead) {
            lastTotal = total;
        }
    };
    try {
        client.ConnectToHost();
        Run(client, mode, size + 16);
    } catch (const Exception&) {
        // Closes, resets, over-long lines: the client's own errors.
    }
    if (gNonBlocking) {
        __builtin_trap();  // a read left the socket without its waits
    }
    return 0;
}
