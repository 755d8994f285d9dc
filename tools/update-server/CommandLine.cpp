#include "CommandLine.h"

#include <charconv>
#include <cstdint>

namespace {

TCommandLine Failure(std::string text) {
    TCommandLine result;
    result.action = TCommandLine::TAction::Error;
    result.error = std::move(text);
    return result;
}

bool ParsePort(const std::string& text, std::uint16_t& port) {
    unsigned value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value > 65535) {
        return false;
    }
    port = static_cast<std::uint16_t>(value);
    return true;
}

}  // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& args) {
    TCommandLine result;
    TServerSettings& settings = result.settings;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            result.action = TCommandLine::TAction::Help;
            return result;
        }
        if (arg == "--once") {
            settings.once = true;
            continue;
        }
        if (arg != "--bind" && arg != "--port" && arg != "--package") {
            return Failure("unknown option: " + arg);
        }
        if (i + 1 >= args.size()) {
            return Failure(arg + " needs a value");
        }
        const std::string& value = args[++i];
        if (arg == "--bind") {
            settings.bindAddress = value;
        } else if (arg == "--package") {
            settings.packagePath = value;
        } else if (!ParsePort(value, settings.port)) {
            return Failure("not a port number: " + value);
        }
    }
    if (settings.packagePath.empty()) {
        return Failure("--package FILE is required");
    }
    return result;
}

std::string UsageText(const std::string& programName) {
    return "Usage: " + programName +
           " --package FILE [--bind ADDR] [--port N] [--once]\n"
           "Serves FILE to the zuvo updater: answers the update request line, sends the\n"
           "file's bytes and closes the connection.\n"
           "\n"
           "  --package FILE  the update package (zip archive); opened afresh for every\n"
           "                  transfer, so a replaced file is picked up at once\n"
           "  --bind ADDR     IPv4 address or host name to listen on (default 127.0.0.1,\n"
           "                  loopback only; use 0.0.0.0 to serve other machines)\n"
           "  --port N        TCP port (default 10290; 0 lets the system choose)\n"
           "  --once          exit after the first transfer; the status is 0 only when\n"
           "                  that transfer completed\n"
           "  --help          show this text\n"
           "\n"
           "Prints the listening address, then one line per connection to standard error.\n"
           "SIGINT or SIGTERM stops the server.\n";
}
