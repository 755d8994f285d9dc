#include "BmpButton.h"

#include <QApplication>
#include <QDialog>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPointer>
#include <QShortcutEvent>

#include "SkinCommon.h"

namespace {

int liveButtons = 0;
std::unique_ptr<QImage> downPattern;

}  // namespace

TBmpButton::TBmpButton(QWidget* parent)
    : QWidget(parent), bitmaps_(std::make_unique<TButtonBitmaps>()) {
    // Opaque where it paints, but see-through where its image is: the parent
    // is composed beneath it by the backing store.
    setAttribute(Qt::WA_NoSystemBackground);
    resize(80, 30);
    bitmaps_->OnChange = [this] { BitmapsChanged(); };
    color_ = palette().color(QPalette::Button);
    SetTabStop(true);
    ++liveButtons;
}

TBmpButton::~TBmpButton() {
    if (--liveButtons == 0) {
        downPattern.reset();
    }
}

int TBmpButton::LiveButtons() { return liveButtons; }

const QImage& TBmpButton::DownPattern() {
    if (!downPattern) {
        downPattern = std::make_unique<QImage>(8, 8, QImage::Format_RGB32);
        const QRgb face = QApplication::palette().color(QPalette::Button).rgb();
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                downPattern->setPixel(x, y, (x % 2) == (y % 2) ? qRgb(255, 255, 255) : face);
            }
        }
    }
    return *downPattern;
}

// ---- properties -----------------------------------------------------------

void TBmpButton::SetAllowAllUp(bool value) { state_.SetAllowAllUp(value); }

void TBmpButton::SetButtonBorder(TButtonBorder value) {
    if (ChangeValue(buttonBorder_, value)) {
        ApplySizeRule();
        update();
    }
}

void TBmpButton::SetButtonSize(TBtnSize value) {
    if (ChangeValue(buttonSize_, value)) {
        ApplySizeRule();
        update();
    }
}

void TBmpButton::SetButtonStyle(TButtonStyle value) {
    if (ChangeValue(buttonStyle_, value)) {
        ApplySizeRule();
        update();
    }
}

void TBmpButton::SetColor(const QColor& value) {
    if (ChangeValue(color_, value)) {
        update();
    }
}

void TBmpButton::SetDown(bool value) { state_.SetDown(value); }

void TBmpButton::SetCaptionDownOffset(int value) {
    if (ChangeValue(captionDownOffset_, value)) {
        update();
    }
}

void TBmpButton::SetGroupIndex(int value) { state_.SetGroupIndex(value); }

void TBmpButton::SetLayout(TButtonLayout value) {
    if (ChangeValue(layout_, value)) {
        update();
    }
}

void TBmpButton::SetMargin(int value) {
    // Values below -1 have no meaning and are refused.
    if (value >= -1 && ChangeValue(margin_, value)) {
        update();
    }
}

void TBmpButton::SetShowDownPattern(bool value) {
    if (ChangeValue(showDownPattern_, value)) {
        update();
    }
}

void TBmpButton::SetShowFocus(bool value) {
    if (ChangeValue(showFocus_, value)) {
        update();
    }
}

void TBmpButton::SetSpacing(int value) {
    if (ChangeValue(spacing_, value)) {
        update();
    }
}

void TBmpButton::SetCaption(const QString& caption) {
    if (caption == caption_) {
        return;
    }
    caption_ = caption;
    if (mnemonicId_ != 0) {
        releaseShortcut(mnemonicId_);
        mnemonicId_ = 0;
    }
    const QKeySequence mnemonic = QKeySequence::mnemonic(caption_);
    if (!mnemonic.isEmpty()) {
        mnemonicId_ = grabShortcut(mnemonic);
    }
    update();
}

void TBmpButton::SetTabStop(bool value) {
    setFocusPolicy(value ? Qt::StrongFocus : Qt::ClickFocus);
}

// ---- size rule and groups -------------------------------------------------

bool TBmpButton::IsNewLook() const { return buttonStyle_ != bsWin31; }

void TBmpButton::ApplySizeRule() {
    if (buttonSize_ == bszNeither || !HasImage(bitmaps_->Up())) {
        return;
    }
    if (buttonSize_ == bszButtonToBitmap) {
        const int border = BorderWidth(buttonBorder_, IsNewLook());
        const QSize wanted = bitmaps_->Up().size() + QSize(2 * border, 2 * border);
        if (size() != wanted) {
            resize(wanted);
        }
    }
    update();
}

void TBmpButton::BitmapsChanged() {
    if (buttonSize_ == bszButtonToBitmap) {
        ApplySizeRule();
    }
    update();
}

bool TBmpButton::TellGroup(int groupIndex, const TBmpButtonState& sender) {
    QWidget* parent = parentWidget();
    if (!parent) {
        return false;
    }
    for (QObject* child : parent->children()) {
        if (auto* button = qobject_cast<TBmpButton*>(child)) {
            button->state_.GroupChanged(groupIndex, sender);
        }
    }
    return true;
}

void TBmpButton::Invalidate() { update(); }

void TBmpButton::Repaint() { repaint(); }

// Qt gives the mouse back by itself when the button comes up.
void TBmpButton::ReleasePointer() {}

// ---- clicking -------------------------------------------------------------

void TBmpButton::Click() {
    const QPointer<TBmpButton> self(this);
    QDialog* dialog = window() != this ? qobject_cast<QDialog*>(window()) : nullptr;
    if (dialog) {
        dialog->setResult(modalResult_);
    }
    emit OnClick();
    // The handler may have closed or deleted the window.
    if (self && dialog && modalResult_ != 0 && dialog->isModal() && dialog->isVisible()) {
        dialog->done(modalResult_);
    }
}

bool TBmpButton::IsOver(const QPointF& point) const {
    return point.x() >= 0 && point.x() < width() && point.y() >= 0 && point.y() < height();
}

void TBmpButton::mousePressEvent(QMouseEvent* event) {
    event->accept();
    if (isEnabled() && !state_.HasFocus()) {
        setFocus(Qt::MouseFocusReason);
    }
    // Focused as far as the window goes: an inactive window keeps the focus
    // widget without sending it a focus event yet.
    const bool focused = state_.HasFocus() || window()->focusWidget() == this;
    if (event->button() == Qt::LeftButton && isEnabled() && focused) {
        state_.Press();
    }
}

void TBmpButton::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    state_.PointerMoved(IsOver(event->position()));
}

void TBmpButton::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    state_.PointerReleased(IsOver(event->position()));
}

void TBmpButton::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click is a press as well.
    const QPointer<TBmpButton> self(this);
    mousePressEvent(event);
    if (self && event->button() == Qt::LeftButton && state_.Down()) {
        emit OnDblClick();
    }
}

void TBmpButton::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        event->accept();
        Click();
        return;
    }
    if (key == Qt::Key_Space && isEnabled()) {
        event->accept();
        state_.Press();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TBmpButton::keyReleaseEvent(QKeyEvent* event) {
    // A held key repeats its press only; the X server also sends releases.
    if (event->isAutoRepeat() || !state_.Dragging()) {
        QWidget::keyReleaseEvent(event);
        return;
    }
    event->accept();
    state_.KeyReleased();
}

// ---- framework notifications ---------------------------------------------

bool TBmpButton::event(QEvent* event) {
    if (event->type() == QEvent::Shortcut) {
        auto* shortcut = static_cast<QShortcutEvent*>(event);
        if (shortcut->shortcutId() == mnemonicId_ && isEnabled()) {
            Click();
            return true;
        }
    }
    return QWidget::event(event);
}

void TBmpButton::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ApplySizeRule();
}

void TBmpButton::FixStateForEnabled() { state_.FixStateForEnabled(isEnabled()); }

void TBmpButton::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    switch (event->type()) {
        case QEvent::EnabledChange:
            FixStateForEnabled();
            update();
            break;
        case QEvent::FontChange:
        case QEvent::PaletteChange:
        case QEvent::StyleChange:
            update();
            break;
        default:
            break;
    }
}

void TBmpButton::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    state_.FocusChanged(true);
}

void TBmpButton::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    state_.FocusChanged(false);
}
