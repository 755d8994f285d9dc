#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>
#include <QWindow>

#include "WaitUntil.h"
#include "skin/FormShapes.h"

namespace {

QImage RealBackground() { return QImage(QStringLiteral(ZUVO_ASSETS_DIR "/background.bmp")); }

int Area(const QRegion& region) {
    int area = 0;
    for (const QRect& rect : region) {
        area += rect.width() * rect.height();
    }
    return area;
}

// Counts the scans, so a test can tell whether the region was built again.
class CountingShape : public TFormShape {
  public:
    using TFormShape::TFormShape;
    QRegion BuildRegion(const QImage& bitmap) override {
        ++builds;
        return TFormShape::BuildRegion(bitmap);
    }
    int builds = 0;
};

// A bitmap whose bottom-left pixel (and so its key) is `key`, all other
// pixels `fill`.
QImage Filled(QSize size, QRgb fill, QRgb key) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(fill);
    image.setPixel(0, size.height() - 1, key);
    return image;
}

}  // namespace

// The window's own background: white is the key (its bottom-left pixel), and
// exactly the 52 white corner pixels fall outside the shape.
TEST(FormShapeRegion, RealBackgroundKeepsExactlyItsOpaquePixels) {
    const QImage background = RealBackground();
    ASSERT_EQ(background.size(), QSize(419, 159));
    QWidget form;
    TFormShape shape(&form);
    const QRegion region = shape.BuildRegion(background);
    EXPECT_EQ(Area(region), 419 * 159 - 52);
    int outside = 0;
    for (int y = 0; y < background.height(); ++y) {
        for (int x = 0; x < background.width(); ++x) {
            const bool white = (background.pixel(x, y) & 0xFFFFFF) == 0xFFFFFF;
            ASSERT_EQ(region.contains(QPoint(x, y)), !white) << x << "," << y;
            outside += white;
        }
    }
    EXPECT_EQ(outside, 52);
    EXPECT_TRUE(region.contains(QPoint(418, 80))) << "the rightmost column is inside";
    EXPECT_FALSE(region.contains(QPoint(0, 158)));
    EXPECT_EQ(region.boundingRect(), QRect(0, 0, 419, 159));
}

TEST(FormShapeRegion, TwoOpaqueStretchesInARowGiveTwoRects) {
    const QRgb key = qRgb(0, 255, 0);
    QImage image = Filled(QSize(10, 2), key, key);
    for (int x : {0, 1, 2, 6, 7, 8, 9}) {
        image.setPixel(x, 0, qRgb(10, 20, 30));
    }
    QWidget form;
    TFormShape shape(&form);
    const QRegion region = shape.BuildRegion(image);
    const std::vector<QRect> rects(region.begin(), region.end());
    EXPECT_EQ(rects, (std::vector<QRect>{QRect(0, 0, 3, 1), QRect(6, 0, 4, 1)}));
}

// Only red, green and blue count: an alpha difference does not make a pixel
// opaque.
TEST(FormShapeRegion, ComparesTheLow24BitsOnly) {
    QImage image(4, 1, QImage::Format_ARGB32);
    image.fill(qRgba(1, 2, 3, 255));
    image.setPixel(1, 0, qRgba(1, 2, 3, 7));
    image.setPixel(2, 0, qRgba(9, 2, 3, 255));
    QWidget form;
    TFormShape shape(&form);
    EXPECT_EQ(shape.BuildRegion(image), QRegion(2, 0, 1, 1));
}

TEST(FormShapeRegion, ExplicitColourMissingFromTheBitmapKeepsEverything) {
    QWidget form;
    TFormShape shape(&form);
    shape.SetTransparentColor(QColor(1, 1, 1));
    const QImage image = Filled(QSize(7, 5), qRgb(200, 0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(shape.BuildRegion(image), QRegion(0, 0, 7, 5));
}

TEST(FormShapeRegion, KeyColourOnlyGivesNoRegionAndNoMask) {
    QWidget form;
    form.resize(50, 40);
    TFormShape shape(&form);
    shape.SetPicture(Filled(QSize(50, 40), qRgb(5, 5, 5), qRgb(5, 5, 5)));
    EXPECT_TRUE(shape.BuildRegion(shape.Picture()).isEmpty());
    form.show();
    EXPECT_TRUE(shape.RegionApplied());
    EXPECT_TRUE(form.mask().isEmpty());
}

TEST(FormShape, RemovesTheBorderAndFillsTheClientArea) {
    QWidget form;
    form.resize(120, 80);
    TFormShape shape(&form);
    EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(shape.AllowFormDrag());
    EXPECT_FALSE(shape.RegionApplied());
    EXPECT_EQ(shape.geometry(), QRect(0, 0, 120, 80));
    form.show();
    form.resize(130, 90);
    EXPECT_EQ(shape.geometry(), QRect(0, 0, 130, 90));
}

// The region is applied at the first show and never built again.
TEST(FormShape, AppliesTheRegionOnceAtTheFirstShow) {
    QWidget form;
    form.resize(419, 159);
    CountingShape shape(&form);
    shape.SetPicture(RealBackground());
    EXPECT_EQ(shape.builds, 0);
    form.show();
    EXPECT_EQ(shape.builds, 1);
    EXPECT_TRUE((form.mask() ^ shape.TFormShape::BuildRegion(RealBackground())).isEmpty());
    form.hide();
    form.show();
    EXPECT_EQ(shape.builds, 1);
}

namespace {

struct DragFixture {
    DragFixture() {
        form.resize(200, 120);
        form.move(100, 100);
        label = new QLabel(QStringLiteral("label"), &form);
        shape = new TFormShape(&form);
        shape->SetPicture(Filled(QSize(200, 120), qRgb(40, 80, 160), qRgb(40, 80, 160)));
        // The label lies over the shape, as in the update window.
        label->setGeometry(150, 10, 40, 20);
        label->raise();
        form.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
    }
    QWindow* Window() { return form.windowHandle(); }

    QWidget form;
    QLabel* label = nullptr;
    TFormShape* shape = nullptr;
};

}  // namespace

// Offscreen there is no system move loop, so the form follows the pointer by
// hand; any button starts it.
TEST(FormShapeDrag, AnyButtonOnTheShapeMovesTheForm) {
    for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton}) {
        DragFixture f;
        const QPoint start = f.form.pos();
        QTest::mousePress(f.Window(), button, {}, QPoint(5, 5));
        QTest::mouseMove(f.Window(), QPoint(25, 35));
        EXPECT_TRUE(WaitUntil([&] { return f.form.pos() == start + QPoint(20, 30); }));
        QTest::mouseRelease(f.Window(), button, {}, QPoint(25, 35));
        const QPoint after = f.form.pos();
        QTest::mouseMove(f.Window(), QPoint(60, 60));
        QTest::qWait(20);
        EXPECT_EQ(f.form.pos(), after) << "released: the form stays";
    }
}

TEST(FormShapeDrag, NothingMovesWithoutAllowFormDrag) {
    DragFixture f;
    f.shape->SetAllowFormDrag(false);
    const QPoint start = f.form.pos();
    QTest::mousePress(f.Window(), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseMove(f.Window(), QPoint(25, 35));
    QTest::qWait(20);
    EXPECT_EQ(f.form.pos(), start);
    QTest::mouseRelease(f.Window(), Qt::LeftButton, {}, QPoint(25, 35));
}

TEST(FormShapeDrag, APressOnAControlAboveTheShapeDoesNotMoveTheForm) {
    DragFixture f;
    const QPoint start = f.form.pos();
    QTest::mousePress(f.Window(), Qt::LeftButton, {}, QPoint(160, 15));
    QTest::mouseMove(f.Window(), QPoint(180, 45));
    QTest::qWait(20);
    EXPECT_EQ(f.form.pos(), start);
    QTest::mouseRelease(f.Window(), Qt::LeftButton, {}, QPoint(180, 45));
}

// A drag ends with the release of the button that started it, not with a
// second button's press and release meanwhile.
TEST(FormShapeDrag, OnlyTheStartingButtonsReleaseEndsTheDrag) {
    DragFixture f;
    const QPoint start = f.form.pos();
    QTest::mousePress(f.Window(), Qt::RightButton, {}, QPoint(5, 5));
    ASSERT_TRUE(f.shape->MovingByHand());
    QTest::mousePress(f.Window(), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(f.Window(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(f.shape->MovingByHand()) << "the right button is still held";
    QTest::mouseMove(f.Window(), QPoint(15, 25));
    EXPECT_TRUE(WaitUntil([&] { return f.form.pos() == start + QPoint(10, 20); }));
    QTest::mouseRelease(f.Window(), Qt::RightButton, {}, QPoint(15, 25));
    EXPECT_FALSE(f.shape->MovingByHand());
}
