#include "platform/ExceptionDisplay.h"

#include <cctype>

#include "platform/Exception.h"
#include "platform/MessageHooks.h"
#include "platform/ProgramDirectory.h"

namespace {

// UTF-8 continuation bytes are 10xxxxxx.
constexpr unsigned char kContinuationMask = 0xC0;
constexpr unsigned char kContinuationBits = 0x80;

// Start of the last UTF-8 character: step back over continuation bytes.
size_t LastCharacterStart(const std::string& text) {
    size_t i = text.size() - 1;
    while (i > 0 &&
           (static_cast<unsigned char>(text[i]) & kContinuationMask) == kContinuationBits) {
        --i;
    }
    return i;
}

}  // namespace

std::string ApplicationTitle(const std::string& executablePath) {
    // Windows paths separate with either slash.
    const auto slash = executablePath.find_last_of("/\\");
    std::string name =
        slash == std::string::npos ? executablePath : executablePath.substr(slash + 1);
    name = name.substr(0, name.find('.'));
    for (size_t i = 1; i < name.size(); ++i) {
        name[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[i])));
    }
    return name;
}

std::string ExceptionDisplayText(const std::string& message) {
    if (message.empty()) {
        return message;
    }
    const std::string last = message.substr(LastCharacterStart(message));
    return last > std::string(".") ? message + "." : message;
}

void ShowException(const std::string& message) {
    AppMessageBox(ExceptionDisplayText(message), ApplicationTitle(ExecutablePath()),
                  MB_OK | MB_ICONERROR);
}

void ShowException(const std::exception& error) {
    const auto* known = dynamic_cast<const Exception*>(&error);
    ShowException(known ? known->Message() : std::string());
}
