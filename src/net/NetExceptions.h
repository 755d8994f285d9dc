#pragma once

#include <string>

#include "platform/Exception.h"

// Failures of the TCP client. Every class carries one message text, which
// callers may show as it stands; ESocketError also keeps the error number.
class ENetException : public Exception {
  public:
    using Exception::Exception;
};

#define ZUVO_NET_EXCEPTION(Name, Base) \
    class Name : public Base {         \
      public:                          \
        using Base::Base;              \
    }

// A socket call failed; the number is a Winsock-style error number (see
// SocketErrors.h) and the message is "Socket Error # <n>\r\n<text>".
class ESocketError : public ENetException {
  public:
    ESocketError(int lastError, const std::string& message)
        : ENetException(message), lastError_(lastError) {}

    int LastError() const noexcept { return lastError_; }

  private:
    int lastError_;
};

// The socket stack.
ZUVO_NET_EXCEPTION(EInvalidSocket, ENetException);
ZUVO_NET_EXCEPTION(EStackCannotLoadLibrary, ENetException);
ZUVO_NET_EXCEPTION(EStackError, ENetException);
ZUVO_NET_EXCEPTION(EStackInitializationFailed, EStackError);
ZUVO_NET_EXCEPTION(EStackSetSizeExceeded, EStackError);

// The client and its socket handle.
ZUVO_NET_EXCEPTION(EAlreadyConnected, ENetException);
ZUVO_NET_EXCEPTION(ESocketHandleError, ENetException);
ZUVO_NET_EXCEPTION(ECouldNotBindSocket, ESocketHandleError);
ZUVO_NET_EXCEPTION(ESilentNetException, ENetException);
ZUVO_NET_EXCEPTION(EConnClosedGracefully, ESilentNetException);

// Buffered connection I/O.
ZUVO_NET_EXCEPTION(ETcpConnectionError, ENetException);
ZUVO_NET_EXCEPTION(ENotEnoughDataInBuffer, ETcpConnectionError);
// A peer sent more than MaxLineLength bytes without the line terminator.
ZUVO_NET_EXCEPTION(EMaxLineLengthExceeded, ETcpConnectionError);

// The connection's OnPoll asked to stop (Cancel, a closing window): the
// operation under way was abandoned, the connection is in no known state.
ZUVO_NET_EXCEPTION(EOperationAborted, ENetException);

#undef ZUVO_NET_EXCEPTION
