#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "skin/win32/ButtonBitmaps.h"
#include "skin/win32/NativeWindow.h"

enum TButtonBorder { bbNone, bbSingle, bbButton };
enum TButtonState : uint8_t { StateUp = 0, StateDisabled = 1, StateDown = 2, StateExclusive = 3 };

// A push button drawn entirely from bitmaps: one image per state with one
// colour left out, an optional caption and border, and optional grouping
// into latching buttons. It is sized to its Up image (plus its border) and
// every paint goes through an off-screen bitmap; without a border the
// parent's own painting (WM_PRINTCLIENT) shows where the image is left out.
// The click comes on a left-button release over the button, on the release
// of any key after Space was pressed, and at once on Enter.
class TBmpButton : public TNativeWindow {
  public:
    // A child of `parent` at (x, y), focusable with Tab.
    TBmpButton(HWND parent, int x, int y, int width, int height);

    TButtonBitmaps& Bitmaps() { return bitmaps_; }
    const TButtonBitmaps& Bitmaps() const { return bitmaps_; }

    TButtonBorder ButtonBorder() const { return buttonBorder_; }
    void SetButtonBorder(TButtonBorder value);
    // UTF-8; drawn centred in the parent's font.
    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& caption);
    int CaptionDownOffset() const { return captionDownOffset_; }
    void SetCaptionDownOffset(int value);
    bool ShowFocus() const { return showFocus_; }
    void SetShowFocus(bool value);

    // Latching: a non-zero group index makes a completed click toggle Down,
    // and a button going down raises the others of its group.
    int GroupIndex() const { return groupIndex_; }
    void SetGroupIndex(int value);
    bool AllowAllUp() const { return allowAllUp_; }
    void SetAllowAllUp(bool value);
    bool Down() const { return down_; }
    void SetDown(bool value);

    // The mouse pointer over the button; none keeps the arrow.
    void SetCursor(HCURSOR cursor) { cursor_ = cursor; }

    bool Enabled() const;
    void SetEnabled(bool enabled);

    TButtonState ButtonState() const { return buttonState_; }
    bool Dragging() const { return dragging_; }
    bool HasFocus() const { return hasFocus_; }

    // Raises OnClick. The handler may destroy the button's window (or its
    // parent); nothing of the button is used after it.
    void Click();

    std::function<void()> OnClick;

  protected:
    MessageResult HandleMessage(unsigned message, MessageWParam wParam,
                                MessageLParam lParam) override;

  private:
    // Messages by kind; each gives true when it handled the message.
    bool HandleMouse(unsigned message, MessageLParam lParam);
    bool HandleKey(unsigned message, MessageWParam wParam, MessageLParam lParam);
    void HandleFocus(bool gained);
    void Press();
    void FinishPress(bool doClick);
    void UpdateExclusive();
    void GroupChanged(int groupIndex, const TBmpButton& sender);
    bool IsOver(MessageLParam lParam) const;
    void ApplySizeRule();
    void FixStateForEnabled();
    void Invalidate();
    void Repaint();
    const TDib& ChooseImage(TDib& embossed) const;
    void Paint(HDC target);
    void PaintCaption(HDC dc, int left, int top, int right, int bottom) const;

    TButtonBitmaps bitmaps_;
    TButtonBorder buttonBorder_ = bbNone;
    std::string caption_;
    int captionDownOffset_ = 1;
    bool showFocus_ = true;
    int groupIndex_ = 0;
    bool allowAllUp_ = false;
    bool down_ = false;
    HCURSOR cursor_ = nullptr;

    TButtonState buttonState_ = StateUp;
    bool dragging_ = false;
    bool hasFocus_ = false;
};
