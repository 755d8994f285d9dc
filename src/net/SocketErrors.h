#pragma once

#include <string>

#include "platform/SocketErrorNumbers.h"

// The description of a number: empty when the number is not in the table.
std::string SocketErrorText(int number);

// "Socket Error # <number>\r\n<description>".
std::string FormatSocketError(int number);
