#include "UnzipOptions.h"

namespace {

// Applies one flag letter; false for a letter that is not an option.
bool ApplyFlag(char letter, TUnzipOptions& options, std::string& error) {
    switch (letter) {
        case 'l':
            options.mode = TUnzipOptions::Mode::List;
            return true;
        case 't':
            options.mode = TUnzipOptions::Mode::Test;
            return true;
        case 'o':
            options.overwrite = TUnzipOptions::Overwrite::Always;
            return true;
        case 'n':
            options.overwrite = TUnzipOptions::Overwrite::Never;
            return true;
        case 'q':
            options.quiet = true;
            return true;
        case 'h':
            options.help = true;
            return true;
        default:
            error = std::string("unknown option -") + letter;
            return false;
    }
}

// One group of letters after "-". -P and -d take the rest of the group or
// the next argument, which `next` then points past.
bool ParseGroup(const std::vector<std::string>& args, size_t& next, const std::string& group,
                TUnzipOptions& options, std::string& error) {
    for (size_t i = 1; i < group.size(); ++i) {
        const char letter = group[i];
        if (letter != 'P' && letter != 'd') {
            if (!ApplyFlag(letter, options, error)) {
                return false;
            }
            continue;
        }
        std::string value = group.substr(i + 1);
        if (value.empty()) {
            if (next >= args.size()) {
                error = std::string("option -") + letter + " needs a value";
                return false;
            }
            value = args[next++];
        }
        if (letter == 'P') {
            options.password = value;
        } else {
            options.destDir = value;
        }
        return true;
    }
    return true;
}

}  // namespace

bool ParseUnzipOptions(const std::vector<std::string>& args, TUnzipOptions& options,
                       std::string& error) {
    bool optionsEnded = false;
    std::vector<std::string> operands;
    size_t next = 0;
    while (next < args.size()) {
        const std::string& arg = args[next++];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg == "--help") {
            options.help = true;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            if (arg[1] == '-') {
                error = "unknown option " + arg;
                return false;
            }
            if (!ParseGroup(args, next, arg, options, error)) {
                return false;
            }
        } else {
            operands.push_back(arg);
        }
    }
    if (options.help) {
        return true;
    }
    if (operands.empty()) {
        error = "no archive named";
        return false;
    }
    options.archive = operands.front();
    options.patterns.assign(operands.begin() + 1, operands.end());
    return true;
}

std::string UnzipUsage() {
    return "Usage: zuvo-unzip [-l|-t] [-o|-n] [-q] [-P password] [-d dir] archive [pattern ...]\n"
           "Extracts the entries of a zip archive (all of them, or those whose stored path\n"
           "matches a pattern) into the current directory or dir, creating it.\n"
           "\n"
           "  -l           list the entries: size, method, compressed size, date, CRC, name\n"
           "  -t           test the entries: decompress and check every CRC, write nothing\n"
           "  -o           overwrite existing files without asking\n"
           "  -n           never overwrite existing files\n"
           "  -q           quiet: report only problems\n"
           "  -P password  password of encrypted entries (asked for when missing)\n"
           "  -d dir       extract into dir\n"
           "  --help       show this text\n"
           "\n"
           "Options may also follow the archive. Patterns use / between directories,\n"
           "match the whole stored path, and know * ? and <set>; letter case is ignored.\n"
           "A split archive (name.z01, name.z02, ..., name.zip) is opened through its\n"
           "last part, name.zip. Without -o or -n an existing file is asked about.\n"
           "\n"
           "Exit status: 0 success; 1 some entries failed (CRC error, wrong password,\n"
           "unsafe path, file not creatable, unsupported method); 2 the archive could not\n"
           "be read (missing, not a zip, damaged); 3 bad command line.\n";
}
