#include <termios.h>
#include <unistd.h>

#include "platform/Console.h"

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void UseUtf8Console() {}

std::function<void()> TurnConsoleEchoOff() {
    termios saved{};
    if (!::isatty(STDIN_FILENO) || ::tcgetattr(STDIN_FILENO, &saved) != 0) {
        return {};
    }
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    if (::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) != 0) {
        return {};
    }
    return [saved] { ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved); };
}
