// Painting of the bitmap button: border, latch pattern, the image of the
// state and the caption, composed off screen and copied in one go.
#include <QPainter>

#include "BmpButton.h"
#include "SkinCommon.h"

namespace {

// A raised frame `depth` pixels deep (sunken when pressed) filled with
// `face`; gives the rectangle inside the frame.
QRect DrawButtonFace(QPainter& painter, const QRect& rect, int depth, bool pressed,
                     const QColor& face, const QPalette& palette) {
    painter.fillRect(rect, face);
    const QColor light = palette.color(QPalette::Light);
    const QColor mid = palette.color(QPalette::Mid);
    const QColor dark = palette.color(QPalette::Shadow);
    QRect r = rect;
    for (int level = 0; level < depth; ++level) {
        const bool outer = level == 0;
        const QColor topLeft = pressed ? (outer ? dark : mid) : (outer ? light : face.lighter(110));
        const QColor bottomRight = pressed ? (outer ? light : face) : (outer ? dark : mid);
        painter.setPen(topLeft);
        painter.drawLine(r.left(), r.top(), r.right() - 1, r.top());
        painter.drawLine(r.left(), r.top(), r.left(), r.bottom() - 1);
        painter.setPen(bottomRight);
        painter.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
        painter.drawLine(r.right(), r.top(), r.right(), r.bottom());
        r.adjust(1, 1, -1, -1);
    }
    return r;
}

// The classic focus rectangle: a dotted frame, every other pixel, drawn
// whatever way the focus came (styles draw theirs for keyboard focus only).
void DrawFocusFrame(QPainter& painter, const QRect& rect, const QColor& colour) {
    QPen pen(colour, 1);
    pen.setDashPattern({1.0, 1.0});
    pen.setCosmetic(true);
    painter.save();
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
    painter.restore();
}

void DrawTiled(QPainter& painter, const QRect& area, const QImage& image) {
    painter.save();
    painter.setClipRect(area);
    for (int y = area.top(); y <= area.bottom(); y += image.height()) {
        for (int x = area.left(); x <= area.right(); x += image.width()) {
            painter.drawImage(x, y, image);
        }
    }
    painter.restore();
}

}  // namespace

QImage TBmpButton::ChooseImage() const {
    const TButtonBitmaps& b = *bitmaps_;
    const bool disabled = state_.ButtonState() == StateDisabled;
    if (!HasImage(b.Up()) && !(disabled && HasImage(b.Disabled()))) {
        return QImage();
    }
    switch (state_.ButtonState()) {
        case StateUp:
            return state_.HasFocus() && showFocus_ && HasImage(b.UpAndFocused()) ? b.UpAndFocused()
                                                                                 : b.Up();
        case StateDisabled:
            if (HasImage(b.Disabled())) {
                return b.Disabled();
            }
            return EmbossedImage(b.Up(), ColourKey(b.TransparentColor().rgb()), color_,
                                 palette().color(QPalette::Dark));
        case StateDown:
            return HasImage(b.Down()) ? b.Down() : b.Up();
        case StateExclusive:
            return HasImage(b.StayDown()) ? b.StayDown() : HasImage(b.Down()) ? b.Down() : b.Up();
    }
    return b.Up();
}

QRect TBmpButton::PaintBorder(QPainter& painter, QRect area) const {
    const bool pressed =
        state_.ButtonState() == StateDown || state_.ButtonState() == StateExclusive;
    switch (buttonBorder_) {
        case bbNone:
            // Nothing: the parent shows through where the image is left out.
            break;
        case bbSingle:
            painter.fillRect(area, color_);
            painter.setPen(Qt::black);
            painter.drawRect(area.adjusted(0, 0, -1, -1));
            area.adjust(1, 1, -1, -1);
            break;
        case bbButton: {
            const int bevel = IsNewLook() ? 1 : 2;
            const QRect inner = DrawButtonFace(painter, area, bevel, pressed, color_, palette());
            if (state_.HasFocus() && showFocus_) {
                DrawFocusFrame(painter, inner.adjusted(1, 1, -1, -1),
                               palette().color(foregroundRole()));
            }
            area = inner.adjusted(1, 1, -1, -1);
            break;
        }
    }
    return area;
}

void TBmpButton::PaintImage(QPainter& painter, const QRect& area, const QImage& image,
                            const QRect& layoutRect) const {
    const QImage drawn = WithoutColour(image, ColourKey(bitmaps_->TransparentColor().rgb()));
    switch (buttonSize_) {
        case bszNeither:
            painter.drawImage(layoutRect.topLeft(), drawn);
            break;
        case bszButtonToBitmap:
            // The size rule makes Area the image's own size; placing it at
            // Area's corner keeps a border visible.
            painter.drawImage(QRect(area.topLeft(), area.size()), drawn);
            break;
        case bszStretchToButton:
            painter.drawImage(area, drawn);
            break;
        case bszTileToButton:
            DrawTiled(painter, area, drawn);
            break;
    }
}

void TBmpButton::PaintCaption(QPainter& painter, const QRect& captionRect) const {
    if (caption_.isEmpty()) {
        return;
    }
    const int flags = Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic;
    painter.setFont(font());
    painter.setBrush(Qt::NoBrush);
    if (state_.ButtonState() == StateDisabled) {
        painter.setPen(Qt::white);
        painter.drawText(captionRect.translated(1, 1), flags, caption_);
        painter.setPen(QColor(128, 128, 128));
        painter.drawText(captionRect, flags, caption_);
    } else {
        const bool pressed =
            state_.ButtonState() == StateDown || state_.ButtonState() == StateExclusive;
        const int shift = pressed ? captionDownOffset_ : 0;
        painter.setPen(palette().color(foregroundRole()));
        painter.drawText(captionRect.translated(shift, shift), flags, caption_);
    }
    if (state_.HasFocus() && showFocus_) {
        DrawFocusFrame(painter, captionRect.adjusted(-2, -2, 2, 2),
                       palette().color(foregroundRole()));
    }
}

TLayoutRects TBmpButton::CalcLayout(const QRect& area, const QImage& image) const {
    const QSize glyph = buttonSize_ == bszNeither && HasImage(image) ? image.size() : QSize(0, 0);
    QSize text(0, 0);
    if (!caption_.isEmpty()) {
        text = fontMetrics()
                   .boundingRect(QRect(0, 0, area.width(), 0), Qt::TextShowMnemonic, caption_)
                   .size();
    }
    return CalcLayoutRects(area, glyph, text, layout_, margin_, spacing_);
}

void TBmpButton::paintEvent(QPaintEvent*) {
    FixStateForEnabled();
    QImage buffer(size(), QImage::Format_ARGB32_Premultiplied);
    buffer.fill(Qt::transparent);
    {
        QPainter painter(&buffer);
        QRect area = PaintBorder(painter, rect());
        if (state_.ButtonState() == StateExclusive) {
            const int bevel = IsNewLook() ? 1 : 2;
            const QBrush brush = showDownPattern_ ? QBrush(DownPattern()) : QBrush(color_);
            if (buttonBorder_ != bbNone) {
                const int cut = IsNewLook() ? 2 : 1;
                painter.fillRect(
                    area.adjusted(0, 0, -cut, -cut).adjusted(-bevel, -bevel, bevel, bevel), brush);
            }
        }
        const QImage image = ChooseImage();
        const TLayoutRects layout = CalcLayout(area, image);
        if (HasImage(image)) {
            PaintImage(painter, area, image, layout.Image);
        }
        PaintCaption(painter, layout.Caption);
    }
    QPainter(this).drawImage(0, 0, buffer);
}
