#pragma once

#include <string>

// A name from an archive as it may reach a terminal: control characters,
// which could move the cursor, clear the screen or fake further lines, are
// shown in caret notation ("^[" for escape, "^J" for a line feed, "^?" for
// delete), the way Info-ZIP unzip shows them. Other bytes pass unchanged.
std::string Printable(const std::string& name);
