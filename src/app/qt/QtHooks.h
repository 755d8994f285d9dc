#pragma once

// Connects the runtime's message-box and message-pump hooks to Qt: boxes
// become modal Qt message boxes (their nested loop keeps timers running),
// pumping becomes processing all pending events.
void InstallQtHooks();

// For unattended runs: every box is answered with its default button and its
// text is copied to standard error; messages are still pumped through Qt.
void InstallUnattendedHooks();
