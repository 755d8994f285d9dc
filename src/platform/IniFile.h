#pragma once

#include <string>

// Reads one value from an initialisation file the way Windows does: section
// and key names match without regard to ASCII case, blanks around the value
// are removed (and one pair of enclosing quotes), the first match wins, and
// an absent file, section or key yields `defaultValue`. At most `maxChars`
// characters are returned.
std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, size_t maxChars,
                                    const std::string& fileName);
