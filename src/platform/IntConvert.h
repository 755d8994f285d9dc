#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The runtime's strict signed 32-bit conversion: leading blanks, one sign,
// "$" or "0x" for hexadecimal digits, nothing else. Hexadecimal text may use
// all 32 bits (so "$FFFFFFFF" is -1); decimal text must fit the signed range.
std::optional<int32_t> TryStrToInt(const std::string& text);

// As TryStrToInt, raising EConvertError "'<text>' is not a valid integer value".
int32_t StrToInt(const std::string& text);
