#include "LoopbackServer.h"

#include <chrono>
#include <stdexcept>
#include <utility>

namespace {

constexpr int kAcceptWaitMs = 5000;

}  // namespace

ServerSide::~ServerSide() { Close(); }

void ServerSide::Send(const std::string& bytes) {
    size_t sent = 0;
    while (fd_ != kNoTestSocket && sent < bytes.size()) {
        const int64_t n = SendSome(fd_, bytes.data() + sent, bytes.size() - sent);
        if (n <= 0) {
            return;
        }
        sent += static_cast<size_t>(n);
    }
}

void ServerSide::Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void ServerSide::Close() {
    if (fd_ != kNoTestSocket) {
        CloseTestSocket(fd_);
        fd_ = kNoTestSocket;
    }
}

void ServerSide::Reset() {
    if (fd_ != kNoTestSocket) {
        SetAbortiveClose(fd_);
        Close();
    }
}

std::string ServerSide::ReceiveUntilClose(int ms) {
    std::string received;
    char block[4096];
    while (fd_ != kNoTestSocket && WaitReadable(fd_, ms)) {
        const int64_t n = ReceiveSome(fd_, block, sizeof block);
        if (n <= 0) {
            break;
        }
        received.append(block, static_cast<size_t>(n));
    }
    return received;
}

std::string ServerSide::ReceiveLine(int ms) {
    std::string line;
    char byte = 0;
    while (fd_ != kNoTestSocket && WaitReadable(fd_, ms)) {
        const int64_t n = ReceiveSome(fd_, &byte, 1);
        if (n <= 0) {
            break;
        }
        line += byte;
        if (byte == '\n') {
            break;
        }
    }
    return line;
}

void ServerSide::WaitForClientClose(int ms) { ReceiveUntilClose(ms); }

LoopbackServer::LoopbackServer(Script script, int connections) {
    listener_ = BoundLoopbackSocket(port_);
    if (!StartListening(listener_)) {
        CloseTestSocket(listener_);
        throw std::runtime_error("test listener could not listen");
    }
    thread_ = std::thread(&LoopbackServer::Serve, this, std::move(script), connections);
}

LoopbackServer::~LoopbackServer() {
    Join();
    CloseTestSocket(listener_);
}

void LoopbackServer::Join() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

void LoopbackServer::Serve(Script script, int connections) {
    for (int i = 0; i < connections; ++i) {
        if (!WaitReadable(listener_, kAcceptWaitMs)) {
            return;
        }
        const TTestSocket fd = AcceptClient(listener_);
        if (fd == kNoTestSocket) {
            return;
        }
        ServerSide side(fd);
        script(side);
    }
}

RefusingPort::RefusingPort() { fd_ = BoundLoopbackSocket(port_); }

RefusingPort::~RefusingPort() { CloseTestSocket(fd_); }

LoopbackServer::Script SendThenWait(std::string bytes) {
    return [bytes = std::move(bytes)](ServerSide& side) {
        side.Send(bytes);
        side.WaitForClientClose();
    };
}

LoopbackServer::Script SendThenClose(std::string bytes) {
    return [bytes = std::move(bytes)](ServerSide& side) {
        side.Send(bytes);
        side.Close();
    };
}
