#pragma once

#include <functional>
#include <string>

// Message-box styles and answers with the values the rest of the program
// (and its texts) were written against.
enum MessageBoxFlags : unsigned {
    MB_OK = 0x00,
    MB_OKCANCEL = 0x01,
    MB_YESNO = 0x04,
    MB_ICONERROR = 0x10,
    MB_ICONEXCLAMATION = 0x30,
};

enum MessageBoxAnswer : int {
    IDOK = 1,
    IDCANCEL = 2,
    IDYES = 6,
    IDNO = 7,
};

using MessageBoxHook =
    std::function<int(const std::string& text, const std::string& caption, unsigned flags)>;
using ProcessMessagesHook = std::function<void()>;

// Shows a modal message box through the installed hook and returns the
// pressed button. Without a hook the box cannot be shown to anybody: the
// text goes to standard error and the default (first) button is answered.
int AppMessageBox(const std::string& text, const std::string& caption, unsigned flags);

// Processes all pending window messages; does nothing without a hook.
void ProcessMessages();

// Install a hook and get the previous one back, so a scope can restore it.
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);
ProcessMessagesHook SetProcessMessagesHook(ProcessMessagesHook hook);

// The answer a box gives when nobody can press a button: its first button.
int DefaultAnswer(unsigned flags);
