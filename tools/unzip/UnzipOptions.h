#pragma once

#include <optional>
#include <string>
#include <vector>

// The command line of zuvo-unzip, with the option letters of unzip:
//   zuvo-unzip [-l|-t] [-o|-n] [-q] [-P password] [-d dir] archive [pattern ...]
// Options may stand before or after the archive; letters may be grouped
// ("-oq"); -P and -d take the rest of their group or the next argument;
// "--" ends the options.
struct TUnzipOptions {
    enum class Mode { Extract, List, Test };
    enum class Overwrite { Ask, Always, Never };

    Mode mode = Mode::Extract;
    Overwrite overwrite = Overwrite::Ask;
    bool quiet = false;
    bool help = false;
    std::optional<std::string> password;
    std::string destDir;
    std::string archive;
    std::vector<std::string> patterns;  // written with `/`
};

// Parses the arguments after the program name. Returns false with a
// message in `error` for a command line that cannot be understood.
bool ParseUnzipOptions(const std::vector<std::string>& args, TUnzipOptions& options,
                       std::string& error);

// The text printed by --help.
std::string UnzipUsage();
