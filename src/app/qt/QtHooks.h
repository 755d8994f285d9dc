#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <string>

class QMessageBox;

// Gives the window the boxes belong to: the update window while it exists,
// else none.
using BoxOwner = std::function<QWidget*()>;

// The updater's message box for a box style (buttons in the low four bits,
// icon in the next four), with the standard Chinese button texts. With an
// owner the box is its transient, stacked above it (also when the owner
// stays on top of other windows) and centred on it.
std::unique_ptr<QMessageBox> NewAppBox(const std::string& text, const std::string& caption,
                                       unsigned flags, QWidget* owner);

// Connects the runtime's message-box and message-pump hooks to Qt: boxes
// become modal boxes made by NewAppBox with `owner()` (their nested loop
// keeps timers running), pumping becomes processing all pending events.
void InstallQtHooks(BoxOwner owner);

// For unattended runs: every box is answered with its default button and its
// text is copied to standard error; messages are still pumped through Qt.
void InstallUnattendedHooks();
