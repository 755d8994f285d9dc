#pragma once

#include <functional>
#include <memory>
#include <string>

#include "skin/ButtonState.h"
#include "skin/win32/ButtonBitmaps.h"
#include "skin/win32/NativeWindow.h"

// A push button drawn entirely from bitmaps: one image per state with one
// colour left out, an optional caption and border, and optional grouping
// into latching buttons. It is sized to its Up image (plus its border) and
// every paint goes through an off-screen bitmap; without a border the
// parent's own painting (WM_PRINTCLIENT) shows where the image is left out.
// The click comes on a left-button release over the button, on the release
// of any key after Space was pressed, and at once on Enter.
class TBmpButton : public TNativeWindow, private IButtonHost {
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
    int GroupIndex() const { return state_.GroupIndex(); }
    void SetGroupIndex(int value) { state_.SetGroupIndex(value); }
    bool AllowAllUp() const { return state_.AllowAllUp(); }
    void SetAllowAllUp(bool value) { state_.SetAllowAllUp(value); }
    bool Down() const { return state_.Down(); }
    void SetDown(bool value) { state_.SetDown(value); }

    // The mouse pointer over the button; none keeps the arrow.
    void SetCursor(HCURSOR cursor) { cursor_ = cursor; }

    bool Enabled() const;
    void SetEnabled(bool enabled);

    TButtonState ButtonState() const { return state_.ButtonState(); }
    bool Dragging() const { return state_.Dragging(); }
    bool HasFocus() const { return state_.HasFocus(); }

    // Raises OnClick. The handler may destroy the button's window (or its
    // parent); nothing of the button is used after it.
    void Click() override;

    std::function<void()> OnClick;

  protected:
    MessageResult HandleMessage(unsigned message, MessageWParam wParam,
                                MessageLParam lParam) override;

  private:
    // Messages by kind; each gives true when it handled the message.
    bool HandleMouse(unsigned message, MessageLParam lParam);
    bool HandleKey(unsigned message, MessageWParam wParam, MessageLParam lParam);
    bool IsOver(MessageLParam lParam) const;
    void ApplySizeRule();
    void FixStateForEnabled();
    void Invalidate() override;
    void Repaint() override;
    void ReleasePointer() override;
    bool TellGroup(int groupIndex, const TBmpButtonState& sender) override;
    const TDib& ChooseImage(TDib& embossed) const;
    void Paint(HDC target);
    void PaintCaption(HDC dc, int left, int top, int right, int bottom) const;

    TButtonBitmaps bitmaps_;
    TButtonBorder buttonBorder_ = bbNone;
    std::string caption_;
    int captionDownOffset_ = 1;
    bool showFocus_ = true;
    HCURSOR cursor_ = nullptr;
    TBmpButtonState state_{*this};
};
