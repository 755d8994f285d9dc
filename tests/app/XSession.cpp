#include "XSession.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/ScopeExit.h"

extern char** environ;

namespace {

constexpr int kStartWaitMs = 20000;

// Starts `argv` with the environment of this process plus `extraEnv`; the
// descriptor `passFd` (if not -1) is handed on as descriptor 3. The child is
// told to end with this process, so not even a crashed test leaves it behind.
pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
            int passFd) {
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    std::vector<char*> env;
    for (char** entry = environ; *entry; ++entry) {
        const std::string_view text(*entry);
        const bool replaced =
            std::any_of(extraEnv.begin(), extraEnv.end(), [&text](const std::string& extra) {
                return text.substr(0, text.find('=') + 1) == extra.substr(0, extra.find('=') + 1);
            });
        if (!replaced) {
            env.push_back(*entry);
        }
    }
    for (const std::string& entry : extraEnv) {
        env.push_back(const_cast<char*>(entry.c_str()));
    }
    env.push_back(nullptr);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid != 0) {
        return pid;
    }
    // The child: only calls that are safe between fork and exec.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) {
        ::_exit(127);
    }
    // Quiet: their chatter is not the test's output.
    const int quiet = ::open("/dev/null", O_WRONLY);
    ::dup2(quiet, 1);
    ::dup2(quiet, 2);
    if (passFd != -1) {
        ::dup2(passFd, 3);
    }
    ::execvpe(args[0], args.data(), env.data());
    ::_exit(127);
}

bool OnPath(const char* program) {
    const std::string command = std::string("command -v ") + program + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

bool Exited(pid_t pid) {
    int status = 0;
    return ::waitpid(pid, &status, WNOHANG) == pid;
}

}  // namespace

void EndChild(pid_t pid, int graceMs) {
    if (pid <= 0) {
        return;
    }
    ::kill(pid, SIGTERM);
    for (int waited = 0; waited < graceMs; waited += 10) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
}

XSession::XSession() {
    for (const char* program : {"Xvfb", "openbox", "xprop", "xdotool"}) {
        if (!OnPath(program)) {
            reason_ = std::string(program) + " is not installed (scripts/setup.sh installs it)";
            return;
        }
    }
    ScopeExit endAll([this] {
        EndChild(windowManager_);
        EndChild(server_);
        windowManager_ = server_ = -1;
    });
    if (StartServer() && StartWindowManager()) {
        endAll.Release();
    }
}

XSession::~XSession() {
    EndChild(windowManager_);
    EndChild(server_);
}

bool XSession::StartServer() {
    // Xvfb picks a free display itself and writes its number to the pipe.
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        reason_ = "no pipe for Xvfb";
        return false;
    }
    ScopeExit closePipe([&pipeFds] {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
    });
    server_ = Spawn({"Xvfb", "-displayfd", "3", "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
                    {}, pipeFds[1]);
    if (server_ == -1) {
        reason_ = "Xvfb could not be started";
        return false;
    }
    ::close(pipeFds[1]);
    pipeFds[1] = -1;
    std::string number;
    pollfd waitFor{pipeFds[0], POLLIN, 0};
    char c = 0;
    while (::poll(&waitFor, 1, kStartWaitMs) == 1 && ::read(pipeFds[0], &c, 1) == 1 && c != '\n') {
        number.push_back(c);
    }
    if (number.empty()) {
        reason_ = "Xvfb did not report a display";
        return false;
    }
    display_ = ":" + number;
    return true;
}

bool XSession::StartWindowManager() {
    // On a busy machine a manager may give up while starting: one more try.
    for (int attempt = 0; attempt < 2; ++attempt) {
        windowManager_ = Spawn({"openbox", "--sm-disable"}, {"DISPLAY=" + display_}, -1);
        if (windowManager_ == -1) {
            reason_ = "openbox could not be started";
            return false;
        }
        for (int waited = 0; waited < kStartWaitMs; waited += 50) {
            if (WindowManagerRunning()) {
                return true;
            }
            if (Exited(windowManager_)) {
                windowManager_ = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        EndChild(windowManager_);
        windowManager_ = -1;
    }
    reason_ = "openbox did not come up on " + display_;
    return false;
}

bool XSession::WindowManagerRunning() const {
    // A manager that follows the desktop conventions announces itself on the
    // root window.
    const std::string command = "DISPLAY=" + display_ +
                                " xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null"
                                " | grep -q 'window id'";
    return std::system(command.c_str()) == 0;
}
