#pragma once

#include <functional>

// clang-format off
#include "platform/win32/WindowsApi.h"
// clang-format on
#include "skin/win32/NativeWindow.h"

// A plain top-level window for the controls' tests: a popup at (100, 100)
// that fills itself with one colour (also when printed beneath a button)
// and hands every message to Hook first, when one is set.
class TTestHost : public TNativeWindow {
  public:
    // Hook gives true when it handled the message.
    using THook = std::function<bool(UINT, WPARAM, LPARAM)>;

    explicit TTestHost(int width = 200, int height = 100, COLORREF fill = RGB(0, 255, 0))
        : fill_(fill) {
        Create({L"ZuvoTestHost", WS_POPUP, 0, nullptr, 100, 100, width, height, L"test"});
    }

    THook Hook;

  protected:
    MessageResult HandleMessage(unsigned message, MessageWParam wParam,
                                MessageLParam lParam) override {
        if (Hook && Hook(message, wParam, lParam)) {
            return 0;
        }
        if (message == WM_PRINTCLIENT || message == WM_ERASEBKGND) {
            RECT client{};
            ::GetClientRect(Handle(), &client);
            HBRUSH brush = ::CreateSolidBrush(fill_);
            ::FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
            ::DeleteObject(brush);
            return 1;
        }
        return DefaultHandling(message, wParam, lParam);
    }

  private:
    COLORREF fill_;
};

// lParam of a mouse message at client point (x, y).
inline LPARAM At(int x, int y) { return MAKELPARAM(x, y); }
