#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRegion>
#include <QWidget>
#include <optional>

// An image control that turns its form into a window of the picture's shape:
// it removes the form's border and title bar, cuts the form down to the
// picture's pixels that are not of the transparent colour (once, at the
// form's first show) and moves the form while a mouse button is pressed on it,
// until that button is released.
// The picture is drawn unscaled at the top-left corner, with the transparent
// colour left out, beneath every later control of the form.
class TFormShape : public QWidget {
    Q_OBJECT

  public:
    // `owner` is the widget whose window (the form) gets the shape.
    explicit TFormShape(QWidget* owner);

    const QImage& Picture() const { return picture_; }
    void SetPicture(const QImage& picture);

    // Unset: the picture's bottom-left pixel decides (white for monochrome).
    const std::optional<QColor>& TransparentColor() const { return transparentColor_; }
    void SetTransparentColor(const std::optional<QColor>& colour);

    bool AllowFormDrag() const { return allowFormDrag_; }
    void SetAllowFormDrag(bool allow) { allowFormDrag_ = allow; }

    bool RegionApplied() const { return regionApplied_; }
    // True while a mouse button moves the form by hand.
    bool MovingByHand() const { return dragButton_ != Qt::NoButton; }

    // The form's show handler: applies the region the first time only.
    void ApplyRegion();

    // The union of the bitmap's pixels that are not of the key colour, in
    // bitmap coordinates; empty when there is none.
    virtual QRegion BuildRegion(const QImage& bitmap);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    QWidget* Form() const { return owner_->window(); }
    void InvalidateCache();

    QWidget* owner_;
    QImage picture_;
    QImage drawn_;
    std::optional<QColor> transparentColor_;
    bool allowFormDrag_ = true;
    bool regionApplied_ = false;
    // The button moving the form by hand, until its release; none while
    // the form is not moved by hand.
    Qt::MouseButton dragButton_ = Qt::NoButton;
    QPoint grabOffset_;
};
