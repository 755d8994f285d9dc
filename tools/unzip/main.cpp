// zuvo-unzip: the zip component on the command line, with unzip's options.
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "UnzipCommand.h"
#include "UnzipOptions.h"
#include "platform/Console.h"
#include "platform/ScopeExit.h"

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

std::optional<std::string> AskSecret(const std::string& prompt) {
    std::cerr << prompt << std::flush;
    const std::function<void()> echoOn = TurnConsoleEchoOff();
    ScopeExit restoreEcho([&echoOn] {
        if (echoOn) {
            echoOn();
            // The Enter that ended the password was not echoed either.
            std::cerr << "\n";
        }
    });
    return ReadLine();
}

}  // namespace

int main(int argc, char** argv) {
    UseUtf8Console();
    const std::vector<std::string> args = ProgramArguments(argc, argv);
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
