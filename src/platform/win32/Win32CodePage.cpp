#include <cstdlib>
#include <optional>

#include "platform/CodePage.h"
#include "platform/win32/WideText.h"
#include "platform/win32/WindowsApi.h"

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";

// The number of a name of the form "CP437", if Windows knows that page.
std::optional<UINT> CodePageNumber(const std::string& name) {
    if (name.size() < 3 || (name[0] != 'C' && name[0] != 'c') ||
        (name[1] != 'P' && name[1] != 'p')) {
        return std::nullopt;
    }
    char* end = nullptr;
    const unsigned long number = std::strtoul(name.c_str() + 2, &end, 10);
    if (end == nullptr || *end != '\0' || number == 0 || number > 0xFFFF ||
        !::IsValidCodePage(static_cast<UINT>(number))) {
        return std::nullopt;
    }
    return static_cast<UINT>(number);
}

// One character (one byte, or a lead byte and its trail) in UTF-8; nothing
// when the code page does not define it.
std::optional<std::string> ConvertOne(UINT page, const char* bytes, int length) {
    wchar_t wide[2] = {};
    const int n = ::MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, bytes, length, wide, 2);
    if (n <= 0) {
        return std::nullopt;
    }
    // Some pages give undefined bytes a stand-in rather than an error.
    if (n == 1 && (wide[0] == 0xFFFD || (page != CP_UTF8 && wide[0] == L'?' && bytes[0] != '?'))) {
        return std::nullopt;
    }
    return Narrow(wide, static_cast<size_t>(n));
}

}  // namespace

std::string CodePageToUtf8(const std::string& text, const std::string& codePage) {
    const std::optional<UINT> page = CodePageNumber(codePage);
    if (text.empty() || !page) {
        return text;
    }
    // Character by character, so that each byte the page leaves undefined
    // becomes one replacement of its own.
    std::string result;
    for (size_t at = 0; at < text.size();) {
        const auto lead = static_cast<BYTE>(text[at]);
        const int length = ::IsDBCSLeadByteEx(*page, lead) && at + 1 < text.size() ? 2 : 1;
        const std::optional<std::string> one = ConvertOne(*page, text.data() + at, length);
        if (one) {
            result += *one;
            at += static_cast<size_t>(length);
        } else {
            result += kReplacement;
            ++at;
        }
    }
    return result;
}
