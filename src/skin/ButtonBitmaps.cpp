#include "ButtonBitmaps.h"

void TButtonBitmaps::Assign(QImage& held, const QImage& image) {
    // The image it already holds (the same shared data) changes nothing.
    if (held.cacheKey() == image.cacheKey()) {
        return;
    }
    // A deep copy: the button's image does not follow later edits of the
    // caller's one.
    held = image.copy();
    Changed();
}

void TButtonBitmaps::SetTransparentColor(const QColor& colour) {
    if (colour == transparentColor_) {
        return;
    }
    transparentColor_ = colour;
    Changed();
}

void TButtonBitmaps::Changed() {
    if (OnChange) {
        OnChange();
    }
}
