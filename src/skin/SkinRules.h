#pragma once

#include <cstdint>
#include <optional>

// Rules of the skinned controls that hold for every toolkit that draws them.
// Colours are 0xRRGGBB; any higher byte (alpha) is ignored.

// Colours are compared on red, green and blue only.
constexpr uint32_t RgbKey(uint32_t colour) { return colour & 0x00FFFFFFu; }

constexpr uint32_t kWhiteKey = 0x00FFFFFFu;

// The colour left out when a bitmap is drawn: the one set explicitly, or
// else the bottom-left pixel's colour, white for a monochrome bitmap.
constexpr uint32_t PickTransparentKey(const std::optional<uint32_t>& explicitColour,
                                      bool monochrome, uint32_t bottomLeftPixel) {
    if (explicitColour) {
        return RgbKey(*explicitColour);
    }
    return monochrome ? kWhiteKey : RgbKey(bottomLeftPixel);
}

// Calls addRun(left, y, right) (right exclusive) for every horizontal run of
// pixels for which isOpaque(x, y) holds, row by row from the top. A run that
// reaches the right edge includes the row's last pixel.
template <typename IsOpaque, typename AddRun>
void ScanOpaqueRuns(int width, int height, IsOpaque isOpaque, AddRun addRun) {
    for (int y = 0; y < height; ++y) {
        bool inRun = false;
        int start = 0;
        for (int x = 0; x < width; ++x) {
            if (isOpaque(x, y) == inRun) {
                continue;
            }
            if (inRun) {
                addRun(start, y, x);
            } else {
                start = x;
            }
            inRun = !inRun;
        }
        if (inRun) {
            addRun(start, y, width);
        }
    }
}
