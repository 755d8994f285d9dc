#include "skin/win32/Dib.h"

#include <cstring>
#include <stdexcept>

// clang-format off
#include "platform/win32/WindowsApi.h"
// clang-format on
#include "platform/ScopeExit.h"
#include "platform/win32/WideText.h"
#include "skin/SkinRules.h"

namespace {

// A 32-bit top-down description of `width` x `height` pixels.
BITMAPINFO TopDownInfo(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

COLORREF ToColorRef(uint32_t rgb) { return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

TDib FromBitmap(HBITMAP bitmap) {
    BITMAP shape{};
    if (::GetObjectW(bitmap, sizeof shape, &shape) == 0) {
        throw std::runtime_error("bitmap without a shape");
    }
    TDib dib(shape.bmWidth, shape.bmHeight, 0);
    dib.Monochrome = shape.bmBitsPixel == 1;
    BITMAPINFO info = TopDownInfo(dib.Width, dib.Height);
    HDC screen = ::GetDC(nullptr);
    ScopeExit releaseScreen([&] { ::ReleaseDC(nullptr, screen); });
    if (::GetDIBits(screen, bitmap, 0, static_cast<UINT>(dib.Height), dib.Pixels.data(), &info,
                    DIB_RGB_COLORS) != dib.Height) {
        throw std::runtime_error("bitmap pixels unreadable");
    }
    for (uint32_t& pixel : dib.Pixels) {
        pixel = RgbKey(pixel);
    }
    return dib;
}

}  // namespace

TDib::TDib(int width, int height, uint32_t fill)
    : Width(width), Height(height), Pixels(static_cast<size_t>(width) * height, fill) {}

TDib LoadBitmapResource(HINSTANCE module, const std::wstring& name) {
    HANDLE loaded = ::LoadImageW(module ? module : ::GetModuleHandleW(nullptr), name.c_str(),
                                 IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
    if (!loaded) {
        throw std::runtime_error("no bitmap resource " + Narrow(name));
    }
    ScopeExit freeBitmap([&] { ::DeleteObject(loaded); });
    return FromBitmap(static_cast<HBITMAP>(loaded));
}

void DrawDib(HDC dc, const TDib& dib, int x, int y, int width, int height) {
    if (dib.Empty()) {
        return;
    }
    const BITMAPINFO info = TopDownInfo(dib.Width, dib.Height);
    ::SetStretchBltMode(dc, COLORONCOLOR);
    ::StretchDIBits(dc, x, y, width, height, 0, 0, dib.Width, dib.Height, dib.Pixels.data(), &info,
                    DIB_RGB_COLORS, SRCCOPY);
}

void DrawDibTransparent(HDC dc, const TDib& dib, int x, int y, uint32_t key) {
    if (dib.Empty()) {
        return;
    }
    const BITMAPINFO info = TopDownInfo(dib.Width, dib.Height);
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap) {
        return;
    }
    ScopeExit freeBitmap([&] { ::DeleteObject(bitmap); });
    std::memcpy(bits, dib.Pixels.data(), dib.Pixels.size() * sizeof(uint32_t));
    HDC source = ::CreateCompatibleDC(dc);
    ScopeExit freeSource([&] { ::DeleteDC(source); });
    HGDIOBJ previous = ::SelectObject(source, bitmap);
    ScopeExit restoreSource([&] { ::SelectObject(source, previous); });
    ::TransparentBlt(dc, x, y, dib.Width, dib.Height, source, 0, 0, dib.Width, dib.Height,
                     ToColorRef(key));
}

TDib EmbossedDib(const TDib& image, uint32_t key, uint32_t face, uint32_t shadow) {
    TDib result(image.Width, image.Height, face);
    const auto inMask = [&](int x, int y) {
        const uint32_t colour = RgbKey(image.Pixel(x, y));
        return colour != RgbKey(key) && colour != kWhiteKey;
    };
    for (int y = 0; y + 1 < image.Height; ++y) {
        for (int x = 0; x + 1 < image.Width; ++x) {
            if (inMask(x, y)) {
                result.SetPixel(x + 1, y + 1, kWhiteKey);
            }
        }
    }
    for (int y = 0; y < image.Height; ++y) {
        for (int x = 0; x < image.Width; ++x) {
            if (inMask(x, y)) {
                result.SetPixel(x, y, RgbKey(shadow));
            }
        }
    }
    return result;
}

uint32_t SystemRgb(int index) {
    const COLORREF colour = ::GetSysColor(index);
    return (static_cast<uint32_t>(GetRValue(colour)) << 16) |
           (static_cast<uint32_t>(GetGValue(colour)) << 8) | GetBValue(colour);
}
