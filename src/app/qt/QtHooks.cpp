#include "QtHooks.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
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

QMessageBox::StandardButtons ButtonsFor(unsigned flags) {
    switch (flags & kButtonsMask) {
        case MB_OKCANCEL:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case MB_YESNO:
            return QMessageBox::Yes | QMessageBox::No;
        default:
            return QMessageBox::Ok;
    }
}

// The texts a Chinese system gives its standard buttons; the boxes' own
// texts are Chinese, their buttons must not be English.
void SetChineseButtonTexts(QMessageBox& box) {
    const std::pair<QMessageBox::StandardButton, const char*> texts[] = {
        {QMessageBox::Ok, "确定"},
        {QMessageBox::Cancel, "取消"},
        {QMessageBox::Yes, "是"},
        {QMessageBox::No, "否"},
    };
    for (const auto& [which, text] : texts) {
        if (QAbstractButton* button = box.button(which)) {
            button->setText(QString::fromUtf8(text));
        }
    }
}

int AnswerFor(int result, unsigned flags) {
    switch (result) {
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

// The box sizes itself to its text only when it is shown, after a dialog
// has picked its place: it is centred on its owner at that moment, before
// it appears on the screen.
class TAppBox : public QMessageBox {
  public:
    using QMessageBox::QMessageBox;

  protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);
        if (const QWidget* owner = parentWidget()) {
            move(owner->frameGeometry().center() - rect().center());
        }
    }
};

void PumpQt() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

}  // namespace

std::unique_ptr<QMessageBox> NewAppBox(const std::string& text, const std::string& caption,
                                       unsigned flags, QWidget* owner) {
    QWidget* parent = owner ? owner->window() : nullptr;
    auto box = std::make_unique<TAppBox>(IconFor(flags), QString::fromStdString(caption),
                                         QString::fromStdString(text), ButtonsFor(flags), parent);
    SetChineseButtonTexts(*box);
    if (parent) {
        // A transient of a window that stays on top must be in the same
        // layer, or a window manager stacks it beneath its owner.
        box->setWindowFlag(Qt::WindowStaysOnTopHint,
                           parent->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        box->setWindowIcon(parent->windowIcon());
    }
    return box;
}

void InstallQtHooks(BoxOwner owner) {
    SetMessageBoxHook([owner = std::move(owner)](const std::string& text,
                                                 const std::string& caption, unsigned flags) {
        std::unique_ptr<QMessageBox> box =
            NewAppBox(text, caption, flags, owner ? owner() : nullptr);
        // The owner frees its children: an owner destroyed while the box
        // is open has taken the box with it.
        const QPointer<QMessageBox> alive(box.get());
        const int result = box->exec();
        if (!alive) {
            static_cast<void>(box.release());
        }
        return AnswerFor(result, flags);
    });
    SetProcessMessagesHook(PumpQt);
}

void InstallUnattendedHooks() {
    SetMessageBoxHook([](const std::string& text, const std::string& caption, unsigned flags) {
        std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
        return DefaultAnswer(flags);
    });
    SetProcessMessagesHook(PumpQt);
}
