#pragma once

#include <string>
#include <vector>

// Runs a program with the given arguments (no shell in between, so nothing
// needs quoting), its output and error output thrown away, and waits for it.
// Returns its exit status, or -1 when it could not be started or did not
// end normally.
int RunProgramQuietly(const std::string& program, const std::vector<std::string>& arguments);
