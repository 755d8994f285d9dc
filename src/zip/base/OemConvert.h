#pragma once

#include <string>

// Converts text in an OEM code page (an iconv name such as "CP437") to
// UTF-8. Bytes the code page does not define become U+FFFD; an unknown code
// page leaves the text as it is.
std::string OemToUtf8(const std::string& text, const std::string& codePage);
