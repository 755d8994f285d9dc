#include "platform/win32/Win32MessageHooks.h"

#include "platform/win32/WideText.h"
#include "platform/win32/WindowsApi.h"

MessageBoxHook Win32MessageBox() {
    return [](const std::string& text, const std::string& caption, unsigned flags) {
        return ::MessageBoxW(::GetActiveWindow(), Widen(text).c_str(), Widen(caption).c_str(),
                             flags);
    };
}

ProcessMessagesHook Win32ProcessMessages() {
    return [] {
        MSG message{};
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                ::PostQuitMessage(static_cast<int>(message.wParam));
                return;
            }
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    };
}
