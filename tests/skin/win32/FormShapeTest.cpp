#include <gtest/gtest.h>

#include <memory>

#include "TestHost.h"
#include "skin/win32/FormShape.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kRed = 0xFF0000;

// A white bitmap with the rectangle [left, right) x [top, bottom) red.
TDib WhiteWithRed(int width, int height, int left, int top, int right, int bottom) {
    TDib dib(width, height, kWhite);
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            dib.SetPixel(x, y, kRed);
        }
    }
    return dib;
}

// A host window whose shape is given by `picture`, messages forwarded.
struct ShapedHost {
    explicit ShapedHost(TDib picture) : host(60, 40) {
        shape = std::make_unique<TFormShape>(host.Handle());
        shape->SetPicture(std::move(picture));
        host.Hook = [this](UINT message, WPARAM wParam, LPARAM lParam) {
            return shape->HandleMessage(message, wParam, lParam);
        };
    }
    ~ShapedHost() { host.Hook = nullptr; }

    // The window's region after its first show; null when it has none.
    HRGN ShownRegion() {
        ::ShowWindow(host.Handle(), SW_SHOWNOACTIVATE);
        HRGN region = ::CreateRectRgn(0, 0, 0, 0);
        if (::GetWindowRgn(host.Handle(), region) == ERROR) {
            ::DeleteObject(region);
            return nullptr;
        }
        return region;
    }

    POINT Position() const {
        RECT frame{};
        ::GetWindowRect(host.Handle(), &frame);
        return {frame.left, frame.top};
    }

    TTestHost host;
    std::unique_ptr<TFormShape> shape;
};

// Catches a region that loses pixels or takes the key colour in.
TEST(FormShapeRegion, HoldsTheOpaquePixelsOnlyIncludingTheRightmostColumn) {
    ShapedHost shaped(WhiteWithRed(10, 6, 2, 1, 10, 5));
    HRGN region = shaped.ShownRegion();
    ASSERT_NE(region, nullptr);
    EXPECT_TRUE(::PtInRegion(region, 2, 1));
    EXPECT_TRUE(::PtInRegion(region, 9, 4));  // last column, last opaque row
    EXPECT_FALSE(::PtInRegion(region, 1, 1));
    EXPECT_FALSE(::PtInRegion(region, 5, 0));
    EXPECT_FALSE(::PtInRegion(region, 5, 5));  // bottom row is key colour
    EXPECT_FALSE(::PtInRegion(region, 10, 2));
    EXPECT_TRUE(shaped.shape->RegionApplied());
    ::DeleteObject(region);
}

// Catches a run scan that bridges a transparent gap within a row.
TEST(FormShapeRegion, ARowWithAGapKeepsTheGapOut) {
    TDib picture(8, 3, kRed);
    picture.SetPixel(3, 1, kWhite);
    picture.SetPixel(4, 1, kWhite);
    picture.SetPixel(0, 2, kWhite);  // the key pixel, bottom left
    ShapedHost shaped(picture);
    HRGN region = shaped.ShownRegion();
    ASSERT_NE(region, nullptr);
    EXPECT_TRUE(::PtInRegion(region, 2, 1));
    EXPECT_FALSE(::PtInRegion(region, 3, 1));
    EXPECT_FALSE(::PtInRegion(region, 4, 1));
    EXPECT_TRUE(::PtInRegion(region, 5, 1));
    EXPECT_TRUE(::PtInRegion(region, 7, 1));
    ::DeleteObject(region);
}

// Catches a key taken from the wrong pixel or an explicit colour ignored:
// a colour found nowhere keeps every pixel, the whole rectangle.
TEST(FormShapeRegion, AnExplicitColourFoundNowhereKeepsTheWholeRectangle) {
    ShapedHost shaped(WhiteWithRed(7, 4, 1, 1, 3, 3));
    shaped.shape->SetTransparentColor(0x123456);
    HRGN region = shaped.ShownRegion();
    ASSERT_NE(region, nullptr);
    HRGN whole = ::CreateRectRgn(0, 0, 7, 4);
    EXPECT_TRUE(::EqualRgn(region, whole));
    ::DeleteObject(whole);
    ::DeleteObject(region);
}

// Catches an empty region handed to the window (which would hide it all).
TEST(FormShapeRegion, APictureOfTheKeyColourOnlyLeavesTheWindowRectangular) {
    ShapedHost shaped(TDib(5, 5, kWhite));
    EXPECT_EQ(shaped.ShownRegion(), nullptr);
    EXPECT_TRUE(shaped.shape->RegionApplied());
}

// Catches a monochrome bitmap keyed on its bottom-left pixel.
TEST(FormShapeRegion, AMonochromeBitmapIsKeyedOnWhite) {
    TDib picture = WhiteWithRed(4, 4, 0, 0, 4, 4);
    picture.SetPixel(3, 0, kWhite);
    picture.Monochrome = true;
    ShapedHost shaped(picture);
    HRGN region = shaped.ShownRegion();
    ASSERT_NE(region, nullptr);
    EXPECT_TRUE(::PtInRegion(region, 0, 3));
    EXPECT_FALSE(::PtInRegion(region, 3, 0));
    ::DeleteObject(region);
}

// Catches a region rebuilt at a later show.
TEST(FormShapeRegion, ShowingAgainKeepsTheFirstRegion) {
    ShapedHost shaped(WhiteWithRed(10, 6, 2, 1, 10, 5));
    ::DeleteObject(shaped.ShownRegion());
    ::ShowWindow(shaped.host.Handle(), SW_HIDE);
    shaped.shape->SetPicture(TDib(10, 6, kRed));
    HRGN region = shaped.ShownRegion();
    ASSERT_NE(region, nullptr);
    EXPECT_FALSE(::PtInRegion(region, 0, 0));
    ::DeleteObject(region);
}

// Catches a drag tied to the left button, or one that does not end on the
// release of the button that started it.
TEST(FormShapeDrag, AnyButtonMovesTheFormUntilItsOwnRelease) {
    ShapedHost shaped(TDib(60, 40, kRed));
    HWND form = shaped.host.Handle();
    ::ShowWindow(form, SW_SHOWNOACTIVATE);
    const POINT start = shaped.Position();
    ::SendMessageW(form, WM_RBUTTONDOWN, MK_RBUTTON, At(5, 5));
    EXPECT_TRUE(shaped.shape->MovingByHand());
    ::SendMessageW(form, WM_MOUSEMOVE, MK_RBUTTON, At(25, 15));
    POINT now = shaped.Position();
    EXPECT_EQ(now.x - start.x, 20);
    EXPECT_EQ(now.y - start.y, 10);
    // Another button's release does not end it.
    ::SendMessageW(form, WM_LBUTTONUP, 0, At(5, 5));
    EXPECT_TRUE(shaped.shape->MovingByHand());
    ::SendMessageW(form, WM_RBUTTONUP, 0, At(5, 5));
    EXPECT_FALSE(shaped.shape->MovingByHand());
    ::SendMessageW(form, WM_MOUSEMOVE, 0, At(30, 30));
    now = shaped.Position();
    EXPECT_EQ(now.x - start.x, 20);
}

// Catches a drag that ignores AllowFormDrag.
TEST(FormShapeDrag, NothingMovesWithoutAllowFormDrag) {
    ShapedHost shaped(TDib(60, 40, kRed));
    shaped.shape->SetAllowFormDrag(false);
    HWND form = shaped.host.Handle();
    ::ShowWindow(form, SW_SHOWNOACTIVATE);
    const POINT start = shaped.Position();
    ::SendMessageW(form, WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
    ::SendMessageW(form, WM_MOUSEMOVE, MK_LBUTTON, At(25, 15));
    EXPECT_FALSE(shaped.shape->MovingByHand());
    EXPECT_EQ(shaped.Position().x, start.x);
}

// Catches a form that keeps its frame (the picture would be offset).
TEST(FormShapeForm, TheFormLosesBorderAndTitle) {
    TTestHost host;
    ::SetWindowLongPtrW(host.Handle(), GWL_STYLE, WS_OVERLAPPEDWINDOW);
    TFormShape shape(host.Handle());
    const LONG_PTR style = ::GetWindowLongPtrW(host.Handle(), GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_THICKFRAME), 0);
}

}  // namespace
