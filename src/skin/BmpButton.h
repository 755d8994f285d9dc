#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>
#include <memory>

#include "ButtonBitmaps.h"
#include "ButtonLayout.h"
#include "ButtonState.h"

class QPainter;

enum TBtnSize { bszNeither, bszButtonToBitmap, bszStretchToButton, bszTileToButton };
enum TButtonStyle { bsAutoDetect, bsWin31, bsNew };

// A push button drawn entirely from bitmaps: one image per state with one
// colour left out, an optional caption and border, and optional grouping
// into latching buttons. Every paint goes through an off-screen image.
class TBmpButton : public QWidget, private IButtonHost {
    Q_OBJECT

  public:
    explicit TBmpButton(QWidget* parent = nullptr);
    ~TBmpButton() override;

    TButtonBitmaps& Bitmaps() { return *bitmaps_; }
    const TButtonBitmaps& Bitmaps() const { return *bitmaps_; }

    bool AllowAllUp() const { return state_.AllowAllUp(); }
    TButtonBorder ButtonBorder() const { return buttonBorder_; }
    TBtnSize ButtonSize() const { return buttonSize_; }
    TButtonStyle ButtonStyle() const { return buttonStyle_; }
    const QColor& Color() const { return color_; }
    bool Down() const { return state_.Down(); }
    int CaptionDownOffset() const { return captionDownOffset_; }
    int GroupIndex() const { return state_.GroupIndex(); }
    TButtonLayout Layout() const { return layout_; }
    int Margin() const { return margin_; }
    bool ShowDownPattern() const { return showDownPattern_; }
    bool ShowFocus() const { return showFocus_; }
    int Spacing() const { return spacing_; }

    virtual void SetAllowAllUp(bool value);
    virtual void SetButtonBorder(TButtonBorder value);
    virtual void SetButtonSize(TBtnSize value);
    virtual void SetButtonStyle(TButtonStyle value);
    virtual void SetColor(const QColor& value);
    virtual void SetDown(bool value);
    virtual void SetCaptionDownOffset(int value);
    virtual void SetGroupIndex(int value);
    virtual void SetLayout(TButtonLayout value);
    virtual void SetMargin(int value);
    virtual void SetShowDownPattern(bool value);
    virtual void SetShowFocus(bool value);
    virtual void SetSpacing(int value);

    const QString& Caption() const { return caption_; }
    void SetCaption(const QString& caption);
    int ModalResult() const { return modalResult_; }
    void SetModalResult(int value) { modalResult_ = value; }
    bool TabStop() const { return focusPolicy() == Qt::StrongFocus; }
    void SetTabStop(bool value);

    TButtonState ButtonState() const { return state_.ButtonState(); }
    bool Dragging() const { return state_.Dragging(); }
    bool HasFocus() const { return state_.HasFocus(); }

    // Sets the parent dialog's result to ModalResult, then raises OnClick.
    void Click() override;
    // Re-applies the size rule and repaints after the images changed.
    void BitmapsChanged();
    // Where the caption and (for bszNeither) the image go inside `area`.
    TLayoutRects CalcLayout(const QRect& area, const QImage& image) const;
    // The 8 x 8 checkerboard that fills latched bordered buttons.
    static const QImage& DownPattern();
    static int LiveButtons();

  signals:
    void OnClick();
    void OnDblClick();

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

  private:
    bool IsNewLook() const;
    bool IsOver(const QPointF& point) const;
    void ApplySizeRule();
    void FixStateForEnabled();
    void Invalidate() override;
    void Repaint() override;
    void ReleasePointer() override;
    bool TellGroup(int groupIndex, const TBmpButtonState& sender) override;
    QImage ChooseImage() const;
    QRect PaintBorder(QPainter& painter, QRect area) const;
    void PaintImage(QPainter& painter, const QRect& area, const QImage& image,
                    const QRect& layoutRect) const;
    void PaintCaption(QPainter& painter, const QRect& captionRect) const;

    std::unique_ptr<TButtonBitmaps> bitmaps_;
    TBmpButtonState state_{*this};
    TButtonBorder buttonBorder_ = bbNone;
    TBtnSize buttonSize_ = bszButtonToBitmap;
    TButtonStyle buttonStyle_ = bsAutoDetect;
    QColor color_;
    int captionDownOffset_ = 1;
    TButtonLayout layout_ = blGlyphLeft;
    int margin_ = -1;
    bool showDownPattern_ = true;
    bool showFocus_ = true;
    int spacing_ = 4;
    int modalResult_ = 0;
    QString caption_;
    int mnemonicId_ = 0;
};
