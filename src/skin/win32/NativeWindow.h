#pragma once

#include <string>

#include "skin/win32/WinHandles.h"

// A C++ object that owns one window and handles its messages. The window
// is created by Create and destroyed with the object unless it has been
// destroyed before (then Handle() is null). Exceptions that leave a
// handler are shown by the exception display and go no further: they must
// not unwind through the system's frames.
class TNativeWindow {
  public:
    TNativeWindow() = default;
    TNativeWindow(const TNativeWindow&) = delete;
    TNativeWindow& operator=(const TNativeWindow&) = delete;
    virtual ~TNativeWindow();

    HWND Handle() const { return handle_; }

  protected:
    struct TCreateParams {
        const wchar_t* ClassName;
        unsigned long Style;
        unsigned long ExStyle;
        HWND Parent;
        int X, Y, Width, Height;
        std::wstring Title;
    };
    // Registers the class on first use (arrow cursor, no background brush:
    // every window of this kind paints all of itself) and creates the
    // window; throws when the system refuses.
    void Create(const TCreateParams& params);

    // Gets every message of the window; the default is the system's.
    virtual MessageResult HandleMessage(unsigned message, MessageWParam wParam,
                                        MessageLParam lParam);
    MessageResult DefaultHandling(unsigned message, MessageWParam wParam, MessageLParam lParam);

  private:
    friend struct TNativeWindowAccess;
    HWND handle_ = nullptr;
};
