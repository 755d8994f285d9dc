#pragma once

#include <string>

// Full path of the running executable.
std::string ExecutablePath();

// Directory of the running executable, always ending in its separator
// ("/" on POSIX; "\\" or "/" on Windows).
std::string ProgramDirectory();
