#include "skin/win32/FormShape.h"

// clang-format off
#include "platform/win32/WindowsApi.h"
// clang-format on
#include "skin/SkinRules.h"

namespace {

// The release message that ends a drag started by `down`.
unsigned ReleaseOf(unsigned down) {
    switch (down) {
        case WM_LBUTTONDOWN:
            return WM_LBUTTONUP;
        case WM_RBUTTONDOWN:
            return WM_RBUTTONUP;
        default:
            return WM_MBUTTONUP;
    }
}

// The client point of a mouse message, in screen coordinates.
POINT ScreenPoint(HWND window, MessageLParam lParam) {
    POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    ::ClientToScreen(window, &point);
    return point;
}

}  // namespace

TFormShape::TFormShape(HWND form) : form_(form) {
    LONG_PTR style = ::GetWindowLongPtrW(form_, GWL_STYLE);
    style &= ~static_cast<LONG_PTR>(WS_CAPTION | WS_THICKFRAME | WS_SYSMENU | WS_BORDER);
    ::SetWindowLongPtrW(form_, GWL_STYLE, style | WS_POPUP);
    ::SetWindowPos(form_, nullptr, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

uint32_t TFormShape::TransparentKey() const { return KeyOf(picture_); }

uint32_t TFormShape::KeyOf(const TDib& bitmap) const {
    const uint32_t bottomLeft = bitmap.Empty() ? kWhiteKey : bitmap.Pixel(0, bitmap.Height - 1);
    return PickTransparentKey(transparentColor_, bitmap.Monochrome, bottomLeft);
}

void TFormShape::ApplyRegion() {
    if (regionApplied_) {
        return;
    }
    regionApplied_ = true;
    // From here on the window owns the region; none keeps the rectangle.
    ::SetWindowRgn(form_, BuildRegion(picture_), TRUE);
}

HRGN TFormShape::BuildRegion(const TDib& bitmap) {
    HRGN region = nullptr;
    const uint32_t key = KeyOf(bitmap);
    ScanOpaqueRuns(
        bitmap.Width, bitmap.Height,
        [&](int x, int y) { return RgbKey(bitmap.Pixel(x, y)) != key; },
        [&](int left, int y, int right) {
            HRGN run = ::CreateRectRgn(left, y, right, y + 1);
            if (!region) {
                region = run;
                return;
            }
            ::CombineRgn(region, region, run, RGN_OR);
            ::DeleteObject(run);
        });
    return region;
}

void TFormShape::Paint(HDC dc) const { DrawDibTransparent(dc, picture_, 0, 0, TransparentKey()); }

bool TFormShape::HandleMessage(unsigned message, MessageWParam wParam, MessageLParam lParam) {
    switch (message) {
        case WM_SHOWWINDOW:
            if (wParam) {
                ApplyRegion();
            }
            return false;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            if (allowFormDrag_ && dragButton_ == 0) {
                StartDrag(message, lParam);
            }
            return true;
        case WM_MOUSEMOVE:
            if (dragButton_ != 0) {
                FollowMouse(lParam);
            }
            return dragButton_ != 0;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
            if (dragButton_ != 0 && message == ReleaseOf(dragButton_)) {
                dragButton_ = 0;
                ::ReleaseCapture();
                return true;
            }
            return false;
        case WM_CAPTURECHANGED:
            // Another window took the mouse: the drag cannot go on.
            dragButton_ = 0;
            return false;
        default:
            return false;
    }
}

void TFormShape::StartDrag(unsigned button, MessageLParam lParam) {
    // The form is moved by hand rather than by the system's move loop
    // (WM_SYSCOMMAND SC_MOVE): that loop ends on the left button's release
    // only, and any button moves this form until its own release.
    RECT frame{};
    ::GetWindowRect(form_, &frame);
    const POINT at = ScreenPoint(form_, lParam);
    grabX_ = at.x - frame.left;
    grabY_ = at.y - frame.top;
    ::SetCapture(form_);
    dragButton_ = button;
}

void TFormShape::FollowMouse(MessageLParam lParam) {
    const POINT at = ScreenPoint(form_, lParam);
    ::SetWindowPos(form_, nullptr, at.x - grabX_, at.y - grabY_, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
