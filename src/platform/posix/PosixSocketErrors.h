#pragma once

// The one conversion of an errno value to its Winsock number. A value
// without a Winsock counterpart is passed through unchanged, so its message
// has an empty description but the number still tells what happened.
int SocketErrorFromErrno(int err);

// The one conversion of a getaddrinfo result (`err` is errno, consulted for
// EAI_SYSTEM only).
int SocketErrorFromResolver(int eaiCode, int err);
