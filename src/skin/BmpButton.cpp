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

void TBmpButton::SetAllowAllUp(bool value) {
    if (value != allowAllUp_) {
        allowAllUp_ = value;
        UpdateExclusive();
    }
}

void TBmpButton::SetButtonBorder(TButtonBorder value) {
    if (value != buttonBorder_) {
        buttonBorder_ = value;
        ApplySizeRule();
        update();
    }
}

void TBmpButton::SetButtonSize(TBtnSize value) {
    if (value != buttonSize_) {
        buttonSize_ = value;
        ApplySizeRule();
        update();
    }
}

void TBmpButton::SetButtonStyle(TButtonStyle value) {
    if (value != buttonStyle_) {
        buttonStyle_ = value;
        ApplySizeRule();
        update();
    }
}

void TBmpButton::SetColor(const QColor& value) {
    if (value != color_) {
        color_ = value;
        update();
    }
}

void TBmpButton::SetDown(bool value) {
    if (groupIndex_ == 0) {
        value = false;
    }
    if (value == down_ || (down_ && !allowAllUp_)) {
        return;
    }
    down_ = value;
    buttonState_ = value ? StateExclusive : StateUp;
    update();
    if (value) {
        UpdateExclusive();
    }
}

void TBmpButton::SetCaptionDownOffset(int value) {
    if (value != captionDownOffset_) {
        captionDownOffset_ = value;
        update();
    }
}

void TBmpButton::SetGroupIndex(int value) {
    if (value != groupIndex_) {
        groupIndex_ = value;
        UpdateExclusive();
    }
}

void TBmpButton::SetLayout(TButtonLayout value) {
    if (value != layout_) {
        layout_ = value;
        update();
    }
}

void TBmpButton::SetMargin(int value) {
    if (value != margin_ && value >= -1) {
        margin_ = value;
        update();
    }
}

void TBmpButton::SetShowDownPattern(bool value) {
    if (value != showDownPattern_) {
        showDownPattern_ = value;
        update();
    }
}

void TBmpButton::SetShowFocus(bool value) {
    if (value != showFocus_) {
        showFocus_ = value;
        update();
    }
}

void TBmpButton::SetSpacing(int value) {
    if (value != spacing_) {
        spacing_ = value;
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
        int border = 0;
        if (buttonBorder_ == bbSingle) {
            border = 1;
        } else if (buttonBorder_ == bbButton) {
            border = IsNewLook() ? 2 : 3;
        }
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

void TBmpButton::UpdateExclusive() {
    QWidget* parent = parentWidget();
    if (groupIndex_ == 0 || !parent) {
        buttonState_ = StateUp;
        return;
    }
    for (QObject* child : parent->children()) {
        if (auto* button = qobject_cast<TBmpButton*>(child)) {
            button->GroupChanged(groupIndex_, this);
        }
    }
}

void TBmpButton::GroupChanged(int groupIndex, TBmpButton* sender) {
    if (sender == this || groupIndex != groupIndex_) {
        return;
    }
    if (sender->Down() && down_) {
        down_ = false;
        buttonState_ = StateUp;
        update();
    }
    allowAllUp_ = sender->AllowAllUp();
}

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

void TBmpButton::FinishPress(bool doClick) {
    if (groupIndex_ == 0) {
        repaint();
    } else if (doClick) {
        SetDown(!down_);
    } else {
        // A press that ended outside leaves the latch as it was.
        buttonState_ = down_ ? StateExclusive : StateUp;
        repaint();
    }
    if (doClick) {
        Click();
    }
}

bool TBmpButton::IsOver(const QPointF& point) const {
    return point.x() >= 0 && point.x() < width() && point.y() >= 0 && point.y() < height();
}

void TBmpButton::mousePressEvent(QMouseEvent* event) {
    event->accept();
    if (isEnabled() && !hasFocus_) {
        setFocus(Qt::MouseFocusReason);
    }
    // Focused as far as the window goes: an inactive window keeps the focus
    // widget without sending it a focus event yet.
    const bool focused = hasFocus_ || window()->focusWidget() == this;
    if (event->button() != Qt::LeftButton || !isEnabled() || !focused) {
        return;
    }
    if (!down_) {
        buttonState_ = StateDown;
        repaint();
    }
    dragging_ = true;
}

void TBmpButton::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    if (!dragging_) {
        return;
    }
    const TButtonState state = down_                       ? StateExclusive
                               : IsOver(event->position()) ? StateDown
                                                           : StateUp;
    if (state != buttonState_) {
        buttonState_ = state;
        repaint();
    }
}

void TBmpButton::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (!dragging_) {
        return;
    }
    dragging_ = false;
    const bool inside = IsOver(event->position());
    UpdateExclusive();
    FinishPress(inside);
}

void TBmpButton::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click is a press as well.
    const QPointer<TBmpButton> self(this);
    mousePressEvent(event);
    if (self && event->button() == Qt::LeftButton && down_) {
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
        if (!down_) {
            buttonState_ = StateDown;
            repaint();
        }
        dragging_ = true;
        return;
    }
    QWidget::keyPressEvent(event);
}

void TBmpButton::keyReleaseEvent(QKeyEvent* event) {
    // A held key repeats its press only; the X server also sends releases.
    if (event->isAutoRepeat() || !dragging_) {
        QWidget::keyReleaseEvent(event);
        return;
    }
    event->accept();
    dragging_ = false;
    buttonState_ = StateUp;
    FinishPress(true);
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

void TBmpButton::FixStateForEnabled() {
    if (!isEnabled()) {
        buttonState_ = StateDisabled;
        dragging_ = false;
    } else if (buttonState_ == StateDisabled) {
        buttonState_ = StateUp;
    }
}

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
    hasFocus_ = true;
    update();
}

void TBmpButton::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    hasFocus_ = false;
    // A press whose release goes to another window would otherwise click at
    // the next unrelated key release.
    if (dragging_) {
        dragging_ = false;
        buttonState_ = down_ ? StateExclusive : StateUp;
    }
    update();
}
