#pragma once

#include <string>

// Converts text in a single- or multi-byte code page to UTF-8: the names
// of zip entries written by DOS and Windows tools come in the OEM code page
// of the machine that made them. `codePage` is a name of the form "CP437".
// Bytes the code page does not define become U+FFFD, one per byte; an
// unknown code page leaves the text as it is.
std::string CodePageToUtf8(const std::string& text, const std::string& codePage);
