// The Win32 message hooks with a real MessageBoxW, answered from a timer
// that runs inside the box's own message loop.
#include <gtest/gtest.h>

#include "win32/Win32Hooks.h"

// clang-format off
#include "platform/win32/WindowsApi.h"
// clang-format on
#include "FakeSteps.h"
#include "platform/MessageHooks.h"
#include "win32/UpdateMain.h"

namespace {

// What the timer found while the box was open. A timer procedure takes no
// context of its own, so the test hands it this one through a pointer.
struct BoxSeen {
    HWND owner = nullptr;
    bool hasCancel = false;
    bool found = false;
};
BoxSeen* seen = nullptr;

BOOL CALLBACK FindBox(HWND window, LPARAM) {
    wchar_t name[16] = {};
    ::GetClassNameW(window, name, 16);
    if (std::wstring(name) != L"#32770" || !::IsWindowVisible(window)) {
        return TRUE;
    }
    seen->found = true;
    seen->owner = ::GetWindow(window, GW_OWNER);
    seen->hasCancel = ::GetDlgItem(window, IDCANCEL) != nullptr;
    ::PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    return FALSE;
}

void CALLBACK AnswerBox(HWND, UINT, UINT_PTR, DWORD) {
    if (!seen->found) {
        ::EnumThreadWindows(::GetCurrentThreadId(), FindBox, 0);
    }
}

// Catches a box without the window as owner (it could hide beneath the
// window that stays on top), flags not passed on, or the answer lost.
TEST(Win32Hooks, TheBoxBelongsToTheWindowAndGivesThePressedButton) {
    FakeSteps steps;
    TfrmUpdateMain window(steps, TWorkflowTimings{1000000, 0, 10000}, [] {});
    window.Show();
    const MessageBoxHook previousBox = SetMessageBoxHook(nullptr);
    const ProcessMessagesHook previousPump = SetProcessMessagesHook(nullptr);
    InstallWin32Hooks([&window] { return window.Handle(); });
    BoxSeen box;
    seen = &box;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, AnswerBox);
    const int answer = AppMessageBox("text", "caption", MB_OKCANCEL | MB_ICONEXCLAMATION);
    ::KillTimer(nullptr, timer);
    seen = nullptr;
    SetMessageBoxHook(previousBox);
    SetProcessMessagesHook(previousPump);
    ASSERT_TRUE(box.found);
    EXPECT_EQ(box.owner, window.Handle());
    EXPECT_TRUE(box.hasCancel);
    EXPECT_EQ(answer, IDCANCEL);
}

}  // namespace
