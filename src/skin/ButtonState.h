#pragma once

#include <cstdint>

// The bitmap button's state and the rules that change it, written once for
// every toolkit that draws the button. The toolkit's button owns one and
// tells it what happened (a press, a move, a release, a key, focus, a
// change of Enabled); the state calls back through IButtonHost for what
// only the toolkit can do.

enum TButtonBorder { bbNone, bbSingle, bbButton };
enum TButtonState : uint8_t { StateUp = 0, StateDisabled = 1, StateDown = 2, StateExclusive = 3 };

// Pixels the size rule adds on each side of the Up image for `border`.
int BorderWidth(TButtonBorder border, bool newLook);

// Stores `value` in `field` when it differs from it; true when it did. For
// setters that do nothing when given the value they already hold.
template <typename T>
bool ChangeValue(T& field, const T& value) {
    if (field == value) {
        return false;
    }
    field = value;
    return true;
}

class TBmpButtonState;

// What the state needs of the button that owns it.
class IButtonHost {
  public:
    virtual ~IButtonHost() = default;
    // Paint at the toolkit's next chance.
    virtual void Invalidate() = 0;
    // Paint before returning, so a press shows while it is held.
    virtual void Repaint() = 0;
    // A press ended while the button held the mouse: let go of it.
    virtual void ReleasePointer() = 0;
    // Hands GroupChanged(groupIndex, sender) to every bitmap button that
    // shares this button's parent; false when the button has no parent.
    virtual bool TellGroup(int groupIndex, const TBmpButtonState& sender) = 0;
    // A completed press: raise the click. The handler may destroy the
    // button, this state with it.
    virtual void Click() = 0;
};

class TBmpButtonState {
  public:
    explicit TBmpButtonState(IButtonHost& host) : host_(host) {}
    TBmpButtonState(const TBmpButtonState&) = delete;
    TBmpButtonState& operator=(const TBmpButtonState&) = delete;

    TButtonState ButtonState() const { return buttonState_; }
    bool Dragging() const { return dragging_; }
    bool HasFocus() const { return hasFocus_; }
    bool Down() const { return down_; }
    int GroupIndex() const { return groupIndex_; }
    bool AllowAllUp() const { return allowAllUp_; }

    // Latching: Down stays false without a group, and a latched button
    // comes up only when its group allows all buttons up.
    void SetDown(bool value);
    void SetGroupIndex(int value);
    void SetAllowAllUp(bool value);

    // A left press or Space begins (the host checked enabled and focus).
    void Press();
    // The pointer moved; `inside` tells whether it is over the button.
    void PointerMoved(bool inside);
    // The left button came up; a release over the button clicks.
    void PointerReleased(bool inside);
    // Any key came up: a press held by Space ends with a click.
    void KeyReleased();
    // The press ends without a click because the button can no longer see
    // its end (focus or mouse went elsewhere); false when none was held.
    bool CancelPress();
    // Keeps HasFocus; losing the focus cancels a press. Invalidates.
    void FocusChanged(bool gained);
    // Disabled shows StateDisabled and ends a press; enabled again, StateUp.
    void FixStateForEnabled(bool enabled);
    // Another button of the parent announces a change in group `groupIndex`.
    void GroupChanged(int groupIndex, const TBmpButtonState& sender);

  private:
    void UpdateExclusive();
    void FinishPress(bool doClick);

    IButtonHost& host_;
    int groupIndex_ = 0;
    bool allowAllUp_ = false;
    bool down_ = false;
    TButtonState buttonState_ = StateUp;
    bool dragging_ = false;
    bool hasFocus_ = false;
};
