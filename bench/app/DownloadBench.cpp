// Downloads a package from the project's update server (in this process, on
// loopback) through the workflow's real download step, driven by the window
// logic over a view that only notes the time of the completion text, and
// beside it with a plain client that speaks the same protocol and writes
// with a recv/write loop. Prints MB/s of each and their ratio.
//
// The window's work-end handler pauses 500 ms by design; the figures are
// given with and without that pause so the transfer itself can be compared.
//
// Usage: download_bench [size in MiB = 256] [directory = /tmp] [rounds = 3]

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "UpdateServer.h"
#include "workflow/PackageSteps.h"
#include "workflow/UpdateView.h"
#include "workflow/UpdateWorkflow.h"
#include "workflow/WorkflowTexts.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

void WritePackage(const std::string& path, int64_t bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char> block(1 << 20);
    for (size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<char>(i * 131 + i / 4096);
    }
    for (int64_t left = bytes; left > 0; left -= static_cast<int64_t>(block.size())) {
        const size_t n = static_cast<size_t>(std::min<int64_t>(left, block.size()));
        if (::write(fd, block.data(), n) != static_cast<ssize_t>(n)) {
            throw std::runtime_error("cannot write the package");
        }
    }
    ::close(fd);
}

// The reference: connect, ask, skip the reply line, copy until close.
int64_t PlainDownload(int port, const std::string& path) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(static_cast<uint16_t>(port));
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0) {
        throw std::runtime_error("reference connect failed");
    }
    const char request[] = "down_load_update_browser\r\n";
    (void)::send(fd, request, sizeof request - 1, MSG_NOSIGNAL);
    const int out = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char> buffer(32768);
    std::string head;
    int64_t total = 0;
    for (;;) {
        const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (n <= 0) {
            break;
        }
        size_t skip = 0;
        if (head.size() < 29) {
            const size_t want = std::min<size_t>(29 - head.size(), static_cast<size_t>(n));
            head.append(buffer.data(), want);
            skip = want;
        }
        const size_t keep = static_cast<size_t>(n) - skip;
        if (keep > 0 && ::write(out, buffer.data() + skip, keep) != static_cast<ssize_t>(keep)) {
            throw std::runtime_error("reference write failed");
        }
        total += static_cast<int64_t>(keep);
    }
    ::close(out);
    ::close(fd);
    return total;
}

struct WindowRun {
    double total = 0;     // DownloadPackage from call to return
    double transfer = 0;  // up to the work-end event, before its pause
    int64_t bytes = 0;
};

// A window that shows nothing and notes when the transfer's end was
// announced: the completion text comes before the work end's pause.
class TimingView : public IUpdateView {
  public:
    void SetLabelCaption(const std::string& caption) override {
        if (caption == kDoneText) {
            workEnd = Clock::now();
        }
    }
    void SetBarWidth(int) override {}
    void SetOkEnabled(bool) override {}
    void StartTimer(int) override {}
    void StopTimer() override {}
    void Close() override {}
    bool Shown() const override { return true; }
    void EndProgram() override {}
    void Defer(std::function<void()>) override {}

    Clock::time_point workEnd{};
};

WindowRun WindowDownload(int port, const std::string& directory) {
    TPackageSteps steps;
    steps.ProgramDirOverride = directory + "/";
    steps.ServerHosts = {"127.0.0.1"};
    steps.ServerPort = port;
    TimingView view;
    TUpdateWorkflow workflow(view, steps);
    const auto start = Clock::now();
    if (!steps.DownloadPackage(workflow)) {
        throw std::runtime_error("the window's download failed");
    }
    const auto end = Clock::now();
    WindowRun run{Seconds(start, end), Seconds(start, view.workEnd), 0};
    const int fd = ::open((directory + "/updateFile/Browser.zip").c_str(), O_RDONLY);
    run.bytes = ::lseek(fd, 0, SEEK_END);
    ::close(fd);
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    const int64_t mib = argc > 1 ? std::atoll(argv[1]) : 256;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 3;
    if (mib <= 0 || mib > (int64_t{1} << 20) || rounds <= 0 || argc > 4) {
        std::fprintf(stderr,
                     "usage: download_bench [size in MiB = 256] [directory = /tmp] "
                     "[rounds = 3]\n");
        return 2;
    }
    const int64_t bytes = mib << 20;
    const std::string directory = argc > 2 ? argv[2] : "/tmp";

    const std::string package = directory + "/zuvo-bench-package.zip";
    WritePackage(package, bytes);
    TServerSettings settings;
    settings.port = 0;
    settings.packagePath = package;
    TUpdateServer server(settings, [](const std::string&) {});
    server.Listen();
    std::thread serving([&] { server.Run(); });

    double bestPlain = 1e9;
    WindowRun bestWindow{1e9, 1e9, 0};
    // Each round's transfer against the plain client of the same round: the
    // median says more than the bests on a machine whose speed wanders. The
    // two take turns at going first, so neither gains from the order.
    std::vector<double> roundRatios;
    for (int round = 0; round < rounds; ++round) {
        int64_t got = 0;
        double plain = 0;
        const auto plainRun = [&] {
            const auto start = Clock::now();
            got = PlainDownload(server.Port(), directory + "/zuvo-bench-plain.bin");
            plain = Seconds(start, Clock::now());
        };
        if (round % 2 == 0) {
            plainRun();
        }
        const WindowRun run = WindowDownload(server.Port(), directory);
        if (round % 2 == 1) {
            plainRun();
        }
        bestPlain = std::min(bestPlain, plain);
        roundRatios.push_back(plain / run.transfer);
        if (got != bytes || run.bytes != bytes) {
            std::fprintf(stderr, "size mismatch: plain %lld, window %lld, package %lld\n",
                         static_cast<long long>(got), static_cast<long long>(run.bytes),
                         static_cast<long long>(bytes));
            return 1;
        }
        bestWindow.total = std::min(bestWindow.total, run.total);
        bestWindow.transfer = std::min(bestWindow.transfer, run.transfer);
    }
    server.Stop();
    serving.join();
    ::unlink(package.c_str());
    ::unlink((directory + "/zuvo-bench-plain.bin").c_str());

    const double mb = static_cast<double>(bytes) / 1e6;
    std::printf("package %lld MiB, best of %d rounds\n", static_cast<long long>(bytes >> 20),
                rounds);
    std::printf("plain client            %8.1f MB/s\n", mb / bestPlain);
    std::printf("DownloadPackage, transfer %8.1f MB/s  ratio %.2f\n", mb / bestWindow.transfer,
                bestPlain / bestWindow.transfer);
    std::printf("DownloadPackage, whole    %8.1f MB/s  ratio %.2f (includes the 500 ms pause)\n",
                mb / bestWindow.total, bestPlain / bestWindow.total);
    std::sort(roundRatios.begin(), roundRatios.end());
    std::printf("median of the rounds' transfer ratios %.2f (goal >= 0.90)\n",
                roundRatios[roundRatios.size() / 2]);
    return 0;
}
