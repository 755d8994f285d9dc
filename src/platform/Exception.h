#pragma once

#include <exception>
#include <string>

// The runtime's base exception: every failure the program reports carries
// exactly one message text. Subsystems derive their own families from it.
class Exception : public std::exception {
  public:
    explicit Exception(std::string message) : message_(std::move(message)) {}

    const std::string& Message() const noexcept { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

  private:
    std::string message_;
};

// Raised by the strict text-to-integer conversion.
class EConvertError : public Exception {
  public:
    using Exception::Exception;
};

// Stream failures: opening, creating, short reads and writes.
class EStreamError : public Exception {
  public:
    using Exception::Exception;
};

class EFOpenError : public EStreamError {
  public:
    using EStreamError::EStreamError;
};

class EFCreateError : public EStreamError {
  public:
    using EStreamError::EStreamError;
};

class EReadError : public EStreamError {
  public:
    using EStreamError::EStreamError;
};

class EWriteError : public EStreamError {
  public:
    using EStreamError::EStreamError;
};
