#include "skin/win32/BmpButton.h"

// clang-format off
#include "platform/win32/WindowsApi.h"
// clang-format on
#include "platform/ScopeExit.h"
#include "platform/win32/WideText.h"

namespace {

constexpr const wchar_t* kClassName = L"ZuvoBmpButton";
// Sent by a latching button to its siblings: wParam its group, lParam the
// sender. Only windows of this class are asked.
constexpr UINT kGroupMessage = 0x2420;

bool IsButtonWindow(HWND window) {
    wchar_t name[32] = {};
    ::GetClassNameW(window, name, 32);
    return std::wstring(name) == kClassName;
}

bool KeyRepeats(MessageLParam lParam) { return (lParam & (1 << 30)) != 0; }

}  // namespace

TBmpButton::TBmpButton(HWND parent, int x, int y, int width, int height) {
    Create({kClassName, WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS, 0, parent, x, y,
            width, height, L""});
    bitmaps_.OnChange = [this] {
        ApplySizeRule();
        Invalidate();
    };
}

// ---- properties -----------------------------------------------------------

void TBmpButton::SetButtonBorder(TButtonBorder value) {
    if (value != buttonBorder_) {
        buttonBorder_ = value;
        ApplySizeRule();
        Invalidate();
    }
}

void TBmpButton::SetCaption(const std::string& caption) {
    if (caption != caption_) {
        caption_ = caption;
        Invalidate();
    }
}

void TBmpButton::SetCaptionDownOffset(int value) {
    if (value != captionDownOffset_) {
        captionDownOffset_ = value;
        Invalidate();
    }
}

void TBmpButton::SetShowFocus(bool value) {
    if (value != showFocus_) {
        showFocus_ = value;
        Invalidate();
    }
}

void TBmpButton::SetGroupIndex(int value) {
    if (value != groupIndex_) {
        groupIndex_ = value;
        UpdateExclusive();
    }
}

void TBmpButton::SetAllowAllUp(bool value) {
    if (value != allowAllUp_) {
        allowAllUp_ = value;
        UpdateExclusive();
    }
}

void TBmpButton::SetDown(bool value) {
    if (groupIndex_ == 0) {
        value = false;
    }
    if (value == down_ || (down_ && !allowAllUp_)) {
        return;
    }
    down_ = value;
    buttonState_ = value ? StateExclusive : StateUp;
    Invalidate();
    if (value) {
        UpdateExclusive();
    }
}

bool TBmpButton::Enabled() const { return Handle() && ::IsWindowEnabled(Handle()); }

void TBmpButton::SetEnabled(bool enabled) {
    if (Handle()) {
        ::EnableWindow(Handle(), enabled ? TRUE : FALSE);
    }
}

// ---- size rule and groups -------------------------------------------------

void TBmpButton::ApplySizeRule() {
    const TDib& up = bitmaps_.Up();
    if (up.Empty() || !Handle()) {
        return;
    }
    const int border = buttonBorder_ == bbSingle ? 1 : buttonBorder_ == bbButton ? 2 : 0;
    const int width = up.Width + 2 * border;
    const int height = up.Height + 2 * border;
    RECT client{};
    ::GetClientRect(Handle(), &client);
    if (client.right != width || client.bottom != height) {
        ::SetWindowPos(Handle(), nullptr, 0, 0, width, height,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void TBmpButton::UpdateExclusive() {
    HWND parent = Handle() ? ::GetParent(Handle()) : nullptr;
    if (groupIndex_ == 0 || !parent) {
        buttonState_ = StateUp;
        return;
    }
    for (HWND child = ::GetWindow(parent, GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (IsButtonWindow(child)) {
            ::SendMessageW(child, kGroupMessage, static_cast<WPARAM>(groupIndex_),
                           reinterpret_cast<LPARAM>(this));
        }
    }
}

void TBmpButton::GroupChanged(int groupIndex, const TBmpButton& sender) {
    if (&sender == this || groupIndex != groupIndex_) {
        return;
    }
    if (sender.Down() && down_) {
        down_ = false;
        buttonState_ = StateUp;
        Invalidate();
    }
    allowAllUp_ = sender.AllowAllUp();
}

// ---- clicking -------------------------------------------------------------

void TBmpButton::Click() {
    // A copy: the handler may destroy this button, and its handler with it.
    const std::function<void()> handler = OnClick;
    if (handler) {
        handler();
    }
}

void TBmpButton::Press() {
    if (!down_) {
        buttonState_ = StateDown;
        Repaint();
    }
    dragging_ = true;
}

void TBmpButton::FinishPress(bool doClick) {
    if (groupIndex_ == 0) {
        Repaint();
    } else if (doClick) {
        SetDown(!down_);
    } else {
        // A press that ended outside leaves the latch as it was.
        buttonState_ = down_ ? StateExclusive : StateUp;
        Repaint();
    }
    if (doClick) {
        Click();
    }
}

bool TBmpButton::IsOver(MessageLParam lParam) const {
    const int x = static_cast<short>(LOWORD(lParam));
    const int y = static_cast<short>(HIWORD(lParam));
    RECT client{};
    ::GetClientRect(Handle(), &client);
    return x >= 0 && x < client.right && y >= 0 && y < client.bottom;
}

// ---- messages -------------------------------------------------------------

bool TBmpButton::HandleMouse(unsigned message, MessageLParam lParam) {
    switch (message) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONDBLCLK: {
            // Any button takes the focus; only the left one presses.
            if (Enabled() && !hasFocus_) {
                ::SetFocus(Handle());
            }
            const bool left = message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK;
            if (left && Enabled() && hasFocus_) {
                Press();
                ::SetCapture(Handle());
            }
            return true;
        }
        case WM_MOUSEMOVE:
            if (dragging_) {
                const TButtonState state = down_            ? StateExclusive
                                           : IsOver(lParam) ? StateDown
                                                            : StateUp;
                if (state != buttonState_) {
                    buttonState_ = state;
                    Repaint();
                }
            }
            return true;
        case WM_LBUTTONUP:
            if (dragging_) {
                dragging_ = false;
                ::ReleaseCapture();
                const bool inside = IsOver(lParam);
                UpdateExclusive();
                FinishPress(inside);
            }
            return true;
        default:
            return false;
    }
}

bool TBmpButton::HandleKey(unsigned message, MessageWParam wParam, MessageLParam lParam) {
    if (message == WM_KEYDOWN) {
        if (wParam == VK_RETURN && Enabled()) {
            Click();
            return true;
        }
        if (wParam == VK_SPACE && Enabled() && !KeyRepeats(lParam)) {
            Press();
            return true;
        }
        if (wParam == VK_TAB) {
            const bool backwards = ::GetKeyState(VK_SHIFT) < 0;
            if (HWND next = ::GetNextDlgTabItem(::GetParent(Handle()), Handle(), backwards)) {
                ::SetFocus(next);
            }
            return true;
        }
        return false;
    }
    if (message == WM_KEYUP && dragging_) {
        dragging_ = false;
        buttonState_ = StateUp;
        FinishPress(true);
        return true;
    }
    return false;
}

void TBmpButton::HandleFocus(bool gained) {
    hasFocus_ = gained;
    if (!gained && dragging_) {
        // A press the button can no longer finish ends without a click.
        dragging_ = false;
        buttonState_ = down_ ? StateExclusive : StateUp;
    }
    Invalidate();
}

MessageResult TBmpButton::HandleMessage(unsigned message, MessageWParam wParam,
                                        MessageLParam lParam) {
    if (HandleMouse(message, lParam) || HandleKey(message, wParam, lParam)) {
        return 0;
    }
    switch (message) {
        case WM_GETDLGCODE:
            return DLGC_WANTALLKEYS;
        case WM_SETCURSOR:
            if (cursor_ && LOWORD(lParam) == HTCLIENT) {
                ::SetCursor(cursor_);
                return TRUE;
            }
            return DefaultHandling(message, wParam, lParam);
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            HandleFocus(message == WM_SETFOCUS);
            return 0;
        case WM_CAPTURECHANGED:
            // Another window took the mouse: the press ends without a click.
            if (dragging_ && reinterpret_cast<HWND>(lParam) != Handle()) {
                dragging_ = false;
                buttonState_ = down_ ? StateExclusive : StateUp;
                Invalidate();
            }
            return 0;
        case WM_ENABLE:
            FixStateForEnabled();
            Invalidate();
            return 0;
        case WM_SIZE:
            ApplySizeRule();
            return 0;
        case kGroupMessage:
            GroupChanged(static_cast<int>(wParam), *reinterpret_cast<TBmpButton*>(lParam));
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_PRINTCLIENT:
            Paint(reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT paint{};
            HDC dc = ::BeginPaint(Handle(), &paint);
            ScopeExit endPaint([&] { ::EndPaint(Handle(), &paint); });
            Paint(dc);
            return 0;
        }
        default:
            return DefaultHandling(message, wParam, lParam);
    }
}

void TBmpButton::FixStateForEnabled() {
    if (!Enabled()) {
        buttonState_ = StateDisabled;
        if (dragging_) {
            dragging_ = false;
            ::ReleaseCapture();
        }
    } else if (buttonState_ == StateDisabled) {
        buttonState_ = StateUp;
    }
}

void TBmpButton::Invalidate() {
    if (Handle()) {
        ::InvalidateRect(Handle(), nullptr, FALSE);
    }
}

void TBmpButton::Repaint() {
    if (Handle()) {
        ::InvalidateRect(Handle(), nullptr, FALSE);
        ::UpdateWindow(Handle());
    }
}
