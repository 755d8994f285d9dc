#include "FormShapes.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>

#include "SkinCommon.h"
#include "SkinRules.h"

TFormShape::TFormShape(QWidget* owner) : QWidget(owner), owner_(owner) {
    Q_ASSERT(owner);
    // Fills the owner's client area and follows its size.
    setGeometry(owner->rect());
    owner->installEventFilter(this);
    QWidget* form = Form();
    if (form != owner) {
        form->installEventFilter(this);
    }
    form->setWindowFlag(Qt::FramelessWindowHint, true);
}

void TFormShape::SetPicture(const QImage& picture) {
    picture_ = picture;
    InvalidateCache();
}

void TFormShape::SetTransparentColor(const std::optional<QColor>& colour) {
    transparentColor_ = colour;
    InvalidateCache();
}

void TFormShape::InvalidateCache() {
    drawn_ = QImage();
    update();
}

void TFormShape::ApplyRegion() {
    if (regionApplied_) {
        return;
    }
    regionApplied_ = true;
    const QRegion region = BuildRegion(picture_);
    if (region.isEmpty()) {
        // No pixel to keep: the window keeps its full rectangle.
        Form()->clearMask();
    } else {
        Form()->setMask(region);
    }
}

QRegion TFormShape::BuildRegion(const QImage& bitmap) {
    QRegion region;
    if (bitmap.isNull()) {
        return region;
    }
    const QRgb key = TransparentKey(bitmap, transparentColor_);
    ScanOpaqueRuns(
        bitmap.width(), bitmap.height(),
        [&](int x, int y) { return ColourKey(bitmap.pixel(x, y)) != key; },
        [&](int left, int y, int right) { region += QRect(left, y, right - left, 1); });
    return region;
}

bool TFormShape::eventFilter(QObject* watched, QEvent* event) {
    if (watched == owner_ && event->type() == QEvent::Resize) {
        setGeometry(owner_->rect());
    }
    if (watched == Form() && event->type() == QEvent::Show) {
        ApplyRegion();
    }
    return QWidget::eventFilter(watched, event);
}

void TFormShape::paintEvent(QPaintEvent*) {
    if (picture_.isNull()) {
        return;
    }
    if (drawn_.isNull()) {
        drawn_ = WithoutColour(picture_, TransparentKey(picture_, transparentColor_));
    }
    QPainter painter(this);
    painter.drawImage(0, 0, drawn_);
}

void TFormShape::mousePressEvent(QMouseEvent* event) {
    event->accept();
    if (!allowFormDrag_ || dragButton_ != Qt::NoButton) {
        return;
    }
    // Any button moves the form, until the release of that same button. The
    // form is moved by hand: a window manager's own move loop (asked for
    // through the platform) ends on the left button's release only, and is
    // refused where there is no window manager.
    dragButton_ = event->button();
    grabOffset_ = event->globalPosition().toPoint() - Form()->pos();
}

void TFormShape::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    if (dragButton_ != Qt::NoButton) {
        Form()->move(event->globalPosition().toPoint() - grabOffset_);
    }
}

void TFormShape::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() == dragButton_) {
        dragButton_ = Qt::NoButton;
    }
}
