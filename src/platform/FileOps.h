#pragma once

#include <string>

// File-system operations in the shape the updater's workflow uses them:
// each reports success as a bool and never raises, because the workflow
// decides for itself which results matter.

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);

// Creates one directory level.
bool CreateDir(const std::string& path);

bool DeleteFile(const std::string& path);

// Copies a file, refusing when the destination exists; the copy keeps the
// source's permission bits (so a program stays executable) and is written
// whole or not at all.
bool CopyFileNoOverwrite(const std::string& source, const std::string& destination);

// Renames over an existing destination in one step: a reader sees either
// the old or the new file, never none.
bool ReplaceFile(const std::string& source, const std::string& destination);

// Starts a program the way the shell's "open" verb starts one: detached, in
// its own session, without waiting for it, with /dev/null as its standard
// streams. False when it could not start (also when exec refused the file).
bool ShellOpen(const std::string& path);
