#include <gtest/gtest.h>

#include "skin/ButtonLayout.h"

namespace {

const QRect kArea(0, 0, 100, 30);
const QSize kGlyph(16, 16);
const QSize kText(40, 12);

}  // namespace

// Centring with the default spacing puts the pair in the middle of the main
// axis and each part in the middle of the cross axis.
TEST(CalcLayoutRects, CentresImageAndCaptionWithDefaultSpacing) {
    const TLayoutRects left = CalcLayoutRects(kArea, kGlyph, kText, blGlyphLeft, -1, 4);
    EXPECT_EQ(left.Image, QRect(20, 7, 16, 16));
    EXPECT_EQ(left.Caption, QRect(40, 9, 40, 12));
    const TLayoutRects right = CalcLayoutRects(kArea, kGlyph, kText, blGlyphRight, -1, 4);
    EXPECT_EQ(right.Image, QRect(64, 7, 16, 16));
    EXPECT_EQ(right.Caption, QRect(20, 9, 40, 12));
}

TEST(CalcLayoutRects, SpreadsEvenlyWhenBothAreMinusOne) {
    const TLayoutRects rects = CalcLayoutRects(kArea, kGlyph, kText, blGlyphLeft, -1, -1);
    EXPECT_EQ(rects.Image.x(), 14);
    EXPECT_EQ(rects.Caption.x(), 14 + 16 + 14);
}

TEST(CalcLayoutRects, FixedMarginWithEvenSpacing) {
    const TLayoutRects rects = CalcLayoutRects(kArea, kGlyph, kText, blGlyphLeft, 5, -1);
    EXPECT_EQ(rects.Image.x(), 5);
    EXPECT_EQ(rects.Caption.x(), 5 + 16 + 19);
}

TEST(CalcLayoutRects, VerticalLayoutsWorkOnY) {
    const QRect area(10, 20, 60, 80);
    const TLayoutRects top = CalcLayoutRects(area, kGlyph, kText, blGlyphTop, 3, 2);
    EXPECT_EQ(top.Image, QRect(10 + 22, 20 + 3, 16, 16));
    EXPECT_EQ(top.Caption, QRect(10 + 10, 20 + 3 + 16 + 2, 40, 12));
    const TLayoutRects bottom = CalcLayoutRects(area, kGlyph, kText, blGlyphBottom, 3, 2);
    EXPECT_EQ(bottom.Image.y(), 20 + 80 - 3 - 16);
    EXPECT_EQ(bottom.Caption.y(), 20 + 80 - 3 - 16 - 2 - 12);
}

// Negative halves truncate toward zero, as the original integer division did.
TEST(CalcLayoutRects, HalvingTruncatesTowardZero) {
    const QRect narrow(0, 0, 10, 5);
    const TLayoutRects spread = CalcLayoutRects(narrow, kGlyph, kText, blGlyphLeft, -1, -1);
    EXPECT_EQ(spread.Image.x(), -15);  // (10 - 56) / 3
    EXPECT_EQ(spread.Image.y(), 2 - 8);
    EXPECT_EQ(spread.Caption.y(), 2 - 6);
}

TEST(CalcLayoutRects, CaptionAloneIgnoresSpacingAndHasNoImageRect) {
    const TLayoutRects rects = CalcLayoutRects(kArea, QSize(0, 0), kText, blGlyphLeft, -1, 4);
    EXPECT_TRUE(rects.Image.isNull());
    EXPECT_EQ(rects.Caption, QRect(30, 9, 40, 12));
}
