#include "skin/win32/NativeWindow.h"

#include <exception>
#include <stdexcept>

// clang-format off
#include "platform/win32/WindowsApi.h"
// clang-format on
#include "platform/ExceptionDisplay.h"
#include "platform/win32/WideText.h"

struct TNativeWindowAccess {
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT Dispatch(TNativeWindow& self, UINT message, WPARAM wParam, LPARAM lParam);
};

namespace {

void RegisterOnce(const wchar_t* className) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = TNativeWindowAccess::WindowProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.lpszClassName = className;
    if (!::RegisterClassExW(&windowClass) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        throw std::runtime_error("window class refused: " + SystemErrorText(::GetLastError()));
    }
}

}  // namespace

LRESULT CALLBACK TNativeWindowAccess::WindowProc(HWND window, UINT message, WPARAM wParam,
                                                 LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* self = static_cast<TNativeWindow*>(create->lpCreateParams);
        self->handle_ = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<TNativeWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) {
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->handle_ = nullptr;
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    return Dispatch(*self, message, wParam, lParam);
}

LRESULT TNativeWindowAccess::Dispatch(TNativeWindow& self, UINT message, WPARAM wParam,
                                      LPARAM lParam) {
    try {
        return self.HandleMessage(message, wParam, lParam);
    } catch (const std::exception& error) {
        ShowException(error);
    } catch (...) {
        ShowException(std::string());
    }
    return 0;
}

TNativeWindow::~TNativeWindow() {
    if (handle_) {
        // The derived part is gone: the last messages go to the system.
        HWND window = handle_;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        handle_ = nullptr;
        ::DestroyWindow(window);
    }
}

void TNativeWindow::Create(const TCreateParams& params) {
    RegisterOnce(params.ClassName);
    HWND window = ::CreateWindowExW(params.ExStyle, params.ClassName, params.Title.c_str(),
                                    params.Style, params.X, params.Y, params.Width, params.Height,
                                    params.Parent, nullptr, ::GetModuleHandleW(nullptr), this);
    if (!window) {
        throw std::runtime_error("window not created: " + SystemErrorText(::GetLastError()));
    }
}

MessageResult TNativeWindow::HandleMessage(unsigned message, MessageWParam wParam,
                                           MessageLParam lParam) {
    return DefaultHandling(message, wParam, lParam);
}

MessageResult TNativeWindow::DefaultHandling(unsigned message, MessageWParam wParam,
                                             MessageLParam lParam) {
    return ::DefWindowProcW(handle_, message, wParam, lParam);
}
