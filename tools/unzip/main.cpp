// zuvo-unzip: the zip component on the command line, with unzip's options.
#include <termios.h>
#include <unistd.h>

#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "UnzipCommand.h"
#include "UnzipOptions.h"

namespace {

std::optional<std::string> ReadLine() {
    std::string line;
    if (!std::getline(std::cin, line)) {
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

std::optional<std::string> AskLine(const std::string& prompt) {
    std::cout << prompt << std::flush;
    return ReadLine();
}

// Turns the terminal's echo off for a password, and on again afterwards.
class TEchoOff {
  public:
    TEchoOff() {
        if (::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &saved_) == 0) {
            termios quiet = saved_;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            active_ = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
        }
    }
    ~TEchoOff() {
        if (active_) {
            ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_);
            std::cerr << "\n";
        }
    }
    TEchoOff(const TEchoOff&) = delete;
    TEchoOff& operator=(const TEchoOff&) = delete;

  private:
    termios saved_{};
    bool active_ = false;
};

std::optional<std::string> AskSecret(const std::string& prompt) {
    std::cerr << prompt << std::flush;
    const TEchoOff echoOff;
    return ReadLine();
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    TUnzipOptions options;
    std::string error;
    if (!ParseUnzipOptions(args, options, error)) {
        std::cerr << "zuvo-unzip: " << error << "\n" << UnzipUsage();
        return kUnzipUsageError;
    }
    if (options.help) {
        std::cout << UnzipUsage();
        return kUnzipOk;
    }
    TUnzipCommand command(options, std::cout, std::cerr, TUnzipTerminal{AskLine, AskSecret});
    return command.Run();
}
