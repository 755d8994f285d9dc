#include "skin/win32/BmpButton.h"

// clang-format off
#include "platform/win32/WindowsApi.h"
// clang-format on
#include "platform/ScopeExit.h"
#include "platform/win32/WideText.h"

namespace {

constexpr const wchar_t* kClassName = L"ZuvoBmpButton";
// Sent by a latching button to its siblings: wParam its group, lParam the
// sender's state. Only windows of this class are asked.
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
    if (ChangeValue(buttonBorder_, value)) {
        ApplySizeRule();
        Invalidate();
    }
}

void TBmpButton::SetCaption(const std::string& caption) {
    if (ChangeValue(caption_, caption)) {
        Invalidate();
    }
}

void TBmpButton::SetCaptionDownOffset(int value) {
    if (ChangeValue(captionDownOffset_, value)) {
        Invalidate();
    }
}

void TBmpButton::SetShowFocus(bool value) {
    if (ChangeValue(showFocus_, value)) {
        Invalidate();
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
    // GDI draws only the new look.
    const int border = BorderWidth(buttonBorder_, true);
    const int width = up.Width + 2 * border;
    const int height = up.Height + 2 * border;
    RECT client{};
    ::GetClientRect(Handle(), &client);
    if (client.right != width || client.bottom != height) {
        ::SetWindowPos(Handle(), nullptr, 0, 0, width, height,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

bool TBmpButton::TellGroup(int groupIndex, const TBmpButtonState& sender) {
    HWND parent = Handle() ? ::GetParent(Handle()) : nullptr;
    if (!parent) {
        return false;
    }
    for (HWND child = ::GetWindow(parent, GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (IsButtonWindow(child)) {
            ::SendMessageW(child, kGroupMessage, static_cast<WPARAM>(groupIndex),
                           reinterpret_cast<LPARAM>(&sender));
        }
    }
    return true;
}

// ---- clicking -------------------------------------------------------------

void TBmpButton::Click() {
    // A copy: the handler may destroy this button, and its handler with it.
    const std::function<void()> handler = OnClick;
    if (handler) {
        handler();
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
            if (Enabled() && !state_.HasFocus()) {
                ::SetFocus(Handle());
            }
            const bool left = message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK;
            if (left && Enabled() && state_.HasFocus()) {
                state_.Press();
                ::SetCapture(Handle());
            }
            return true;
        }
        case WM_MOUSEMOVE:
            state_.PointerMoved(IsOver(lParam));
            return true;
        case WM_LBUTTONUP:
            state_.PointerReleased(IsOver(lParam));
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
            state_.Press();
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
    if (message == WM_KEYUP && state_.Dragging()) {
        state_.KeyReleased();
        return true;
    }
    return false;
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
            state_.FocusChanged(message == WM_SETFOCUS);
            return 0;
        case WM_CAPTURECHANGED:
            // Another window took the mouse: the press ends without a click.
            if (reinterpret_cast<HWND>(lParam) != Handle() && state_.CancelPress()) {
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
            state_.GroupChanged(static_cast<int>(wParam),
                                *reinterpret_cast<const TBmpButtonState*>(lParam));
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

void TBmpButton::FixStateForEnabled() { state_.FixStateForEnabled(Enabled()); }

void TBmpButton::ReleasePointer() { ::ReleaseCapture(); }

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
