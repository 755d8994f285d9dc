// The program itself: options, start-up line, --once and the stop signals.

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "LoopbackClient.h"
#include "TempDir.h"

using namespace std::chrono_literals;

namespace {

// The server program started with its standard error on a pipe.
class TServerProcess {
  public:
    explicit TServerProcess(std::vector<std::string> args) {
        int fds[2];
        if (::pipe(fds) != 0) {
            throw std::runtime_error("pipe failed");
        }
        errors_.Reset(fds[0]);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        args.insert(args.begin(), ZUVO_UPDATE_SERVER_EXE);
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        if (rc != 0) {
            throw std::runtime_error("cannot start the server program");
        }
    }

    ~TServerProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    // Reads standard error until `pattern` matches a line or the time is up;
    // returns the first capture group, or "" on time-out or end of output.
    std::string WaitForLine(const std::regex& pattern) {
        const auto limit = std::chrono::steady_clock::now() + 10s;
        for (;;) {
            std::size_t end;
            while ((end = text_.find('\n', scanned_)) != std::string::npos) {
                std::smatch match;
                const std::string line = text_.substr(scanned_, end - scanned_);
                scanned_ = end + 1;
                if (std::regex_search(line, match, pattern)) {
                    return match.size() > 1 ? match[1].str() : line;
                }
            }
            if (std::chrono::steady_clock::now() > limit || !ReadMore()) {
                return "";
            }
        }
    }

    // The exit status, or -1 when the program did not end within the limit.
    int WaitForExit() {
        const auto limit = std::chrono::steady_clock::now() + 10s;
        while (std::chrono::steady_clock::now() < limit) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(10ms);
        }
        return -1;
    }

    void Signal(int number) { ::kill(pid_, number); }

  private:
    bool ReadMore() {
        pollfd ready{errors_.Get(), POLLIN, 0};
        if (::poll(&ready, 1, 200) <= 0) {
            return true;  // nothing yet; the caller checks its limit
        }
        char buffer[4096];
        const ssize_t n = ::read(errors_.Get(), buffer, sizeof(buffer));
        if (n <= 0) {
            return false;
        }
        text_.append(buffer, static_cast<std::size_t>(n));
        return true;
    }

    pid_t pid_ = -1;
    TFileDescriptor errors_;
    std::string text_;
    std::size_t scanned_ = 0;
};

const std::regex kListening("listening on 127\\.0\\.0\\.1:([0-9]+)");

}  // namespace

TEST(ServerProcess, OnceServesOneTransferLogsItAndExitsWithZero) {
    TempDir dir;
    const std::string package = PatternBytes(300000, 4);
    TServerProcess server({"--port", "0", "--once", "--package", dir.WriteFile("p.zip", package)});
    const std::string port = server.WaitForLine(kListening);
    ASSERT_FALSE(port.empty());
    const auto portNumber = static_cast<std::uint16_t>(std::stoi(port));
    TLoopbackClient(portNumber).Close();  // a probe does not end the run
    EXPECT_EQ(FetchPackage(portNumber), "ok_down_load_update_browser\r\n" + package);
    EXPECT_FALSE(
        server.WaitForLine(std::regex("sent 300000 of 300000 package bytes: complete")).empty());
    EXPECT_EQ(server.WaitForExit(), 0);
}

TEST(ServerProcess, StopsCleanlyOnSigtermAndSigint) {
    TempDir dir;
    const std::string path = dir.WriteFile("p.zip", "PK");
    for (const int number : {SIGTERM, SIGINT}) {
        TServerProcess server({"--port", "0", "--package", path});
        ASSERT_FALSE(server.WaitForLine(kListening).empty());
        server.Signal(number);
        EXPECT_EQ(server.WaitForExit(), 0) << "signal " << number;
    }
}

TEST(ServerProcess, RefusesToStartWithoutUsablePackage) {
    TempDir dir;
    TServerProcess noPackage({"--port", "0"});
    EXPECT_EQ(noPackage.WaitForExit(), 2);
    TServerProcess missing({"--port", "0", "--package", dir.Path() + "absent.zip"});
    EXPECT_EQ(missing.WaitForExit(), 1);
}
