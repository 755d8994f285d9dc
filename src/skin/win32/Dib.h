#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "skin/win32/WinHandles.h"

// A bitmap held as 0xRRGGBB pixels, top row first: what the controls read
// their shapes and images from. Drawing turns it into a device-independent
// bitmap of 32 bits per pixel.
struct TDib {
    int Width = 0;
    int Height = 0;
    // The source had one bit per pixel (its transparent colour is white).
    bool Monochrome = false;
    std::vector<uint32_t> Pixels;

    TDib() = default;
    TDib(int width, int height, uint32_t fill);

    bool Empty() const { return Width <= 0 || Height <= 0; }
    uint32_t Pixel(int x, int y) const { return Pixels[static_cast<size_t>(y * Width + x)]; }
    void SetPixel(int x, int y, uint32_t colour) {
        Pixels[static_cast<size_t>(y * Width + x)] = colour;
    }
    bool operator==(const TDib&) const = default;
};

// The bitmap resource `name` of `module` (the program itself when null);
// throws when there is none.
TDib LoadBitmapResource(HINSTANCE module, const std::wstring& name);

// Draws `dib` at (x, y) stretched to width x height.
void DrawDib(HDC dc, const TDib& dib, int x, int y, int width, int height);

// Draws `dib` at (x, y) in its own size, leaving out its pixels of colour
// `key` (0xRRGGBB).
void DrawDibTransparent(HDC dc, const TDib& dib, int x, int y, uint32_t key);

// The embossed look of a disabled image: on a background of `face`, the
// image's mask once in white one pixel right of and below its place, then
// in `shadow` at its place. The mask holds the pixels that are neither of
// the key colour nor white (white pixels are the highlights, which stay
// face).
TDib EmbossedDib(const TDib& image, uint32_t key, uint32_t face, uint32_t shadow);

// A system colour (COLOR_* index) as 0xRRGGBB.
uint32_t SystemRgb(int index);
