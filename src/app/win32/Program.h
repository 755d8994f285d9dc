#pragma once

// The program's own dealings with Windows outside its window, kept apart
// from the files that include the network headers (whose names Windows
// spells as macros).

// Whether the command line is the one switch the program knows,
// --unattended: run the whole update without a person.
bool UnattendedRequested();

// Takes the thread's messages to their windows until WM_QUIT.
void RunMessageLoop();
