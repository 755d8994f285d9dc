#include "platform/IntConvert.h"

#include "platform/Exception.h"

namespace {

int DigitValue(char c, int base) {
    int v = -1;
    if (c >= '0' && c <= '9') {
        v = c - '0';
    } else if (c >= 'a' && c <= 'f') {
        v = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
        v = c - 'A' + 10;
    }
    return v < base ? v : -1;
}

// Reads the digits from `pos` to the end; the magnitude limit depends on the
// base because hexadecimal text may set the sign bit.
std::optional<uint32_t> ParseMagnitude(const std::string& s, size_t pos, int base, uint64_t limit) {
    if (pos >= s.size()) {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (; pos < s.size(); ++pos) {
        const int d = DigitValue(s[pos], base);
        if (d < 0) {
            return std::nullopt;
        }
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
        if (value > limit) {
            return std::nullopt;
        }
    }
    return static_cast<uint32_t>(value);
}

}  // namespace

std::optional<int32_t> TryStrToInt(const std::string& text) {
    size_t pos = 0;
    while (pos < text.size() && text[pos] == ' ') {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    int base = 10;
    if (pos < text.size() && text[pos] == '$') {
        base = 16;
        pos += 1;
    } else if (pos + 1 < text.size() && text[pos] == '0' &&
               (text[pos + 1] == 'x' || text[pos + 1] == 'X')) {
        base = 16;
        pos += 2;
    }
    const uint64_t limit = base == 16 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    const auto magnitude = ParseMagnitude(text, pos, base, limit);
    if (!magnitude) {
        return std::nullopt;
    }
    const uint32_t bits = negative ? 0u - *magnitude : *magnitude;
    return static_cast<int32_t>(bits);
}

int32_t StrToInt(const std::string& text) {
    if (const auto value = TryStrToInt(text)) {
        return *value;
    }
    throw EConvertError("'" + text + "' is not a valid integer value");
}
