// The Win32 update window over scripted steps, in a real window under the
// test display; the window logic itself is tested without a toolkit
// (WorkflowTest.cpp).
#include <gtest/gtest.h>

#include <chrono>

#include "win32/UpdateMain.h"

// clang-format off
#include "platform/win32/WindowsApi.h"
// clang-format on
#include "FakeSteps.h"
#include "RecordingHooks.h"
#include "platform/win32/WideText.h"
#include "workflow/WorkflowTexts.h"

namespace {

// Processes the thread's messages until `condition` holds or `timeoutMs`
// have passed; says whether it held.
template <typename Condition>
bool PumpUntil(Condition condition, int timeoutMs = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        MSG message{};
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        ::Sleep(5);
    }
    return true;
}

void PumpFor(int ms) {
    PumpUntil([] { return false; }, ms);
}

class Win32UpdateWindow : public ::testing::Test {
  protected:
    // Timings that keep the start-up timer from starting the download.
    static TWorkflowTimings Quiet() { return TWorkflowTimings{1000000, 0, 10000}; }

    TfrmUpdateMain::TEndLoop CountEnds() {
        return [this] { ++loopEnds; };
    }

    FakeSteps steps;
    RecordingHooks hooks;
    int loopEnds = 0;
};

// Catches a window built with other sizes or places than the Qt one.
TEST_F(Win32UpdateWindow, BuiltAsTheQtWindowIs) {
    TfrmUpdateMain window(steps, Quiet(), CountEnds());
    RECT frame{};
    ::GetWindowRect(window.Handle(), &frame);
    EXPECT_EQ(frame.right - frame.left, 423);
    EXPECT_EQ(frame.bottom - frame.top, 164);
    EXPECT_EQ(window.LabelCaption(), kStartText);
    EXPECT_EQ(window.LabelBounds().Left, 272);
    EXPECT_EQ(window.LabelBounds().Top, 42);
    EXPECT_EQ(window.BarBounds().Width, 1) << "the workflow starts the bar at 1";
    EXPECT_FALSE(window.btnOk->Enabled());
    EXPECT_TRUE(window.btnCancel->Enabled());
    wchar_t title[64] = {};
    ::GetWindowTextW(window.Handle(), title, 64);
    EXPECT_EQ(Narrow(title), kWindowCaption);
    EXPECT_TRUE(::GetWindowLongPtrW(window.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
}

// Catches a label cut to its first width, a bar that does not follow, and
// OK enabled without taking the focus.
TEST_F(Win32UpdateWindow, ShowsWhatTheWorkflowTellsIt) {
    TfrmUpdateMain window(steps, Quiet(), CountEnds());
    window.Show();
    const int startWidth = window.LabelBounds().Width;
    EXPECT_GT(startWidth, 0);
    window.Workflow->TcpClient1WorkEnd();
    PumpFor(50);
    EXPECT_EQ(window.LabelCaption(), kDoneText);
    EXPECT_GT(window.LabelBounds().Width, startWidth) << "the completion text is wider";
    EXPECT_EQ(window.BarBounds().Width, 389);
    EXPECT_TRUE(window.btnOk->Enabled());
    EXPECT_EQ(::GetFocus(), window.btnOk->Handle());
    window.SetBarWidth(42);
    EXPECT_EQ(window.BarBounds().Width, 42);
    window.Workflow->DownloadFailed();
    EXPECT_FALSE(window.btnOk->Enabled());
}

// Catches a region missing on the window, or one cut from the wrong colour:
// the 52 white corner pixels go, the rest of the 419 x 159 picture stays,
// the rightmost column included; beyond the picture nothing is seen.
TEST_F(Win32UpdateWindow, FirstShowCutsTheCornersOff) {
    TfrmUpdateMain window(steps, Quiet(), CountEnds());
    window.Show();
    HRGN region = ::CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(::GetWindowRgn(window.Handle(), region), ERROR);
    int outside = 0;
    for (int y = 0; y < 159; ++y) {
        for (int x = 0; x < 419; ++x) {
            outside += ::PtInRegion(region, x, y) ? 0 : 1;
        }
    }
    EXPECT_EQ(outside, 52);
    EXPECT_FALSE(::PtInRegion(region, 0, 0));
    EXPECT_TRUE(::PtInRegion(region, 418, 80));
    EXPECT_FALSE(::PtInRegion(region, 419, 80));
    EXPECT_FALSE(::PtInRegion(region, 200, 160));
    ::DeleteObject(region);
}

// Catches the start-up timer not delivered, or ticks counted while hidden.
TEST_F(Win32UpdateWindow, TheTimerStartsTheDownloadOnTheSecondShownTick) {
    TfrmUpdateMain window(steps, TWorkflowTimings{50, 0, 10000}, CountEnds());
    PumpFor(200);
    EXPECT_EQ(window.Workflow->TickCount, 0) << "hidden, ticks do not count";
    window.Show();
    ASSERT_TRUE(PumpUntil([&] { return steps.downloads == 1; }));
    EXPECT_EQ(window.Workflow->TickCount, 2);
    PumpFor(200);
    EXPECT_EQ(steps.downloads, 1);
    EXPECT_EQ(window.Workflow->TickCount, 2) << "the timer stops at the download";
}

// Catches Enter reaching Cancel at start, or not pressing OK once ready.
TEST_F(Win32UpdateWindow, EnterPressesOkOnlyOnceTheDownloadIsComplete) {
    TfrmUpdateMain window(steps, Quiet(), CountEnds());
    window.Show();
    ::SendMessageW(window.Handle(), WM_KEYDOWN, VK_RETURN, 1);
    EXPECT_EQ(steps.installs, 0);
    EXPECT_TRUE(window.Shown());
    window.Workflow->TcpClient1WorkEnd();
    ::SendMessageW(window.Handle(), WM_KEYDOWN, VK_RETURN, 1);
    EXPECT_EQ(steps.installs, 1);
}

// Catches Cancel not wired to the workflow, or a close that leaves the
// message loop running.
TEST_F(Win32UpdateWindow, CancelClosesTheWindowAndEndsTheLoop) {
    TfrmUpdateMain window(steps, Quiet(), CountEnds());
    window.Show();
    HWND cancel = window.btnCancel->Handle();
    ::SendMessageW(cancel, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    ::SendMessageW(cancel, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_FALSE(window.Shown());
    EXPECT_TRUE(window.Workflow->Closing());
    EXPECT_GE(loopEnds, 1);
    EXPECT_EQ(steps.downloads, 0);
}

// Catches a deferred action run at once, twice, or after the window is gone.
TEST_F(Win32UpdateWindow, DeferredActionsRunFromTheLoopWhileTheWindowLives) {
    int runs = 0;
    TfrmUpdateMain window(steps, Quiet(), CountEnds());
    window.Defer([&runs] { ++runs; });
    EXPECT_EQ(runs, 0);
    EXPECT_TRUE(PumpUntil([&] { return runs == 1; }, 2000));
    window.Defer([&runs] { ++runs; });
    window.Close();
    PumpFor(100);
    EXPECT_EQ(runs, 1);
    window.Defer([&runs] { ++runs; });
    PumpFor(50);
    EXPECT_EQ(runs, 1);
}

// Catches a closed window still drawing: a null window stands for the whole
// screen, and invalidating it would repaint every window there is.
TEST_F(Win32UpdateWindow, AClosedWindowTouchesNoOtherWindow) {
    TfrmUpdateMain other(steps, Quiet(), CountEnds());
    other.Show();
    TfrmUpdateMain window(steps, Quiet(), CountEnds());
    window.Close();
    ::UpdateWindow(other.Handle());
    ASSERT_FALSE(::GetUpdateRect(other.Handle(), nullptr, FALSE));
    window.SetLabelCaption(kDoneText);
    window.SetBarWidth(200);
    window.SetOkEnabled(true);
    window.StartTimer(10);
    EXPECT_FALSE(::GetUpdateRect(other.Handle(), nullptr, FALSE));
    EXPECT_EQ(window.LabelCaption(), kDoneText);
    EXPECT_FALSE(window.Shown());
}

// Catches presses on the label or the bar moving the form, and the body
// not moving it.
TEST_F(Win32UpdateWindow, OnlyTheBodyMovesTheForm) {
    TfrmUpdateMain window(steps, Quiet(), CountEnds());
    window.Show();
    HWND form = window.Handle();
    ::SendMessageW(form, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(280, 46));
    EXPECT_FALSE(window.FormShape1->MovingByHand()) << "the label";
    ::SendMessageW(form, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 88));
    EXPECT_FALSE(window.FormShape1->MovingByHand()) << "the bar";
    ::SendMessageW(form, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 20));
    EXPECT_TRUE(window.FormShape1->MovingByHand());
    ::SendMessageW(form, WM_LBUTTONUP, 0, MAKELPARAM(100, 20));
    EXPECT_FALSE(window.FormShape1->MovingByHand());
}

}  // namespace
