#include "platform/MessageHooks.h"

#include <cstdio>
#include <utility>

namespace {

// The low four bits of the flags choose the buttons.
constexpr unsigned kButtonsMask = 0x0F;

// The application installs these once at start-up; tests swap them in scopes.
MessageBoxHook& BoxHook() {
    static MessageBoxHook hook;
    return hook;
}

ProcessMessagesHook& PumpHook() {
    static ProcessMessagesHook hook;
    return hook;
}

}  // namespace

int DefaultAnswer(unsigned flags) {
    switch (flags & kButtonsMask) {
        case MB_OKCANCEL:
            return IDOK;
        case MB_YESNO:
            return IDYES;
        default:
            return IDOK;
    }
}

int AppMessageBox(const std::string& text, const std::string& caption, unsigned flags) {
    if (BoxHook()) {
        return BoxHook()(text, caption, flags);
    }
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    return DefaultAnswer(flags);
}

void ProcessMessages() {
    if (PumpHook()) {
        PumpHook()();
    }
}

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook) {
    return std::exchange(BoxHook(), std::move(hook));
}

ProcessMessagesHook SetProcessMessagesHook(ProcessMessagesHook hook) {
    return std::exchange(PumpHook(), std::move(hook));
}
