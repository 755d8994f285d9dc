#include <gtest/gtest.h>

#include <memory>

#include "TestHost.h"
#include "skin/win32/BmpButton.h"

namespace {

constexpr uint32_t kOlive = 0x808000;
constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kBlue = 0x0000FF;

// A solid image with its top-left pixel of the transparent colour.
TDib Solid(uint32_t colour, int width = 64, int height = 22) {
    TDib dib(width, height, colour);
    dib.SetPixel(0, 0, kOlive);
    return dib;
}

// A shown host with one button at (10, 10) that counts its clicks.
struct ButtonFixture : ::testing::Test {
    ButtonFixture() {
        ::ShowWindow(host.Handle(), SW_SHOWNOACTIVATE);
        button = std::make_unique<TBmpButton>(host.Handle(), 10, 10, 80, 30);
        button->Bitmaps().SetUp(Solid(kRed));
        button->OnClick = [this] { ++clicks; };
    }

    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return ::SendMessageW(button->Handle(), message, wParam, lParam);
    }
    void Paint() {
        ::RedrawWindow(button->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    }

    // The colour the button paints at (x, y).
    COLORREF PaintedAt(int x, int y) {
        HDC screen = ::GetDC(nullptr);
        HDC dc = ::CreateCompatibleDC(screen);
        HBITMAP bitmap = ::CreateCompatibleBitmap(screen, 100, 40);
        HGDIOBJ previous = ::SelectObject(dc, bitmap);
        Send(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
        const COLORREF colour = ::GetPixel(dc, x, y);
        ::SelectObject(dc, previous);
        ::DeleteObject(bitmap);
        ::DeleteDC(dc);
        ::ReleaseDC(nullptr, screen);
        return colour;
    }

    TTestHost host;
    std::unique_ptr<TBmpButton> button;
    int clicks = 0;
};

using BmpButtonSize = ButtonFixture;

// Catches a button that keeps its own size instead of its image's.
TEST_F(BmpButtonSize, TakesTheUpImageSizePlusTheBorder) {
    RECT client{};
    ::GetClientRect(button->Handle(), &client);
    EXPECT_EQ(client.right, 64);
    EXPECT_EQ(client.bottom, 22);
    button->SetButtonBorder(bbSingle);
    ::GetClientRect(button->Handle(), &client);
    EXPECT_EQ(client.right, 66);
    EXPECT_EQ(client.bottom, 24);
}

using BmpButtonMouse = ButtonFixture;

// Catches a click raised on the press, or a press state that does not show.
TEST_F(BmpButtonMouse, ClicksOnReleaseOverTheButton) {
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
    EXPECT_EQ(button->ButtonState(), StateDown);
    EXPECT_TRUE(button->Dragging());
    EXPECT_TRUE(button->HasFocus());
    EXPECT_EQ(clicks, 0);
    Send(WM_LBUTTONUP, 0, At(5, 5));
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(button->ButtonState(), StateUp);
    EXPECT_FALSE(button->Dragging());
}

// Catches a click on a release outside, and an off-by-one at the bottom
// edge (y = height is outside).
TEST_F(BmpButtonMouse, DraggingOffAndReleasingOutsideDoesNotClick) {
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
    Send(WM_MOUSEMOVE, MK_LBUTTON, At(5, 22));
    EXPECT_EQ(button->ButtonState(), StateUp);
    Send(WM_MOUSEMOVE, MK_LBUTTON, At(63, 21));
    EXPECT_EQ(button->ButtonState(), StateDown);
    Send(WM_MOUSEMOVE, MK_LBUTTON, At(64, 21));
    EXPECT_EQ(button->ButtonState(), StateUp);
    Send(WM_LBUTTONUP, 0, At(64, 21));
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(button->ButtonState(), StateUp);
}

// Catches other buttons pressing: they take the focus only.
TEST_F(BmpButtonMouse, TheRightButtonTakesTheFocusButNeitherPressesNorClicks) {
    Send(WM_RBUTTONDOWN, MK_RBUTTON, At(5, 5));
    EXPECT_TRUE(button->HasFocus());
    EXPECT_EQ(button->ButtonState(), StateUp);
    Send(WM_RBUTTONUP, 0, At(5, 5));
    EXPECT_EQ(clicks, 0);
}

// Catches a handler that destroys the button being followed by use of it.
TEST_F(BmpButtonMouse, AClickHandlerMayDestroyTheButton) {
    button->OnClick = [this] {
        ++clicks;
        button.reset();
    };
    HWND window = button->Handle();
    ::SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
    ::SendMessageW(window, WM_LBUTTONUP, 0, At(5, 5));
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(::IsWindow(window));
}

using BmpButtonKeys = ButtonFixture;

// Catches Space clicking on its press, or a release that does not click.
TEST_F(BmpButtonKeys, SpaceShowsDownAndAnyKeyReleaseClicks) {
    ::SetFocus(button->Handle());
    Send(WM_KEYDOWN, VK_SPACE, 1);
    EXPECT_EQ(button->ButtonState(), StateDown);
    EXPECT_EQ(clicks, 0);
    Send(WM_KEYUP, 'A', 0xC0000001);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(button->ButtonState(), StateUp);
}

// Catches Enter waiting for its release.
TEST_F(BmpButtonKeys, EnterClicksAtOnce) {
    Send(WM_KEYDOWN, VK_RETURN, 1);
    EXPECT_EQ(clicks, 1);
    Send(WM_KEYUP, VK_RETURN, 0xC0000001);
    EXPECT_EQ(clicks, 1);
}

// Catches a held Space whose press the button can no longer finish.
TEST_F(BmpButtonKeys, LosingTheFocusWhileSpaceIsHeldEndsThePressWithoutAClick) {
    ::SetFocus(button->Handle());
    Send(WM_KEYDOWN, VK_SPACE, 1);
    ::SetFocus(host.Handle());
    EXPECT_FALSE(button->HasFocus());
    Send(WM_KEYUP, VK_SPACE, 0xC0000001);
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(button->ButtonState(), StateUp);
}

using BmpButtonDisabled = ButtonFixture;

// Catches a disabled button that still reacts to input sent to it.
TEST_F(BmpButtonDisabled, IgnoresMouseAndKeys) {
    button->SetEnabled(false);
    Paint();
    EXPECT_EQ(button->ButtonState(), StateDisabled);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
    Send(WM_LBUTTONUP, 0, At(5, 5));
    Send(WM_KEYDOWN, VK_SPACE, 1);
    Send(WM_KEYUP, VK_SPACE, 0xC0000001);
    Send(WM_KEYDOWN, VK_RETURN, 1);
    EXPECT_EQ(clicks, 0);
    EXPECT_FALSE(button->Dragging());
    button->SetEnabled(true);
    Paint();
    EXPECT_EQ(button->ButtonState(), StateUp);
}

// Catches the wrong image per state and a transparent colour drawn over
// the parent: the host (green) shows at the olive pixel.
TEST_F(BmpButtonDisabled, ShowsItsDisabledImageAndUpOnceEnabled) {
    button->Bitmaps().SetDisabled(Solid(kBlue));
    EXPECT_EQ(PaintedAt(5, 5), RGB(255, 0, 0));
    EXPECT_EQ(PaintedAt(0, 0), RGB(0, 255, 0));
    button->SetEnabled(false);
    EXPECT_EQ(PaintedAt(5, 5), RGB(0, 0, 255));
    button->SetEnabled(true);
    EXPECT_EQ(PaintedAt(5, 5), RGB(255, 0, 0));
}

// Catches the embossed look missing without a disabled image, or the
// highlight and shadow in the wrong places.
TEST(BmpButtonEmboss, MaskInShadowWithAWhiteHighlightBelowRight) {
    TDib image(4, 4, kOlive);
    image.SetPixel(1, 1, kRed);
    image.SetPixel(2, 2, 0xFFFFFF);  // a highlight stays face
    const TDib embossed = EmbossedDib(image, kOlive, 0xC0C0C0, 0x808080);
    EXPECT_EQ(embossed.Pixel(1, 1), 0x808080u);
    EXPECT_EQ(embossed.Pixel(2, 2), 0xFFFFFFu);
    EXPECT_EQ(embossed.Pixel(3, 3), 0xC0C0C0u);
    EXPECT_EQ(embossed.Pixel(0, 0), 0xC0C0C0u);
}

// Catches a state image chosen without the disabled fallback.
TEST_F(BmpButtonDisabled, WithoutADisabledImageShowsTheEmbossedUpImage) {
    button->SetEnabled(false);
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    const COLORREF shadow = ::GetSysColor(COLOR_BTNSHADOW);
    EXPECT_EQ(PaintedAt(5, 5), shadow);
    EXPECT_NE(PaintedAt(5, 5), face);
}

// Catches latching that lets a group have two buttons down, or lets the
// last one rise without AllowAllUp.
TEST(BmpButtonGroup, ASecondButtonGoingDownRaisesTheFirst) {
    TTestHost host;
    ::ShowWindow(host.Handle(), SW_SHOWNOACTIVATE);
    TBmpButton first(host.Handle(), 0, 0, 64, 22);
    TBmpButton second(host.Handle(), 70, 0, 64, 22);
    first.SetGroupIndex(1);
    second.SetGroupIndex(1);
    first.SetDown(true);
    EXPECT_EQ(first.ButtonState(), StateExclusive);
    const auto click = [](TBmpButton& button) {
        ::SendMessageW(button.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
        ::SendMessageW(button.Handle(), WM_LBUTTONUP, 0, At(5, 5));
    };
    click(second);
    EXPECT_TRUE(second.Down());
    EXPECT_FALSE(first.Down());
    EXPECT_EQ(first.ButtonState(), StateUp);
    click(second);
    EXPECT_TRUE(second.Down());
    EXPECT_EQ(second.ButtonState(), StateExclusive);
}

// Catches Tab leaving the focus where it is.
TEST(BmpButtonFocus, TabMovesTheFocusToTheNextButton) {
    TTestHost host;
    ::ShowWindow(host.Handle(), SW_SHOWNOACTIVATE);
    TBmpButton first(host.Handle(), 0, 0, 64, 22);
    TBmpButton second(host.Handle(), 70, 0, 64, 22);
    ::SetFocus(first.Handle());
    ::SendMessageW(first.Handle(), WM_KEYDOWN, VK_TAB, 1);
    EXPECT_TRUE(second.HasFocus());
    EXPECT_FALSE(first.HasFocus());
}

}  // namespace
