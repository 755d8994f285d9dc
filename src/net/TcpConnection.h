#pragma once

// Contract of the connection's reading and writing half, as the updater
// uses it (all calls block the calling thread):
//   WriteLine(text)              sends text + CR LF, raises on failure.
//   ReadLine("\r\n", ms)         returns the bytes before the first CR LF;
//                                empty text with LineTimedOut() true when
//                                no byte came within ms (-2: no limit);
//                                bytes after the terminator stay buffered.
//   ReadLineWithin("\r\n", ms)   the same, but ms bounds the whole line,
//                                however the bytes trickle in.
//                                A line longer than MaxLineLength raises
//                                EMaxLineLengthExceeded.
//   ReadToStream(s, -1, true)    writes the buffered bytes, then every byte
//                                received, to s at its position until the
//                                peer closes; s then ends at the last byte
//                                written. OnWork fires once per receive with
//                                the running total, OnWorkEnd once at the
//                                end, also when an exception leaves.
//                                With IdleLimitMs set, a receive that gets
//                                nothing for that long raises ESocketError
//                                10060 (WSAETIMEDOUT).
//   CloseConnection()            closes; harmless when nothing is open.
// Every wait (connect, line, stream) asks OnPoll, when set, at least every
// PollIntervalMs and after each receive; OnPoll answering false ends the
// operation at once with EOperationAborted. That is how a window keeps
// processing messages during a transfer and how Cancel stops it.
// Failures are ENetException descendants: ESocketError (with LastError()),
// EConnClosedGracefully when the peer has closed, ETcpConnectionError ones.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "net/Deadline.h"
#include "net/NetBuffer.h"
#include "net/NetComponent.h"
#include "net/SocketHandle.h"
#include "platform/Stream.h"

// The default bound on a line read by ReadLine, terminator not counted.
constexpr int DefaultMaxLineLength = 16384;

// A TCP connection with an input buffer: line and stream reading, line and
// byte writing, and the closing rules shared by every operation.
class TTcpConnection : public TNetComponent {
  public:
    TTcpConnection();
    ~TTcpConnection() override;

    TNetNotifyEvent OnDisconnected;
    // Block size for sending a whole stream; kept for completeness.
    int SendBufferSize = 32768;
    // Most bytes ReadLine accepts before the terminator.
    int MaxLineLength = DefaultMaxLineLength;
    // Asked between the slices of every wait and after every receive; may
    // process window messages. False aborts (EOperationAborted).
    std::function<bool()> OnPoll;
    // The longest slice of a wait while OnPoll is set.
    int PollIntervalMs = 30;
    // The longest a stream copy waits for its next byte (WaitForever: no
    // limit); the peer's silence beyond it fails the copy with 10060.
    int IdleLimitMs = WaitForever;

    TSocketHandle& SocketHandle() { return *socket_; }
    // True once the peer has closed or this side has closed the socket.
    bool Closed() const { return closed_; }
    // True when the last ReadLine ended because a wait expired.
    bool LineTimedOut() const { return lineTimedOut_; }
    int64_t InputBufferSize() { return inputBuffer_->Size(); }
    // Bytes asked for by one receive (at least 1).
    int RecvBufferSize() { return static_cast<int>(recvBuffer_->Size()); }
    void SetRecvBufferSize(int size);

    virtual void FireDisconnected();
    // Forgets socket, addresses, buffered input and the closed mark.
    virtual void ResetState();
    // When the connection is closed (or has no socket): closes a socket
    // still open and, if raiseIfClosed and (no input is buffered or
    // ignoreBuffer), raises EConnClosedGracefully.
    virtual void CheckPeerClosed(bool raiseIfClosed, bool ignoreBuffer);
    // Whether a socket is open; sends and receives nothing.
    virtual bool IsConnected();
    virtual void CloseConnection();
    virtual void CloseSocketHandle();
    // The first n buffered bytes, removed (ENotEnoughDataInBuffer).
    virtual std::string TakeInputBytes(int64_t n);
    // One wait of at most ms and one receive, into `destination` (the
    // receive buffer when null), appended to the input buffer when
    // toInputBuffer, counted as read work otherwise. Returns the bytes
    // received: 0 on time-out, on a close, or when not connected.
    virtual int ReceiveChunk(bool raiseIfClosed, int ms, TNetBuffer* destination,
                             bool toInputBuffer);
    // The text before the first `terminator` (empty: LF, and a CR before
    // it is dropped), or empty text when a wait of ms expired.
    virtual std::string ReadLine(const std::string& terminator = "", int ms = WaitForever);
    // ReadLine with `ms` bounding the whole line from this call on, not each
    // wait: empty text and LineTimedOut() once it has passed.
    std::string ReadLineWithin(const std::string& terminator, int ms);
    // Removes n buffered bytes and counts them as read work.
    virtual void ConsumeInputBytes(int64_t n);
    virtual void WriteText(const std::string& text);
    virtual void WriteLine(const std::string& text);

    // Sends all `count` bytes; writeNow is accepted and changes nothing,
    // writes always go straight to the socket.
    void SendBytes(const void* bytes, int64_t count, bool writeNow = false);
    // Exactly `count` bytes, waiting without limit.
    void ReadBytes(void* destination, int64_t count);
    // Copies `count` bytes (untilClose false; count -1 reads a 4-byte
    // big-endian length first) or everything until the peer closes
    // (untilClose true) into `stream` at its position.
    void ReadToStream(TStream& stream, int64_t count = -1, bool untilClose = false);

  protected:
    // Runs `wait` (true: ready) for at most `ms` (WaitForever: no limit).
    // Without OnPoll that is one call; with it the wait is cut into slices
    // of PollIntervalMs with a Poll after each. False when `ms` passed.
    bool Await(const std::function<bool(int sliceMs)>& wait, int ms);
    // Asks OnPoll, when set, and raises EOperationAborted when it says stop.
    void Poll();

  private:
    std::string ReadLineUntil(const std::string& terminator, int ms, const TDeadline& deadline);
    void CheckLineLength(int64_t searchedBytes, size_t terminatorLength);
    void CopyToStream(TStream& stream, int64_t remaining, bool untilClose);
    // One receive into `target` within `ms`: `n` is its result; false when
    // `ms` passed with nothing to receive.
    bool ReceiveWithin(TNetBuffer& target, int ms, int& n);
    void StartReceivingFirst();

    std::unique_ptr<TSocketHandle> socket_;
    std::unique_ptr<TNetBuffer> inputBuffer_;
    std::unique_ptr<TNetBuffer> recvBuffer_;
    bool closed_ = false;
    bool lineTimedOut_ = false;
    // The socket does not block, for a stream copy with a wait limit or a
    // poll handler: a receive is tried before any wait.
    bool receiveFirst_ = false;
};
