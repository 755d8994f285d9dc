#include "platform/ProgramDirectory.h"

std::string ProgramDirectory() {
    const std::string exe = ExecutablePath();
    const auto slash = exe.rfind('/');
    if (slash == std::string::npos) {
        return "./";
    }
    return exe.substr(0, slash + 1);
}
