#pragma once

#include <functional>

#include "skin/win32/WinHandles.h"

// Gives the window the boxes belong to: the update window while it exists,
// else none.
using BoxOwner = std::function<HWND()>;

// Connects the runtime's message-box and message-pump hooks to Windows:
// boxes become MessageBoxW over `owner()` with the flags as given (the
// program's flag and answer values are the Windows ones; the box's own loop
// keeps the window's timer running), pumping takes every pending message.
void InstallWin32Hooks(BoxOwner owner);

// For unattended runs: every box is answered with its default button and
// its text is copied to standard error; messages are still pumped.
void InstallUnattendedWin32Hooks();
