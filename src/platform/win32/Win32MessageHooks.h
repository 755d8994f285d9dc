#pragma once

#include "platform/MessageHooks.h"

// The message-box and message-pump hooks of a native Windows program, for
// its view to install (SetMessageBoxHook, SetProcessMessagesHook).

// MessageBoxW over the active window of the calling thread, with the flags
// as given: the program's flag and answer values are the Windows ones.
MessageBoxHook Win32MessageBox();

// Takes every pending message of the calling thread off its queue
// (PeekMessageW) and hands it to its window; a WM_QUIT is put back for the
// message loop to see.
ProcessMessagesHook Win32ProcessMessages();
