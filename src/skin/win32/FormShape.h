#pragma once

#include <cstdint>
#include <optional>
#include <utility>

#include "skin/win32/Dib.h"
#include "skin/win32/WinHandles.h"

// Turns its form into a window of the picture's shape: it removes the
// form's border and title bar, cuts the form down to the picture's pixels
// that are not of the transparent colour (once, at the form's first show)
// and moves the form while a mouse button pressed on it is held, until that
// same button is released. It is no window of its own: the form paints it
// first (Paint) and hands it the messages that reach the picture
// (HandleMessage); presses on the form's other controls are not its own.
class TFormShape {
  public:
    // `form` must outlive this object.
    explicit TFormShape(HWND form);
    virtual ~TFormShape() = default;
    TFormShape(const TFormShape&) = delete;
    TFormShape& operator=(const TFormShape&) = delete;

    const TDib& Picture() const { return picture_; }
    void SetPicture(TDib picture) { picture_ = std::move(picture); }

    // Unset: the picture's bottom-left pixel decides (white for monochrome).
    const std::optional<uint32_t>& TransparentColor() const { return transparentColor_; }
    void SetTransparentColor(const std::optional<uint32_t>& colour) { transparentColor_ = colour; }
    uint32_t TransparentKey() const;

    bool AllowFormDrag() const { return allowFormDrag_; }
    void SetAllowFormDrag(bool allow) { allowFormDrag_ = allow; }
    bool RegionApplied() const { return regionApplied_; }
    bool MovingByHand() const { return dragButton_ != 0; }

    // The form's show handler: applies the region the first time only. A
    // picture without a pixel to keep leaves the form rectangular.
    void ApplyRegion();

    // The union of the bitmap's pixels that are not of the key colour, in
    // bitmap coordinates; null when there is none. The caller owns it.
    virtual HRGN BuildRegion(const TDib& bitmap);

    // Draws the picture at the form's top-left corner, its transparent
    // colour left out.
    void Paint(HDC dc) const;

    // Takes the form's first show and the mouse messages of a drag; gives
    // true for a message it handled (the form then does nothing more).
    bool HandleMessage(unsigned message, MessageWParam wParam, MessageLParam lParam);

  private:
    // The key colour of `bitmap` under this control's transparent colour.
    uint32_t KeyOf(const TDib& bitmap) const;
    void StartDrag(unsigned button, MessageLParam lParam);
    void FollowMouse(MessageLParam lParam);

    HWND form_;
    TDib picture_;
    std::optional<uint32_t> transparentColor_;
    bool allowFormDrag_ = true;
    bool regionApplied_ = false;
    // The mouse-button-down message of the button moving the form, 0 while
    // the form is not moved by hand.
    unsigned dragButton_ = 0;
    int grabX_ = 0;
    int grabY_ = 0;
};
