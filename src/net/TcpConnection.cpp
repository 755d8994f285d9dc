#include "net/TcpConnection.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "net/Deadline.h"
#include "net/NetExceptions.h"
#include "net/SocketErrors.h"
#include "platform/ScopeExit.h"

namespace {

constexpr int kDefaultRecvBufferSize = 32768;
// One send call moves at most this much; the loop sends the rest.
constexpr int64_t kLargestSend = 1 << 30;

[[noreturn]] void RaiseClosedGracefully() {
    throw EConnClosedGracefully("Connection Closed Gracefully.");
}

}  // namespace

TTcpConnection::TTcpConnection()
    : socket_(std::make_unique<TSocketHandle>()),
      inputBuffer_(std::make_unique<TNetBuffer>()),
      recvBuffer_(std::make_unique<TNetBuffer>()) {
    recvBuffer_->SetSize(kDefaultRecvBufferSize);
}

TTcpConnection::~TTcpConnection() = default;

void TTcpConnection::SetRecvBufferSize(int size) {
    // A zero-byte receive would look exactly like the peer's close.
    recvBuffer_->SetSize(std::max(size, 1));
}

void TTcpConnection::FireDisconnected() {
    if (OnDisconnected) {
        OnDisconnected(this);
    }
}

void TTcpConnection::ResetState() {
    socket_->ClearState(true);
    inputBuffer_->Clear();
    closed_ = false;
}

void TTcpConnection::CheckPeerClosed(bool raiseIfClosed, bool ignoreBuffer) {
    if (!closed_ && socket_->Allocated()) {
        return;
    }
    if (socket_->Allocated()) {
        CloseSocketHandle();
    }
    if (raiseIfClosed && (InputBufferSize() == 0 || ignoreBuffer)) {
        RaiseClosedGracefully();
    }
}

bool TTcpConnection::IsConnected() {
    CheckPeerClosed(false, false);
    return socket_->Allocated();
}

void TTcpConnection::CloseConnection() { CloseSocketHandle(); }

void TTcpConnection::CloseSocketHandle() {
    if (!socket_->Allocated()) {
        return;
    }
    ReportStatus(stDisconnecting, socket_->RemoteIP);
    socket_->ReleaseSocket(true);
    closed_ = true;
    ReportStatus(stDisconnected, socket_->RemoteIP);
    FireDisconnected();
}

std::string TTcpConnection::TakeInputBytes(int64_t n) {
    if (n > InputBufferSize()) {
        throw ENotEnoughDataInBuffer("Not enough data in buffer.");
    }
    std::string bytes = inputBuffer_->Head(n);
    ConsumeInputBytes(n);
    return bytes;
}

void TTcpConnection::ConsumeInputBytes(int64_t n) {
    inputBuffer_->Remove(n);
    AddWork(wkRead, n);
}

int TTcpConnection::ReceiveChunk(bool raiseIfClosed, int ms, TNetBuffer* destination,
                                 bool toInputBuffer) {
    CheckPeerClosed(raiseIfClosed, false);
    if (!IsConnected()) {
        return 0;
    }
    TNetBuffer& target = destination != nullptr ? *destination : *recvBuffer_;
    int n = 0;
    if (!ReceiveWithin(target, ms, n)) {
        return 0;
    }
    closed_ = n == 0;
    if (n != 0 && GlobalStack->CheckResult(n, {WSAESHUTDOWN})) {
        n = 0;
        if (socket_->Allocated()) {
            CloseSocketHandle();
        }
        if (InputBufferSize() == 0) {
            GlobalStack->RaiseSocketFailure(WSAESHUTDOWN);
        }
    }
    if (toInputBuffer) {
        inputBuffer_->Append(target.Memory(), n);
    } else {
        AddWork(wkRead, n);
    }
    CheckPeerClosed(raiseIfClosed, false);
    Poll();
    return n;
}

// The socket blocks, so a receive without a limit waits by itself; a
// separate wait would only double the calls per chunk. A limit or a poll
// handler needs a wait of its own, cut into slices for the handler. During
// a stream copy the socket does not block, and the wait comes only when a
// receive finds nothing: a wait before every chunk of a fast download cost
// it a third of its speed.
bool TTcpConnection::ReceiveWithin(TNetBuffer& target, int ms, int& n) {
    const auto receive = [&] {
        n = socket_->ReceiveData(target.Memory(), static_cast<int>(target.Size()));
    };
    const auto readable = [this](int slice) { return socket_->WaitReadable(slice); };
    if (ms == WaitForever && !OnPoll) {
        receive();
        return true;
    }
    if (!receiveFirst_) {
        if (!Await(readable, ms)) {
            return false;
        }
        receive();
        return true;
    }
    const TDeadline deadline = TDeadline::After(ms);
    for (;;) {
        receive();
        if (n != SOCKET_ERROR || GlobalStack->LastError() != WSAEWOULDBLOCK) {
            return true;
        }
        if (!Await(readable, deadline.RemainingMs())) {
            return false;
        }
    }
}

void TTcpConnection::StartReceivingFirst() {
    GlobalStack->CheckResult(GlobalStack->SetNonBlocking(socket_->SocketId(), true));
    receiveFirst_ = true;
}

bool TTcpConnection::Await(const std::function<bool(int sliceMs)>& wait, int ms) {
    if (!OnPoll) {
        return wait(ms);
    }
    const TDeadline deadline = TDeadline::After(ms);
    const int slice = std::max(PollIntervalMs, 1);
    for (;;) {
        if (wait(deadline.Cap(slice))) {
            return true;
        }
        Poll();
        if (deadline.Expired()) {
            return false;
        }
    }
}

void TTcpConnection::Poll() {
    if (OnPoll && !OnPoll()) {
        throw EOperationAborted("Operation aborted.");
    }
}

// Raises once no terminator starting within MaxLineLength bytes can still
// arrive, so a peer that never ends its line cannot grow the buffer.
void TTcpConnection::CheckLineLength(int64_t searchedBytes, size_t terminatorLength) {
    if (searchedBytes >=
        static_cast<int64_t>(MaxLineLength) + static_cast<int64_t>(terminatorLength)) {
        throw EMaxLineLengthExceeded("Max line length exceeded.");
    }
}

std::string TTcpConnection::ReadLine(const std::string& terminator, int ms) {
    return ReadLineUntil(terminator, ms, TDeadline::After(WaitForever));
}

std::string TTcpConnection::ReadLineWithin(const std::string& terminator, int ms) {
    return ReadLineUntil(terminator, ms, TDeadline::After(ms));
}

// Each wait lasts at most `ms` and ends with the deadline at the latest.
std::string TTcpConnection::ReadLineUntil(const std::string& terminator, int ms,
                                          const TDeadline& deadline) {
    const std::string t = terminator.empty() ? "\n" : terminator;
    lineTimedOut_ = false;
    int64_t searchFrom = 0;
    int64_t found = -1;
    for (;;) {
        if (InputBufferSize() > 0) {
            found = inputBuffer_->Find(t, searchFrom);
            if (found >= 0) {
                break;
            }
            // Bytes already searched need no second look, except a tail that
            // may be the start of a terminator split across receives.
            searchFrom =
                std::max<int64_t>(0, InputBufferSize() - static_cast<int64_t>(t.size()) + 1);
            CheckLineLength(InputBufferSize(), t.size());
        }
        CheckPeerClosed(true, true);
        const int n = deadline.Expired() ? 0 : ReceiveChunk(true, deadline.Cap(ms), nullptr, true);
        lineTimedOut_ = n == 0;
        if (n == 0) {
            return {};
        }
    }
    if (found > MaxLineLength) {
        throw EMaxLineLengthExceeded("Max line length exceeded.");
    }
    std::string line = TakeInputBytes(found + static_cast<int64_t>(t.size()));
    line.resize(static_cast<size_t>(found));
    if (terminator.empty() && !line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

void TTcpConnection::WriteText(const std::string& text) {
    if (!text.empty()) {
        SendBytes(text.data(), static_cast<int64_t>(text.size()), false);
    }
}

void TTcpConnection::WriteLine(const std::string& text) { WriteText(text + "\r\n"); }

void TTcpConnection::SendBytes(const void* bytes, int64_t count, bool /*writeNow*/) {
    if (count <= 0 || bytes == nullptr) {
        return;
    }
    CheckPeerClosed(true, true);
    const auto* data = static_cast<const uint8_t*>(bytes);
    int64_t sent = 0;
    while (sent < count) {
        const int length = static_cast<int>(std::min(count - sent, kLargestSend));
        const int n = socket_->SendData(data + sent, length);
        closed_ = n == 0;
        CheckPeerClosed(true, false);
        if (GlobalStack->CheckResult(n, {WSAESHUTDOWN})) {
            CloseSocketHandle();
            GlobalStack->RaiseSocketFailure(WSAESHUTDOWN);
        }
        AddWork(wkWrite, n);
        sent += n;
    }
}

void TTcpConnection::ReadBytes(void* destination, int64_t count) {
    if (count <= 0 || destination == nullptr) {
        return;
    }
    while (InputBufferSize() < count) {
        // With the peer gone and too few bytes buffered no receive can ever
        // complete the count; waiting on would spin for good.
        if (ReceiveChunk(true, WaitForever, nullptr, true) == 0 && !IsConnected()) {
            RaiseClosedGracefully();
        }
    }
    std::memcpy(destination, inputBuffer_->Memory(), static_cast<size_t>(count));
    ConsumeInputBytes(count);
}

void TTcpConnection::ReadToStream(TStream& stream, int64_t count, bool untilClose) {
    // A count that the peer sent is only a claim: sizing the stream to it up
    // front would let four bytes demand 2 GB. Such a stream grows as the
    // bytes really arrive; a caller's own count still sizes it at once.
    const bool countFromPeer = count == -1 && !untilClose;
    if (countFromPeer) {
        uint32_t prefix = 0;
        ReadBytes(&prefix, sizeof prefix);
        count = static_cast<int32_t>(GlobalStack->NToHL(prefix));
    }
    if (count >= 0 && !countFromPeer) {
        const int64_t position = stream.Position();
        stream.SetSize(position + count);
        stream.SetPosition(position);
    }
    // Until a close there is no count: the copy is bounded by the close
    // alone, not by the largest 32-bit count, so nothing is cut short.
    const int64_t remaining = untilClose ? std::numeric_limits<int64_t>::max() : count;
    StartWork(wkRead, untilClose ? 0 : count);
    // The work ends also when the copy fails; a handler failing then is
    // dropped, since the copy's failure is the one worth reporting.
    ScopeExit finishOnFailure([this] {
        try {
            FinishWork(wkRead);
        } catch (...) {
        }
    });
    CopyToStream(stream, remaining, untilClose);
    finishOnFailure.Release();
    FinishWork(wkRead);
    const int64_t position = stream.Position();
    if (stream.Size() > position) {
        stream.SetSize(position);
    }
}

// The buffered bytes first (already counted when they were received into
// the buffer, so not counted again), then one receive at a time, each
// written as it arrives; the stream grows as it is written.
void TTcpConnection::CopyToStream(TStream& stream, int64_t remaining, bool untilClose) {
    const int64_t buffered = std::min(InputBufferSize(), remaining);
    if (buffered > 0) {
        stream.WriteBuffer(inputBuffer_->Memory(), buffered);
        inputBuffer_->Remove(buffered);
        remaining -= buffered;
    }
    TNetBuffer chunk;
    const bool waits = IdleLimitMs != WaitForever || OnPoll;
    if (waits && IsConnected()) {
        StartReceivingFirst();
    }
    // Back to blocking for the calls after the copy, also when it fails. A
    // socket the system would not switch back is not hidden: the next
    // receive without a wait fails with 10035 (would block).
    ScopeExit blockAgain([this] {
        if (receiveFirst_ && socket_->Allocated()) {
            GlobalStack->SetNonBlocking(socket_->SocketId(), false);
        }
        receiveFirst_ = false;
    });
    while (IsConnected() && remaining > 0) {
        const int64_t want = std::min<int64_t>(remaining, RecvBufferSize());
        if (chunk.Size() != want) {
            chunk.SetSize(want);
        }
        const int n = ReceiveChunk(!untilClose, IdleLimitMs, &chunk, false);
        if (n == 0 && IsConnected()) {
            // Still open and nothing came: the idle limit has passed.
            GlobalStack->RaiseSocketFailure(WSAETIMEDOUT);
        }
        stream.WriteBuffer(chunk.Memory(), n);
        remaining -= n;
    }
}
