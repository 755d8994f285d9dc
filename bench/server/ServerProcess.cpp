#include "ServerProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/ScopeExit.h"

TServerProcess::TServerProcess(const std::string& exe, const std::string& package,
                               const std::string& log)
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
    const int rc = posix_spawn(&pid_, exe.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        throw std::runtime_error("cannot start " + exe + ": " + std::strerror(rc));
    }
    // A server that never says where it listens is not left running.
    ScopeExit killOnFailure([this] {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    });
    port_ = WaitForPort();
    killOnFailure.Release();
}

TServerProcess::~TServerProcess() {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
}

long TServerProcess::PeakKiB() const { return PeakKiBOf(std::to_string(pid_)); }

std::uint16_t TServerProcess::WaitForPort() const {
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

long PeakKiBOf(const std::string& pid) {
    std::ifstream status("/proc/" + pid + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

double CpuSecondsOf(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/schedstat");
    unsigned long long onCpu = 0;
    return in >> onCpu ? static_cast<double>(onCpu) / 1e9 : 0;
}
