// zuvo-update-server: serves one update package to the zuvo updater.

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "FileDescriptor.h"
#include "UpdateServer.h"

namespace {

std::atomic<TUpdateServer*> g_server{nullptr};

void OnStopSignal(int) {
    if (TUpdateServer* server = g_server.load()) {
        server->Stop();
    }
}

void InstallStopHandlers() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

// Each transfer holds a socket and the package open; take all the
// descriptors the system allows and size the client limit from them.
std::size_t ClientLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        return 256;
    }
    if (limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
        ::getrlimit(RLIMIT_NOFILE, &limit);
    }
    const rlim_t usable = limit.rlim_cur > 64 ? (limit.rlim_cur - 32) / 2 : 16;
    return static_cast<std::size_t>(std::min<rlim_t>(usable, 65536));
}

std::string Timestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    ::gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof(text), "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

// One output operation per line: standard error is unbuffered, so every `<<`
// would be a system call of its own.
void LogLine(const std::string& line) {
    std::cerr << (Timestamp() + ' ' + line + '\n') << std::flush;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string program = argc > 0 ? argv[0] : "zuvo-update-server";
    TCommandLine command = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (command.action == TCommandLine::TAction::Help) {
        std::cout << UsageText(program);
        return 0;
    }
    if (command.action == TCommandLine::TAction::Error) {
        std::cerr << program << ": " << command.error << "\n" << UsageText(program);
        return 2;
    }
    // The package is opened afresh for each transfer, but a name that cannot
    // be opened at start is almost always a mistake worth stopping for.
    const TFileDescriptor probe(::open(command.settings.packagePath.c_str(), O_RDONLY | O_CLOEXEC));
    if (!probe.Valid()) {
        std::cerr << program << ": cannot open " << command.settings.packagePath << ": "
                  << std::strerror(errno) << "\n";
        return 1;
    }
    command.settings.maxClients = ClientLimit();
    try {
        TUpdateServer server(command.settings, LogLine);
        server.Listen();
        g_server.store(&server);
        InstallStopHandlers();
        LogLine("listening on " + server.Address() + ", package " + command.settings.packagePath);
        const bool ok = server.Run();
        g_server.store(nullptr);
        LogLine("stopped");
        return ok ? 0 : 1;
    } catch (const std::exception& error) {
        g_server.store(nullptr);
        std::cerr << program << ": " << error.what() << "\n";
        return 1;
    }
}
