#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "skin/ButtonState.h"

namespace {

// A host that records what the state asked of it and passes group news to
// the states that share its parent (none when it has no parent).
struct FakeHost : IButtonHost {
    void Invalidate() override { ++invalidates; }
    void Repaint() override { ++repaints; }
    void ReleasePointer() override { ++releases; }
    bool TellGroup(int groupIndex, const TBmpButtonState& sender) override {
        for (TBmpButtonState* sibling : *siblings) {
            sibling->GroupChanged(groupIndex, sender);
        }
        return hasParent;
    }
    void Click() override {
        ++clicks;
        // A copy: the handler may destroy this host, and itself with it.
        const std::function<void()> handler = onClick;
        if (handler) {
            handler();
        }
    }

    int invalidates = 0;
    int repaints = 0;
    int releases = 0;
    int clicks = 0;
    bool hasParent = true;
    std::vector<TBmpButtonState*>* siblings = &noSiblings;
    std::vector<TBmpButtonState*> noSiblings;
    std::function<void()> onClick;
};

// A button of group 1 beside `siblings`, its own state among them.
struct GroupedButton {
    explicit GroupedButton(std::vector<TBmpButtonState*>& siblings) {
        host.siblings = &siblings;
        siblings.push_back(&state);
        state.SetGroupIndex(1);
    }
    FakeHost host;
    TBmpButtonState state{host};
};

}  // namespace

// A latched button pressed and released outside must stay latched: the
// release must not drop it to StateUp.
TEST(ButtonState, LatchedButtonReleasedOutsideStaysLatched) {
    std::vector<TBmpButtonState*> siblings;
    GroupedButton button(siblings);
    button.state.Press();
    button.state.PointerReleased(true);
    ASSERT_TRUE(button.state.Down());
    button.state.Press();
    EXPECT_EQ(button.state.ButtonState(), StateExclusive) << "a latched button looks latched";
    button.state.PointerMoved(true);
    EXPECT_EQ(button.state.ButtonState(), StateExclusive);
    button.state.PointerReleased(false);
    EXPECT_TRUE(button.state.Down());
    EXPECT_EQ(button.state.ButtonState(), StateExclusive);
    EXPECT_EQ(button.host.clicks, 1);
}

// A grouped button without a parent has nobody to tell and shows StateUp.
TEST(ButtonState, GroupWithoutParentFallsBackToUp) {
    FakeHost host;
    host.hasParent = false;
    TBmpButtonState state(host);
    state.SetGroupIndex(2);
    state.SetDown(true);
    EXPECT_TRUE(state.Down());
    state.SetAllowAllUp(true);
    EXPECT_EQ(state.ButtonState(), StateUp);
}

// Disabling during a press ends it and gives the mouse back exactly once;
// enabling again shows StateUp.
TEST(ButtonState, DisablingEndsAPressAndReleasesThePointer) {
    FakeHost host;
    TBmpButtonState state(host);
    state.Press();
    state.FixStateForEnabled(false);
    EXPECT_FALSE(state.Dragging());
    EXPECT_EQ(state.ButtonState(), StateDisabled);
    state.FixStateForEnabled(false);
    EXPECT_EQ(host.releases, 1);
    state.PointerReleased(true);
    EXPECT_EQ(host.clicks, 0);
    state.FixStateForEnabled(true);
    EXPECT_EQ(state.ButtonState(), StateUp);
}

// Losing the focus or the mouse cancels a press without a click; a key
// released afterwards clicks nothing.
TEST(ButtonState, CancelledPressNeverClicks) {
    FakeHost host;
    TBmpButtonState state(host);
    EXPECT_FALSE(state.CancelPress());
    state.Press();
    state.FocusChanged(false);
    EXPECT_FALSE(state.Dragging());
    state.KeyReleased();
    state.PointerReleased(true);
    EXPECT_EQ(host.clicks, 0);
    EXPECT_EQ(host.releases, 0) << "the mouse was never held by a cancelled press";
}

// The click handler may destroy the button; the state must not be touched
// after it (the sanitizer build catches a use after free).
TEST(ButtonState, ClickHandlerMayDestroyTheState) {
    std::vector<TBmpButtonState*> siblings;
    auto button = std::make_unique<GroupedButton>(siblings);
    button->host.onClick = [&] {
        siblings.clear();
        button.reset();
    };
    button->state.Press();
    button->state.KeyReleased();
    EXPECT_EQ(button, nullptr);
}
