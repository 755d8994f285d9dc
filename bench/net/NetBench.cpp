// Downloads a payload over loopback twice per round: once with a plain
// recv-and-write loop (the reference) and once with TTcpClient's
// ReadToStream into a TFileStream, as the updater does. Prints the best
// MB/s of each, their ratio, and the peak resident memory of this process.
//
// Usage: net_bench [size in MiB = 256] [directory = .] [rounds = 5]

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "net/TcpClient.h"
#include "platform/Exception.h"
#include "platform/FileStream.h"

namespace {

constexpr size_t kServerBlock = 1 << 20;
constexpr size_t kReferenceBlock = 32768;  // the client's receive size

struct Options {
    int64_t bytes = 256LL << 20;
    std::string directory = ".";
    int rounds = 5;
};

Options ParseOptions(int argc, char** argv) {
    Options options;
    if (argc > 1) {
        options.bytes = std::atoll(argv[1]) << 20;
    }
    if (argc > 2) {
        options.directory = argv[2];
    }
    if (argc > 3) {
        options.rounds = std::max(1, std::atoi(argv[3]));
    }
    return options;
}

int Listen(int& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 4) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("cannot listen on loopback");
    }
    port = ntohs(address.sin_port);
    return fd;
}

// The server, in its own process so its memory is not counted: sends
// `bytes` on each of `connections` connections, then closes.
void Serve(int listener, int64_t bytes, int connections) {
    const std::vector<char> block(kServerBlock, 'z');
    for (int i = 0; i < connections; ++i) {
        const int fd = ::accept(listener, nullptr, nullptr);
        if (fd < 0) {
            _exit(1);
        }
        int64_t left = bytes;
        while (left > 0) {
            const size_t chunk = static_cast<size_t>(std::min<int64_t>(left, kServerBlock));
            const ssize_t n = ::send(fd, block.data(), chunk, MSG_NOSIGNAL);
            if (n <= 0) {
                break;
            }
            left -= n;
        }
        ::close(fd);
    }
    _exit(0);
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The reference: connect, then recv and write until the close.
int64_t ReferenceDownload(int port, const std::string& fileName) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        throw std::runtime_error("reference connect failed");
    }
    const int out = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char> block(kReferenceBlock);
    int64_t total = 0;
    for (;;) {
        const ssize_t n = ::recv(fd, block.data(), block.size(), 0);
        if (n <= 0) {
            break;
        }
        if (::write(out, block.data(), static_cast<size_t>(n)) != n) {
            throw std::runtime_error("reference write failed");
        }
        total += n;
    }
    ::close(out);
    ::close(fd);
    return total;
}

// The updater's way: ReadToStream until the close, with a progress handler.
int64_t ClientDownload(int port, const std::string& fileName) {
    TTcpClient client;
    int64_t events = 0;
    client.OnWork = [&events](TNetComponent*, TWorkMode, int64_t) { ++events; };
    client.Host = "127.0.0.1";
    client.Port = port;
    client.ConnectToHost();
    TFileStream file(fileName, TFileMode::fmCreate);
    client.ReadToStream(file, -1, true);
    client.CloseConnection();
    return file.Size();
}

long PeakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void Run(const Options& options, int port) {
    const std::string referenceFile = options.directory + "/net_bench_reference.bin";
    const std::string clientFile = options.directory + "/net_bench_client.bin";
    const double mib = static_cast<double>(options.bytes) / (1 << 20);
    double bestReference = 0;
    double bestClient = 0;
    long peakAfterReference = 0;
    // The two alternate which goes first, so neither always pays for the
    // other's dirty pages being written back.
    for (int round = 0; round < options.rounds; ++round) {
        for (int turn = 0; turn < 2; ++turn) {
            const bool reference = (round + turn) % 2 == 0;
            const auto start = std::chrono::steady_clock::now();
            const int64_t got = reference ? ReferenceDownload(port, referenceFile)
                                          : ClientDownload(port, clientFile);
            const double rate = mib / Seconds(start);
            if (got != options.bytes) {
                throw std::runtime_error("a download came back incomplete");
            }
            if (reference) {
                bestReference = std::max(bestReference, rate);
                peakAfterReference = std::max(peakAfterReference, PeakKiB());
            } else {
                bestClient = std::max(bestClient, rate);
            }
        }
    }
    std::printf("payload            %.0f MiB, best of %d rounds\n", mib, options.rounds);
    std::printf("reference recv     %8.1f MB/s\n", bestReference);
    std::printf("ReadToStream       %8.1f MB/s   (%.2f of reference)\n", bestClient,
                bestClient / bestReference);
    std::printf("peak RSS           %8ld KiB after reference, %ld KiB at the end\n",
                peakAfterReference, PeakKiB());
    std::remove(referenceFile.c_str());
    std::remove(clientFile.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = ParseOptions(argc, argv);
    int port = 0;
    const int listener = Listen(port);
    const pid_t server = ::fork();
    if (server == 0) {
        Serve(listener, options.bytes, 2 * options.rounds);
    }
    ::close(listener);
    int status = 0;
    try {
        Run(options, port);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "net_bench: %s\n", e.what());
        ::kill(server, SIGTERM);
        ::waitpid(server, &status, 0);
        return 1;
    }
    ::waitpid(server, &status, 0);
    return 0;
}
