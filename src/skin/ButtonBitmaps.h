#pragma once

#include <QColor>
#include <QImage>
#include <functional>

// The images of one bitmap button, one per visual state, and the colour that
// is left out when they are drawn. Every change is reported through OnChange.
class TButtonBitmaps {
  public:
    using TNotifyEvent = std::function<void()>;

    const QImage& Up() const { return up_; }
    const QImage& UpAndFocused() const { return upAndFocused_; }
    const QImage& Down() const { return down_; }
    const QImage& StayDown() const { return stayDown_; }
    const QImage& Disabled() const { return disabled_; }
    const QColor& TransparentColor() const { return transparentColor_; }

    void SetUp(const QImage& image) { Assign(up_, image); }
    void SetUpAndFocused(const QImage& image) { Assign(upAndFocused_, image); }
    void SetDown(const QImage& image) { Assign(down_, image); }
    void SetStayDown(const QImage& image) { Assign(stayDown_, image); }
    void SetDisabled(const QImage& image) { Assign(disabled_, image); }
    void SetTransparentColor(const QColor& colour);

    TNotifyEvent OnChange;

  private:
    void Assign(QImage& held, const QImage& image);
    void Changed();

    QImage up_;
    QImage upAndFocused_;
    QImage down_;
    QImage stayDown_;
    QImage disabled_;
    QColor transparentColor_{128, 128, 0};
};
