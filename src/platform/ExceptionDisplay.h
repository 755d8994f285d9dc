#pragma once

#include <exception>
#include <string>

// The application title: the executable's file name without its directory,
// cut at its first ".", every letter after the first in lower case.
std::string ApplicationTitle(const std::string& executablePath);

// The text the exception display shows: the message, with a "." appended
// when its last character compares greater than "." byte by byte.
std::string ExceptionDisplayText(const std::string& message);

// Shows an exception modally with the error icon under the application
// title. Exceptions outside the runtime's family show an empty text.
void ShowException(const std::exception& error);
void ShowException(const std::string& message);
