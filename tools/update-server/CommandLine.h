#pragma once

#include <string>
#include <vector>

#include "ServerSettings.h"

// What the command line asks for: run with settings, print the help, or stop
// with an error text.
struct TCommandLine {
    enum class TAction { Run, Help, Error };
    TAction action = TAction::Run;
    TServerSettings settings;
    std::string error;
};

TCommandLine ParseCommandLine(const std::vector<std::string>& args);
std::string UsageText(const std::string& programName);
