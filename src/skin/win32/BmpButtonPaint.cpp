// Painting of the bitmap button: background or border, latch pattern, the
// image of the state and the caption, composed off screen and copied in one
// go.
#include <cstring>

// clang-format off
#include "platform/win32/WindowsApi.h"
// clang-format on
#include "platform/ScopeExit.h"
#include "platform/win32/WideText.h"
#include "skin/win32/BmpButton.h"

namespace {

void Fill(HDC dc, const RECT& area, COLORREF colour) {
    HBRUSH brush = ::CreateSolidBrush(colour);
    ScopeExit freeBrush([&] { ::DeleteObject(brush); });
    ::FillRect(dc, &area, brush);
}

// The 8 x 8 checkerboard of latched bordered buttons: white where x and y
// have equal parity, button face elsewhere.
void FillDownPattern(HDC dc, const RECT& area) {
    TDib pattern(8, 8, SystemRgb(COLOR_BTNFACE));
    for (int y = 0; y < 8; ++y) {
        for (int x = y % 2; x < 8; x += 2) {
            pattern.SetPixel(x, y, 0xFFFFFF);
        }
    }
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 8, -8, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap) {
        return;
    }
    ScopeExit freeBitmap([&] { ::DeleteObject(bitmap); });
    std::memcpy(bits, pattern.Pixels.data(), pattern.Pixels.size() * sizeof(uint32_t));
    HBRUSH brush = ::CreatePatternBrush(bitmap);
    ScopeExit freeBrush([&] { ::DeleteObject(brush); });
    ::FillRect(dc, &area, brush);
}

// The parent's background and content beneath the button, so the button is
// see-through where its image is left out.
void PaintParentBeneath(HDC dc, HWND button) {
    HWND parent = ::GetParent(button);
    if (!parent) {
        return;
    }
    POINT origin{0, 0};
    ::MapWindowPoints(button, parent, &origin, 1);
    POINT previous{};
    ::SetViewportOrgEx(dc, -origin.x, -origin.y, &previous);
    ::SendMessageW(parent, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc),
                   PRF_CLIENT | PRF_ERASEBKGND);
    ::SetViewportOrgEx(dc, previous.x, previous.y, nullptr);
}

}  // namespace

const TDib& TBmpButton::ChooseImage(TDib& embossed) const {
    static const TDib none;
    const TButtonBitmaps& b = bitmaps_;
    switch (state_.ButtonState()) {
        case StateUp:
            return state_.HasFocus() && showFocus_ && !b.UpAndFocused().Empty() ? b.UpAndFocused()
                                                                                : b.Up();
        case StateDisabled:
            if (!b.Disabled().Empty()) {
                return b.Disabled();
            }
            if (b.Up().Empty()) {
                return none;
            }
            embossed = EmbossedDib(b.Up(), b.TransparentColor(), SystemRgb(COLOR_BTNFACE),
                                   SystemRgb(COLOR_BTNSHADOW));
            return embossed;
        case StateDown:
            return b.Down().Empty() ? b.Up() : b.Down();
        case StateExclusive:
            return !b.StayDown().Empty() ? b.StayDown() : !b.Down().Empty() ? b.Down() : b.Up();
    }
    return b.Up();
}

void TBmpButton::Paint(HDC target) {
    FixStateForEnabled();
    RECT area{};
    ::GetClientRect(Handle(), &area);
    const int width = area.right;
    const int height = area.bottom;
    HDC dc = ::CreateCompatibleDC(target);
    ScopeExit freeDc([&] { ::DeleteDC(dc); });
    HBITMAP buffer = ::CreateCompatibleBitmap(target, width, height);
    ScopeExit freeBuffer([&] { ::DeleteObject(buffer); });
    HGDIOBJ previous = ::SelectObject(dc, buffer);
    ScopeExit restore([&] { ::SelectObject(dc, previous); });

    const bool pressed =
        state_.ButtonState() == StateDown || state_.ButtonState() == StateExclusive;
    Fill(dc, area, ::GetSysColor(COLOR_BTNFACE));
    switch (buttonBorder_) {
        case bbNone:
            PaintParentBeneath(dc, Handle());
            break;
        case bbSingle:
            Fill(dc, area, RGB(0, 0, 0));
            ::InflateRect(&area, -1, -1);
            Fill(dc, area, ::GetSysColor(COLOR_BTNFACE));
            break;
        case bbButton:
            ::DrawEdge(dc, &area, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_ADJUST);
            break;
    }
    if (state_.ButtonState() == StateExclusive && buttonBorder_ != bbNone) {
        FillDownPattern(dc, area);
    }
    TDib embossed;
    DrawDibTransparent(dc, ChooseImage(embossed), area.left, area.top, bitmaps_.TransparentColor());
    PaintCaption(dc, area.left, area.top, area.right, area.bottom);
    ::BitBlt(target, 0, 0, width, height, dc, 0, 0, SRCCOPY);
}

void TBmpButton::PaintCaption(HDC dc, int left, int top, int right, int bottom) const {
    if (caption_.empty()) {
        return;
    }
    const std::wstring text = Widen(caption_);
    HWND parent = ::GetParent(Handle());
    auto* font = reinterpret_cast<HFONT>(parent ? ::SendMessageW(parent, WM_GETFONT, 0, 0) : 0);
    HGDIOBJ previousFont = font ? ::SelectObject(dc, font) : nullptr;
    ScopeExit restoreFont([&] {
        if (previousFont) {
            ::SelectObject(dc, previousFont);
        }
    });
    ::SetBkMode(dc, TRANSPARENT);
    const UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    RECT place{left, top, right, bottom};
    const auto draw = [&](int shift, COLORREF colour) {
        RECT shifted = place;
        ::OffsetRect(&shifted, shift, shift);
        ::SetTextColor(dc, colour);
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &shifted, format);
    };
    if (state_.ButtonState() == StateDisabled) {
        draw(1, RGB(255, 255, 255));
        draw(0, RGB(128, 128, 128));
    } else {
        const bool pressed =
            state_.ButtonState() == StateDown || state_.ButtonState() == StateExclusive;
        draw(pressed ? captionDownOffset_ : 0, ::GetSysColor(COLOR_BTNTEXT));
    }
    if (state_.HasFocus() && showFocus_) {
        // The caption's own rectangle, grown by 2 pixels, gets the frame.
        RECT measured{0, 0, right - left, 0};
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &measured,
                    DT_SINGLELINE | DT_CALCRECT);
        const int textWidth = measured.right;
        const int textHeight = measured.bottom;
        RECT frame{(left + right - textWidth) / 2 - 2, (top + bottom - textHeight) / 2 - 2,
                   (left + right + textWidth) / 2 + 2, (top + bottom + textHeight) / 2 + 2};
        ::DrawFocusRect(dc, &frame);
    }
}
