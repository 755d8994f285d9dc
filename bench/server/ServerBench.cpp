// Many clients at once against zuvo-update-server over loopback.
//
// Prints the total throughput of 200 clients that each fetch a 16 MiB
// package, beside the loopback limit measured in the same run (one sendfile
// sender feeding one receiver that throws the bytes away, same total), and the
// server's peak memory after one client and after all the runs.
// Usage: server_bench [clients] [package MiB] [rounds]

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/epoll.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "FileDescriptor.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kReceiveBuffer = 256 << 10;
const std::string kRequest = "down_load_update_browser\r\n";
const std::string kReply = "ok_down_load_update_browser\r\n";

[[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }
double MBps(double bytes, double seconds) { return bytes / seconds / 1e6; }

TFileDescriptor Connect(std::uint16_t port) {
    TFileDescriptor socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(socket.Get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        Fail("connect");
    }
    return socket;
}

std::string MakePackage(const std::filesystem::path& dir, std::size_t size) {
    std::string bytes(size, '\0');
    std::mt19937_64 random(7);
    for (std::size_t i = 0; i + 8 <= size; i += 8) {
        const std::uint64_t word = random();
        std::memcpy(bytes.data() + i, &word, 8);
    }
    const std::string path = (dir / "Browser.zip").string();
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
    return path;
}

// The loopback limit: one sender thread pushes the package `copies` times
// with sendfile into one connection; this thread reads and discards.
double LoopbackLimit(const std::string& package, std::size_t size, int copies) {
    TFileDescriptor listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (::bind(listener.Get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(listener.Get(), 1) != 0 ||
        ::getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        Fail("reference listener");
    }
    const auto start = Clock::now();
    std::thread sender([&] {
        TFileDescriptor peer(::accept(listener.Get(), nullptr, nullptr));
        TFileDescriptor file(::open(package.c_str(), O_RDONLY | O_CLOEXEC));
        for (int i = 0; i < copies; ++i) {
            off_t offset = 0;
            while (static_cast<std::size_t>(offset) < size) {
                if (::sendfile(peer.Get(), file.Get(), &offset, size - offset) <= 0) {
                    return;
                }
            }
        }
    });
    TFileDescriptor receiver = Connect(ntohs(address.sin_port));
    std::vector<char> buffer(kReceiveBuffer);
    std::size_t total = 0;
    ssize_t n;
    while ((n = ::recv(receiver.Get(), buffer.data(), buffer.size(), 0)) > 0) {
        total += static_cast<std::size_t>(n);
    }
    sender.join();
    const double seconds = Seconds(Clock::now() - start);
    if (total != size * static_cast<std::size_t>(copies)) {
        throw std::runtime_error("reference transfer was short");
    }
    return MBps(static_cast<double>(total), seconds);
}

// The server program, its standard error in a file.
class TServer {
  public:
    TServer(const std::string& exe, const std::string& package, const std::string& log)
        : log_(log) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<std::string> args = {exe, "--port", "0", "--package", package};
        std::vector<char*> argv;
        for (auto& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, exe.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
            Fail("cannot start " + exe);
        }
        posix_spawn_file_actions_destroy(&actions);
        port_ = WaitForPort();
    }
    ~TServer() {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    std::uint16_t Port() const { return port_; }

    // Peak resident memory of the server process in KiB.
    long PeakKiB() const {
        std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("VmHWM:", 0) == 0) {
                return std::stol(line.substr(6));
            }
        }
        return -1;
    }

  private:
    std::uint16_t WaitForPort() const {
        const std::regex listening("listening on 127\\.0\\.0\\.1:([0-9]+)");
        for (int i = 0; i < 500; ++i) {
            std::ifstream in(log_);
            std::stringstream text;
            text << in.rdbuf();
            const std::string all = text.str();
            std::smatch match;
            if (std::regex_search(all, match, listening)) {
                return static_cast<std::uint16_t>(std::stoi(match[1].str()));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        throw std::runtime_error("the server did not start; see " + log_);
    }

    std::string log_;
    pid_t pid_ = -1;
    std::uint16_t port_ = 0;
};

struct TFetch {
    TFileDescriptor socket;
    std::string head;  // the first bytes, to check the reply line
    std::size_t received = 0;
};

// `clients` connections at once, each sends the request and reads to the
// close; one epoll loop receives for all of them. Returns MB/s of package.
double ManyClients(std::uint16_t port, int clients, std::size_t size) {
    const auto start = Clock::now();
    TFileDescriptor epoll(::epoll_create1(EPOLL_CLOEXEC));
    std::vector<TFetch> fetches(static_cast<std::size_t>(clients));
    for (std::size_t i = 0; i < fetches.size(); ++i) {
        fetches[i].socket = Connect(port);
        if (::send(fetches[i].socket.Get(), kRequest.data(), kRequest.size(), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(kRequest.size())) {
            Fail("send");
        }
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.u64 = i;
        ::epoll_ctl(epoll.Get(), EPOLL_CTL_ADD, fetches[i].socket.Get(), &event);
    }
    std::vector<char> buffer(kReceiveBuffer);
    std::vector<epoll_event> events(256);
    int open = clients;
    while (open > 0) {
        const int n = ::epoll_wait(epoll.Get(), events.data(), 256, 30000);
        if (n <= 0) {
            throw std::runtime_error("clients stalled");
        }
        for (int e = 0; e < n; ++e) {
            TFetch& fetch = fetches[events[e].data.u64];
            const ssize_t got = ::recv(fetch.socket.Get(), buffer.data(), buffer.size(), 0);
            if (got > 0) {
                if (fetch.head.size() < kReply.size()) {
                    fetch.head.append(buffer.data(), std::min<std::size_t>(
                                                         got, kReply.size() - fetch.head.size()));
                }
                fetch.received += static_cast<std::size_t>(got);
            } else if (got == 0 || errno != EAGAIN) {
                fetch.socket.Reset();  // also leaves the epoll set
                --open;
            }
        }
    }
    const double seconds = Seconds(Clock::now() - start);
    for (const TFetch& fetch : fetches) {
        if (fetch.head != kReply || fetch.received != kReply.size() + size) {
            throw std::runtime_error("a client got a wrong or short answer");
        }
    }
    return MBps(static_cast<double>(size) * clients, seconds);
}

}  // namespace

int main(int argc, char** argv) {
    const int clients = argc > 1 ? std::stoi(argv[1]) : 200;
    const std::size_t size = (argc > 2 ? std::stoul(argv[2]) : 16) << 20;
    const int rounds = argc > 3 ? std::stoi(argv[3]) : 3;
    ::signal(SIGPIPE, SIG_IGN);
    try {
        const auto dir = std::filesystem::temp_directory_path() /
                         ("zuvo-server-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        const std::string package = MakePackage(dir, size);
        TServer server(ZUVO_UPDATE_SERVER_EXE, package, (dir / "server.log").string());
        ManyClients(server.Port(), 1, size);
        const long oneClientKiB = server.PeakKiB();

        double bestLimit = 0;
        double bestServer = 0;
        for (int round = 1; round <= rounds; ++round) {
            const double limit = LoopbackLimit(package, size, clients);
            const double served = ManyClients(server.Port(), clients, size);
            std::printf("round %d: loopback limit %8.0f MB/s   server, %d clients %8.0f MB/s\n",
                        round, limit, clients, served);
            bestLimit = std::max(bestLimit, limit);
            bestServer = std::max(bestServer, served);
        }
        const long peakKiB = server.PeakKiB();
        std::printf("best: loopback limit %.0f MB/s, server %.0f MB/s, ratio %.2f (goal >= 0.80)\n",
                    bestLimit, bestServer, bestServer / bestLimit);
        std::printf(
            "server peak memory (VmHWM): %.1f MB after 1 client, %.1f MB after %d x %d "
            "clients (goal < 64 MB)\n",
            oneClientKiB / 1024.0, peakKiB / 1024.0, rounds, clients);
        std::filesystem::remove_all(dir);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "server_bench: %s\n", error.what());
        return 1;
    }
}
