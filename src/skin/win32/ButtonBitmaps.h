#pragma once

#include <cstdint>
#include <functional>

#include "skin/win32/Dib.h"

// The images of one bitmap button, one per visual state, and the colour
// (0xRRGGBB) that is left out when they are drawn. Every change is reported
// through OnChange; setting what is already held changes nothing.
class TButtonBitmaps {
  public:
    using TNotifyEvent = std::function<void()>;

    const TDib& Up() const { return up_; }
    const TDib& UpAndFocused() const { return upAndFocused_; }
    const TDib& Down() const { return down_; }
    const TDib& StayDown() const { return stayDown_; }
    const TDib& Disabled() const { return disabled_; }
    uint32_t TransparentColor() const { return transparentColor_; }

    void SetUp(const TDib& image) { Assign(up_, image); }
    void SetUpAndFocused(const TDib& image) { Assign(upAndFocused_, image); }
    void SetDown(const TDib& image) { Assign(down_, image); }
    void SetStayDown(const TDib& image) { Assign(stayDown_, image); }
    void SetDisabled(const TDib& image) { Assign(disabled_, image); }
    void SetTransparentColor(uint32_t colour) {
        if (colour != transparentColor_) {
            transparentColor_ = colour;
            Changed();
        }
    }

    TNotifyEvent OnChange;

  private:
    void Assign(TDib& held, const TDib& image) {
        if (!(held == image)) {
            held = image;
            Changed();
        }
    }
    void Changed() {
        if (OnChange) {
            OnChange();
        }
    }

    TDib up_;
    TDib upAndFocused_;
    TDib down_;
    TDib stayDown_;
    TDib disabled_;
    uint32_t transparentColor_ = 0x808000;  // olive
};
