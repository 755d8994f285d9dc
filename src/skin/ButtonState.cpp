#include "skin/ButtonState.h"

int BorderWidth(TButtonBorder border, bool newLook) {
    switch (border) {
        case bbSingle:
            return 1;
        case bbButton:
            return newLook ? 2 : 3;
        case bbNone:
            break;
    }
    return 0;
}

void TBmpButtonState::SetDown(bool value) {
    if (groupIndex_ == 0) {
        value = false;
    }
    if (value == down_ || (down_ && !allowAllUp_)) {
        return;
    }
    down_ = value;
    buttonState_ = value ? StateExclusive : StateUp;
    host_.Invalidate();
    if (value) {
        UpdateExclusive();
    }
}

void TBmpButtonState::SetGroupIndex(int value) {
    if (ChangeValue(groupIndex_, value)) {
        UpdateExclusive();
    }
}

void TBmpButtonState::SetAllowAllUp(bool value) {
    if (ChangeValue(allowAllUp_, value)) {
        UpdateExclusive();
    }
}

void TBmpButtonState::UpdateExclusive() {
    if (groupIndex_ == 0 || !host_.TellGroup(groupIndex_, *this)) {
        buttonState_ = StateUp;
    }
}

void TBmpButtonState::GroupChanged(int groupIndex, const TBmpButtonState& sender) {
    if (&sender == this || groupIndex != groupIndex_) {
        return;
    }
    if (sender.Down() && down_) {
        down_ = false;
        buttonState_ = StateUp;
        host_.Invalidate();
    }
    allowAllUp_ = sender.AllowAllUp();
}

void TBmpButtonState::Press() {
    if (!down_) {
        buttonState_ = StateDown;
        host_.Repaint();
    }
    dragging_ = true;
}

void TBmpButtonState::PointerMoved(bool inside) {
    if (!dragging_) {
        return;
    }
    const TButtonState state = down_ ? StateExclusive : inside ? StateDown : StateUp;
    if (state != buttonState_) {
        buttonState_ = state;
        host_.Repaint();
    }
}

void TBmpButtonState::PointerReleased(bool inside) {
    if (!dragging_) {
        return;
    }
    dragging_ = false;
    // Not dragging any more, so losing the mouse now cancels nothing.
    host_.ReleasePointer();
    UpdateExclusive();
    FinishPress(inside);
}

void TBmpButtonState::KeyReleased() {
    if (!dragging_) {
        return;
    }
    dragging_ = false;
    buttonState_ = StateUp;
    FinishPress(true);
}

void TBmpButtonState::FinishPress(bool doClick) {
    if (groupIndex_ == 0) {
        host_.Repaint();
    } else if (doClick) {
        SetDown(!down_);
    } else {
        // A press that ended outside leaves the latch as it was.
        buttonState_ = down_ ? StateExclusive : StateUp;
        host_.Repaint();
    }
    // Last: the click may destroy the button and this state with it.
    if (doClick) {
        host_.Click();
    }
}

bool TBmpButtonState::CancelPress() {
    if (!dragging_) {
        return false;
    }
    dragging_ = false;
    buttonState_ = down_ ? StateExclusive : StateUp;
    return true;
}

void TBmpButtonState::FocusChanged(bool gained) {
    hasFocus_ = gained;
    if (!gained) {
        // A press whose release goes to another window would otherwise
        // click at the next unrelated key release.
        CancelPress();
    }
    host_.Invalidate();
}

void TBmpButtonState::FixStateForEnabled(bool enabled) {
    if (enabled) {
        if (buttonState_ == StateDisabled) {
            buttonState_ = StateUp;
        }
        return;
    }
    buttonState_ = StateDisabled;
    if (dragging_) {
        dragging_ = false;
        host_.ReleasePointer();
    }
}
