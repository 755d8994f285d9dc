#pragma once

#include <QRect>
#include <QSize>

enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

struct TLayoutRects {
    QRect Caption;
    QRect Image;  // empty when no image is placed by the layout
};

// Places the caption of size `text` and the image of size `glyph` (0 x 0 when
// the layout does not place the image) in `area`. `margin` -1 centres the
// pair; `spacing` -1 spreads image, caption and the gaps evenly. Halving
// truncates toward zero.
TLayoutRects CalcLayoutRects(const QRect& area, QSize glyph, QSize text, TButtonLayout layout,
                             int margin, int spacing);
