#include "SingleStream.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/sendfile.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <vector>

#include "FileDescriptor.h"

namespace {

[[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error("single stream: " + what + ": " + std::strerror(errno));
}

void SendCopies(int listener, const std::string& package, std::size_t size, int copies) {
    const TFileDescriptor peer(::accept(listener, nullptr, nullptr));
    const TFileDescriptor file(::open(package.c_str(), O_RDONLY | O_CLOEXEC));
    for (int i = 0; i < copies; ++i) {
        off_t offset = 0;
        while (static_cast<std::size_t>(offset) < size) {
            if (::sendfile(peer.Get(), file.Get(), &offset, size - offset) <= 0) {
                return;
            }
        }
    }
}

}  // namespace

double SingleStreamMBps(const std::string& package, std::size_t size, int copies) {
    const TFileDescriptor listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (::bind(listener.Get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(listener.Get(), 1) != 0 ||
        ::getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        Fail("listen");
    }
    const auto start = std::chrono::steady_clock::now();
    std::thread sender([&] { SendCopies(listener.Get(), package, size, copies); });
    const TFileDescriptor receiver(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    std::size_t total = 0;
    if (::connect(receiver.Get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) {
        std::vector<char> buffer(256 << 10);
        ssize_t n;
        while ((n = ::recv(receiver.Get(), buffer.data(), buffer.size(), 0)) > 0) {
            total += static_cast<std::size_t>(n);
        }
    }
    sender.join();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (total != size * static_cast<std::size_t>(copies)) {
        throw std::runtime_error("single stream: the transfer was short");
    }
    return static_cast<double>(total) / seconds / 1e6;
}
