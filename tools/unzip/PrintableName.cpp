#include "PrintableName.h"

namespace {

constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7F;
// Caret notation shows a control character as the character 64 above it.
constexpr unsigned char kCaretOffset = 0x40;

}  // namespace

std::string Printable(const std::string& name) {
    std::string shown;
    shown.reserve(name.size());
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < kFirstPrintable) {
            shown += '^';
            shown += static_cast<char>(byte + kCaretOffset);
        } else if (byte == kDelete) {
            shown += "^?";
        } else {
            shown += c;
        }
    }
    return shown;
}
