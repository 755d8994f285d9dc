#include "win32/UpdateMain.h"

// clang-format off
#include "platform/win32/WindowsApi.h"
// clang-format on
#include "platform/ScopeExit.h"
#include "platform/win32/WideText.h"
#include "workflow/WorkflowTexts.h"

namespace {

constexpr const wchar_t* kClassName = L"ZuvoUpdateMain";
constexpr int kWidth = 423;
constexpr int kHeight = 164;
constexpr UINT_PTR kTimerId = 1;
// Carries a deferred action's number; the action itself stays with the
// window, so a message that never arrives loses nothing but the number.
constexpr UINT kDeferMessage = WM_APP + 1;
// The window's face: 宋体 (SimSun), GB2312 character set, 12 pixels.
constexpr const wchar_t* kFaceName = L"\u5B8B\u4F53";

HFONT NewWindowFont() {
    return ::CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                         DEFAULT_PITCH | FF_DONTCARE, kFaceName);
}

bool Contains(const TBounds& bounds, int x, int y) {
    return x >= bounds.Left && x < bounds.Left + bounds.Width && y >= bounds.Top &&
           y < bounds.Top + bounds.Height;
}

RECT ToRect(const TBounds& bounds) {
    return {bounds.Left, bounds.Top, bounds.Left + bounds.Width, bounds.Top + bounds.Height};
}

}  // namespace

TfrmUpdateMain::TfrmUpdateMain(IUpdateSteps& steps, TWorkflowTimings timings, TEndLoop endLoop)
    : caption_(kStartText), endLoop_(std::move(endLoop)) {
    if (!endLoop_) {
        endLoop_ = [] { ::PostQuitMessage(0); };
    }
    font_ = NewWindowFont();
    Create({kClassName, WS_POPUP | WS_CLIPCHILDREN, WS_EX_TOPMOST | WS_EX_APPWINDOW, nullptr, 0, 0,
            kWidth, kHeight, Widen(kWindowCaption)});
    CreateControls();
    Workflow = std::make_unique<TUpdateWorkflow>(*this, steps, timings);
}

TfrmUpdateMain::~TfrmUpdateMain() {
    // The children first, while the window and its font are still there.
    btnOk.reset();
    btnCancel.reset();
    if (font_) {
        ::DeleteObject(font_);
    }
}

std::unique_ptr<TBmpButton> TfrmUpdateMain::NewButton(const std::wstring& name, int x, int y) {
    auto button = std::make_unique<TBmpButton>(Handle(), x, y, 64, 22);
    TButtonBitmaps& bitmaps = button->Bitmaps();
    bitmaps.SetUp(LoadBitmapResource(nullptr, name + L"_UP"));
    bitmaps.SetDown(LoadBitmapResource(nullptr, name + L"_DOWN"));
    bitmaps.SetDisabled(LoadBitmapResource(nullptr, name + L"_DISABLED"));
    // The buttons have no caption to frame: the focus shows in the image.
    bitmaps.SetUpAndFocused(LoadBitmapResource(nullptr, name + L"_FOCUSED"));
    bitmaps.SetTransparentColor(0x808000);
    button->SetCursor(::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
    return button;
}

void TfrmUpdateMain::CreateControls() {
    FormShape1 = std::make_unique<TFormShape>(Handle());
    FormShape1->SetPicture(LoadBitmapResource(nullptr, L"BACKGROUND"));
    barBack_ = LoadBitmapResource(nullptr, L"BAR_BACK");
    barFill_ = LoadBitmapResource(nullptr, L"BAR_FILL");
    btnOk = NewButton(L"OK", 264, 126);
    btnOk->SetEnabled(false);
    btnCancel = NewButton(L"CANCEL", 336, 126);
    btnOk->OnClick = [this] { Workflow->btnOkClick(); };
    btnCancel->OnClick = [this] { Workflow->btnCancelClick(); };
    SetLabelCaption(caption_);
}

void TfrmUpdateMain::Show() {
    const int x = (::GetSystemMetrics(SM_CXSCREEN) - kWidth) / 2;
    const int y = (::GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2;
    ::SetWindowPos(Handle(), HWND_TOPMOST, x, y, 0, 0, SWP_NOSIZE);
    ::ShowWindow(Handle(), SW_SHOW);
    ::UpdateWindow(Handle());
    ::SetForegroundWindow(Handle());
    // Left to the system, Enter could reach Cancel; the window keeps it.
    ::SetFocus(Handle());
}

void TfrmUpdateMain::SetLabelCaption(const std::string& caption) {
    caption_ = caption;
    if (!Handle()) {
        // Closed: nothing is shown any more (and a null window would stand
        // for the whole screen below).
        return;
    }
    // The label sizes itself to its caption: the completion text is wider
    // than the start text.
    const std::wstring text = Widen(caption);
    HDC dc = ::GetDC(Handle());
    ScopeExit releaseDc([&] { ::ReleaseDC(Handle(), dc); });
    HGDIOBJ previous = ::SelectObject(dc, font_);
    SIZE extent{};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    ::SelectObject(dc, previous);
    const RECT old = ToRect(label_);
    label_.Width = extent.cx;
    ::InvalidateRect(Handle(), &old, FALSE);
    const RECT now = ToRect(label_);
    ::InvalidateRect(Handle(), &now, FALSE);
}

void TfrmUpdateMain::SetBarWidth(int width) {
    image2_.Width = width;
    if (Handle()) {
        const RECT bar = ToRect(image1_);
        ::InvalidateRect(Handle(), &bar, FALSE);
    }
}

void TfrmUpdateMain::SetOkEnabled(bool enabled) {
    btnOk->SetEnabled(enabled);
    if (enabled && btnOk->Handle()) {
        // The download is complete: OK is what Enter should press now.
        ::SetFocus(btnOk->Handle());
    }
}

void TfrmUpdateMain::StartTimer(int intervalMs) {
    if (!Handle()) {
        return;
    }
    ::SetTimer(Handle(), kTimerId, static_cast<UINT>(intervalMs), nullptr);
}

void TfrmUpdateMain::StopTimer() {
    if (Handle()) {
        ::KillTimer(Handle(), kTimerId);
    }
}

void TfrmUpdateMain::Close() {
    if (Handle()) {
        ::SendMessageW(Handle(), WM_CLOSE, 0, 0);
    }
}

bool TfrmUpdateMain::Shown() const { return Handle() && ::IsWindowVisible(Handle()); }

void TfrmUpdateMain::EndProgram() { endLoop_(); }

void TfrmUpdateMain::Defer(std::function<void()> action) {
    const uint64_t id = ++lastDeferred_;
    deferred_.emplace(id, std::move(action));
    if (!Handle() || !::PostMessageW(Handle(), kDeferMessage, static_cast<WPARAM>(id), 0)) {
        deferred_.erase(id);
    }
}

void TfrmUpdateMain::RunDeferred(uint64_t id) {
    const auto found = deferred_.find(id);
    if (found == deferred_.end()) {
        return;
    }
    const std::function<void()> action = std::move(found->second);
    deferred_.erase(found);
    action();
}

bool TfrmUpdateMain::OnGraphicControl(MessageLParam lParam) const {
    const int x = static_cast<short>(LOWORD(lParam));
    const int y = static_cast<short>(HIWORD(lParam));
    return Contains(label_, x, y) || Contains(image1_, x, y) || Contains(image2_, x, y);
}

bool TfrmUpdateMain::HandleKey(MessageWParam key) {
    if (key == VK_RETURN) {
        // OK is the default button: Enter presses it wherever the focus is,
        // unless a button that handles Enter itself holds it.
        if (btnOk->Enabled()) {
            btnOk->Click();
        }
        return true;
    }
    if (key == VK_TAB) {
        if (HWND next = ::GetNextDlgTabItem(Handle(), nullptr, FALSE)) {
            ::SetFocus(next);
        }
        return true;
    }
    return false;
}

void TfrmUpdateMain::PaintContent(HDC dc) const {
    RECT client{0, 0, kWidth, kHeight};
    ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_BTNFACE));
    FormShape1->Paint(dc);
    DrawDib(dc, barBack_, image1_.Left, image1_.Top, image1_.Width, image1_.Height);
    DrawDib(dc, barFill_, image2_.Left, image2_.Top, image2_.Width, image2_.Height);
    const std::wstring text = Widen(caption_);
    HGDIOBJ previous = ::SelectObject(dc, font_);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
    RECT label = ToRect(label_);
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &label,
                DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP | DT_NOPREFIX);
    ::SelectObject(dc, previous);
}

void TfrmUpdateMain::Paint() {
    PAINTSTRUCT paint{};
    HDC target = ::BeginPaint(Handle(), &paint);
    ScopeExit endPaint([&] { ::EndPaint(Handle(), &paint); });
    HDC dc = ::CreateCompatibleDC(target);
    ScopeExit freeDc([&] { ::DeleteDC(dc); });
    HBITMAP buffer = ::CreateCompatibleBitmap(target, kWidth, kHeight);
    ScopeExit freeBuffer([&] { ::DeleteObject(buffer); });
    HGDIOBJ previous = ::SelectObject(dc, buffer);
    ScopeExit restore([&] { ::SelectObject(dc, previous); });
    PaintContent(dc);
    ::BitBlt(target, 0, 0, kWidth, kHeight, dc, 0, 0, SRCCOPY);
}

void TfrmUpdateMain::Destroyed() {
    ::KillTimer(Handle(), kTimerId);
    deferred_.clear();
    endLoop_();
}

MessageResult TfrmUpdateMain::HandleMessage(unsigned message, MessageWParam wParam,
                                            MessageLParam lParam) {
    const bool press =
        message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN;
    // A press on the label or an image is theirs: it does not move the form.
    const bool forShape = FormShape1 && !(press && OnGraphicControl(lParam));
    if (forShape && FormShape1->HandleMessage(message, wParam, lParam)) {
        return 0;
    }
    switch (message) {
        case WM_PAINT:
            Paint();
            return 0;
        case WM_PRINTCLIENT:
            PaintContent(reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_GETFONT:
            return reinterpret_cast<MessageResult>(font_);
        case WM_TIMER:
            if (wParam == kTimerId && Workflow) {
                Workflow->Timer1Timer();
            }
            return 0;
        case WM_KEYDOWN:
            if (HandleKey(wParam)) {
                return 0;
            }
            break;
        case kDeferMessage:
            RunDeferred(static_cast<uint64_t>(wParam));
            return 0;
        case WM_CLOSE:
            // A download running below this message stops before the end.
            if (Workflow) {
                Workflow->FormClose();
            }
            ::DestroyWindow(Handle());
            return 0;
        case WM_DESTROY:
            Destroyed();
            return 0;
        default:
            break;
    }
    return DefaultHandling(message, wParam, lParam);
}
