#include "win32/Win32Hooks.h"

#include <cstdio>

// clang-format off
#include "platform/win32/WindowsApi.h"
// clang-format on
#include "platform/MessageHooks.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32MessageHooks.h"

void InstallWin32Hooks(BoxOwner owner) {
    SetMessageBoxHook([owner = std::move(owner)](const std::string& text,
                                                 const std::string& caption, unsigned flags) {
        HWND window = owner ? owner() : nullptr;
        if (window && !::IsWindow(window)) {
            window = nullptr;
        }
        return ::MessageBoxW(window, Widen(text).c_str(), Widen(caption).c_str(), flags);
    });
    SetProcessMessagesHook(Win32ProcessMessages());
}

void InstallUnattendedWin32Hooks() {
    SetMessageBoxHook([](const std::string& text, const std::string& caption, unsigned flags) {
        std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
        return DefaultAnswer(flags);
    });
    SetProcessMessagesHook(Win32ProcessMessages());
}
