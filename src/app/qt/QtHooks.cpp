#include "QtHooks.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

#include "platform/MessageHooks.h"

namespace {

// A box's style holds its buttons in the low four bits and its icon in the
// next four.
constexpr unsigned kButtonsMask = 0x0F;
constexpr unsigned kIconMask = 0xF0;

QMessageBox::Icon IconFor(unsigned flags) {
    switch (flags & kIconMask) {
        case MB_ICONERROR:
            return QMessageBox::Critical;
        case MB_ICONEXCLAMATION:
            return QMessageBox::Warning;
        default:
            return QMessageBox::NoIcon;
    }
}

int ShowQtBox(const std::string& text, const std::string& caption, unsigned flags) {
    QMessageBox box(IconFor(flags), QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::NoButton, QApplication::activeWindow());
    switch (flags & kButtonsMask) {
        case MB_OKCANCEL:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case MB_YESNO:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
        default:
            box.setStandardButtons(QMessageBox::Ok);
            break;
    }
    switch (box.exec()) {
        case QMessageBox::Cancel:
            return IDCANCEL;
        case QMessageBox::Yes:
            return IDYES;
        case QMessageBox::No:
            return IDNO;
        case QMessageBox::Ok:
            return IDOK;
        default:
            // Closing the box without a button is its cancel answer.
            return (flags & kButtonsMask) == MB_OK
                       ? IDOK
                       : ((flags & kButtonsMask) == MB_YESNO ? IDNO : IDCANCEL);
    }
}

void PumpQt() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

}  // namespace

void InstallQtHooks() {
    SetMessageBoxHook(ShowQtBox);
    SetProcessMessagesHook(PumpQt);
}

void InstallUnattendedHooks() {
    SetMessageBoxHook([](const std::string& text, const std::string& caption, unsigned flags) {
        std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
        return DefaultAnswer(flags);
    });
    SetProcessMessagesHook(PumpQt);
}
