#pragma once

#include <functional>
#include <string>
#include <vector>

// The command line and the console of a console program.

// The arguments after the program's name, in UTF-8. On Windows main()
// gets them in the ANSI code page, which cannot hold every file name; they
// are taken from the system's UTF-16 command line instead.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Makes the console show the program's UTF-8 output as such (Windows
// consoles use an OEM code page of their own; POSIX terminals already
// take the bytes as they are).
void UseUtf8Console();

// Stops the console from echoing what is typed, when standard input is
// one, for a password. Returns what turns the echo on again, or an empty
// function when nothing was changed.
std::function<void()> TurnConsoleEchoOff();
