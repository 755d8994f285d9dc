#include "platform/ProgramDirectory.h"

std::string ProgramDirectory() {
    const std::string exe = ExecutablePath();
    // Windows paths separate with either slash.
    const auto slash = exe.find_last_of("/\\");
    if (slash == std::string::npos) {
        return "./";
    }
    return exe.substr(0, slash + 1);
}
