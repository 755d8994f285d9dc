#include "ButtonLayout.h"

namespace {

// One axis of the layout: the main axis runs from image to caption.
struct Axis {
    int area;
    int glyph;
    int text;
};

// Margin and spacing on the main axis, with -1 resolved.
void ResolveGaps(const Axis& main, int& margin, int& spacing) {
    if (margin == -1) {
        if (spacing == -1) {
            margin = (main.area - (main.glyph + main.text)) / 3;
            spacing = margin;
        } else {
            margin = main.area / 2 - (main.glyph + spacing + main.text) / 2;
        }
    } else if (spacing == -1) {
        spacing = (main.area - (margin + main.glyph)) / 2 - main.text / 2;
    }
}

}  // namespace

TLayoutRects CalcLayoutRects(const QRect& area, QSize glyph, QSize text, TButtonLayout layout,
                             int margin, int spacing) {
    const bool horizontal = layout == blGlyphLeft || layout == blGlyphRight;
    const Axis main = horizontal ? Axis{area.width(), glyph.width(), text.width()}
                                 : Axis{area.height(), glyph.height(), text.height()};
    const Axis cross = horizontal ? Axis{area.height(), glyph.height(), text.height()}
                                  : Axis{area.width(), glyph.width(), text.width()};
    const int glyphCross = cross.area / 2 - cross.glyph / 2;
    const int textCross = cross.area / 2 - cross.text / 2;

    if (text.width() == 0 || glyph.width() == 0) {
        spacing = 0;
    }
    ResolveGaps(main, margin, spacing);

    int glyphMain = 0;
    int textMain = 0;
    if (layout == blGlyphLeft || layout == blGlyphTop) {
        glyphMain = margin;
        textMain = margin + main.glyph + spacing;
    } else {
        glyphMain = main.area - margin - main.glyph;
        textMain = glyphMain - spacing - main.text;
    }

    const QPoint glyphAt =
        horizontal ? QPoint(glyphMain, glyphCross) : QPoint(glyphCross, glyphMain);
    const QPoint textAt = horizontal ? QPoint(textMain, textCross) : QPoint(textCross, textMain);
    TLayoutRects rects;
    rects.Caption = QRect(area.topLeft() + textAt, text);
    if (!glyph.isEmpty()) {
        rects.Image = QRect(area.topLeft() + glyphAt, glyph);
    }
    return rects;
}
