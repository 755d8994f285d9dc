#include "Base64.h"

#include <algorithm>
#include <string>

#include "PackageErrors.h"

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The 6-bit value of one character; -1 for anything outside the alphabet.
int SextetOf(char c) {
    if (c >= 'A' && c <= 'Z') {
        return c - 'A';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 26;
    }
    if (c >= '0' && c <= '9') {
        return c - '0' + 52;
    }
    if (c == '+') {
        return 62;
    }
    if (c == '/') {
        return 63;
    }
    return -1;
}

// Number of '=' at the end of a group of 4 (0, 1 or 2); raises when padding
// sits anywhere but at the end of the text.
int PaddingOf(std::string_view group, bool lastGroup) {
    int padding = 0;
    if (group[3] == '=') {
        padding = group[2] == '=' ? 2 : 1;
    }
    if (padding > 0 && !lastGroup) {
        throw EPackageRefused("base64 padding before the end of the text");
    }
    return padding;
}

}  // namespace

std::vector<uint8_t> DecodeBase64(std::string_view text) {
    if (text.size() % 4 != 0) {
        throw EPackageRefused("base64 text whose length is not a multiple of 4");
    }
    std::vector<uint8_t> out;
    out.reserve(text.size() / 4 * 3);
    for (size_t at = 0; at < text.size(); at += 4) {
        const std::string_view group = text.substr(at, 4);
        const int padding = PaddingOf(group, at + 4 == text.size());
        uint32_t bits = 0;
        for (int i = 0; i < 4 - padding; ++i) {
            const int sextet = SextetOf(group[static_cast<size_t>(i)]);
            if (sextet < 0) {
                throw EPackageRefused("a character outside the base64 alphabet");
            }
            bits |= static_cast<uint32_t>(sextet) << (18 - 6 * i);
        }
        const int bytes = 3 - padding;
        // A canonical encoding leaves the bits below the last byte zero.
        if ((bits & ((1u << (8 * (3 - bytes))) - 1)) != 0) {
            throw EPackageRefused("base64 text with stray bits before its padding");
        }
        for (int i = 0; i < bytes; ++i) {
            out.push_back(static_cast<uint8_t>(bits >> (16 - 8 * i)));
        }
    }
    return out;
}

std::string EncodeBase64(const std::vector<uint8_t>& bytes) {
    std::string out;
    for (size_t at = 0; at < bytes.size(); at += 3) {
        const size_t count = std::min<size_t>(3, bytes.size() - at);
        uint32_t bits = 0;
        for (size_t i = 0; i < count; ++i) {
            bits |= static_cast<uint32_t>(bytes[at + i]) << (16 - 8 * i);
        }
        for (size_t i = 0; i < 4; ++i) {
            out += i <= count ? kAlphabet[(bits >> (18 - 6 * i)) & 63] : '=';
        }
    }
    return out;
}
