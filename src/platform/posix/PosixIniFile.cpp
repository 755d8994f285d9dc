#include <algorithm>
#include <cctype>
#include <fstream>

#include "platform/IniFile.h"

namespace {

std::string Trim(const std::string& s) {
    const auto isBlank = [](unsigned char c) { return c == ' ' || c == '\t' || c == '\r'; };
    size_t b = 0;
    size_t e = s.size();
    while (b < e && isBlank(static_cast<unsigned char>(s[b]))) {
        ++b;
    }
    while (e > b && isBlank(static_cast<unsigned char>(s[e - 1]))) {
        --e;
    }
    return s.substr(b, e - b);
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

std::string Unquote(const std::string& value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

}  // namespace

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, size_t maxChars,
                                    const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    std::string line;
    bool inSection = false;
    while (std::getline(in, line)) {
        const std::string t = Trim(line);
        if (!t.empty() && t.front() == '[') {
            const auto close = t.find(']');
            inSection =
                close != std::string::npos && SameName(Trim(t.substr(1, close - 1)), section);
            continue;
        }
        if (!inSection || t.empty() || t.front() == ';') {
            continue;
        }
        const auto eq = t.find('=');
        if (eq != std::string::npos && SameName(Trim(t.substr(0, eq)), key)) {
            return Unquote(Trim(t.substr(eq + 1))).substr(0, maxChars);
        }
    }
    return defaultValue.substr(0, maxChars);
}
