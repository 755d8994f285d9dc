#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "skin/BmpButton.h"

namespace {

// Colours as red, green and blue only, which is what the tests compare.
const QRgb kOlive = 0x808000;
const QRgb kUp = 0x0000C8;
const QRgb kDown = 0x00A000;
const QRgb kDisabled = 0x5A5A5A;
const QRgb kHost = 0xDC0000;

// A 64 x 22 image of one colour whose top-left pixel is olive (see-through).
QImage Image(QRgb colour, QSize size = QSize(64, 22)) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(0xFF000000u | colour);
    image.setPixel(0, 0, 0xFF000000u | kOlive);
    return image;
}

// A shown, active window holding buttons, with a red background.
struct Host {
    Host() {
        window.resize(300, 100);
        window.setAutoFillBackground(true);
        QPalette palette = window.palette();
        palette.setColor(QPalette::Window, QColor::fromRgb(kHost));
        window.setPalette(palette);
    }
    TBmpButton* Add(QPoint at) {
        auto* button = new TBmpButton(&window);
        button->Bitmaps().SetUp(Image(kUp));
        button->move(at);
        return button;
    }
    void Show() {
        window.show();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    // Shows the window with one button at its left.
    TBmpButton* ShowWithOne() {
        TBmpButton* button = Add(QPoint(10, 10));
        Show();
        return button;
    }
    // What the screen shows at a button's pixel, parent included.
    QRgb Pixel(TBmpButton* button, QPoint at) {
        return window.grab().toImage().pixel(button->mapTo(&window, at)) & 0xFFFFFF;
    }

    QWidget window;
};

void Click(TBmpButton* button) { QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(1, 1)); }

// A shown window whose left button has the focus and counts its clicks, with
// a second button beside it to take the focus away.
class BmpButtonKeyboard : public ::testing::Test {
  protected:
    void SetUp() override {
        host.Show();
        button->setFocus();
    }
    Host host;
    TBmpButton* button = host.Add(QPoint(10, 10));
    TBmpButton* other = host.Add(QPoint(100, 10));
    QSignalSpy clicks{button, &TBmpButton::OnClick};
};

// Two shown buttons side by side in group 1.
class BmpButtonGroup : public ::testing::Test {
  protected:
    void SetUp() override {
        first->SetGroupIndex(1);
        second->SetGroupIndex(1);
        host.Show();
    }
    Host host;
    TBmpButton* first = host.Add(QPoint(10, 10));
    TBmpButton* second = host.Add(QPoint(100, 10));
};

}  // namespace

TEST(BmpButton, DefaultsOfAFreshButton) {
    TBmpButton button;
    EXPECT_EQ(button.size(), QSize(80, 30));
    EXPECT_EQ(button.ButtonBorder(), bbNone);
    EXPECT_EQ(button.ButtonSize(), bszButtonToBitmap);
    EXPECT_EQ(button.ButtonStyle(), bsAutoDetect);
    EXPECT_EQ(button.Layout(), blGlyphLeft);
    EXPECT_EQ(button.Margin(), -1);
    EXPECT_EQ(button.Spacing(), 4);
    EXPECT_EQ(button.CaptionDownOffset(), 1);
    EXPECT_TRUE(button.ShowFocus());
    EXPECT_TRUE(button.ShowDownPattern());
    EXPECT_EQ(button.GroupIndex(), 0);
    EXPECT_FALSE(button.Down());
    EXPECT_FALSE(button.AllowAllUp());
    EXPECT_EQ(button.ModalResult(), 0);
    EXPECT_TRUE(button.TabStop());
    EXPECT_EQ(button.ButtonState(), StateUp);
    EXPECT_EQ(button.Color(), button.palette().color(QPalette::Button));
    EXPECT_EQ(button.Bitmaps().TransparentColor(), QColor(128, 128, 0));
    button.SetMargin(-2);
    EXPECT_EQ(button.Margin(), -1) << "margins below -1 are refused";
}

TEST(BmpButtonSize, FollowsTheUpImageAndTheBorder) {
    TBmpButton button;
    button.Bitmaps().SetUp(Image(kUp));
    EXPECT_EQ(button.size(), QSize(64, 22));
    button.SetButtonBorder(bbSingle);
    EXPECT_EQ(button.size(), QSize(66, 24));
    button.SetButtonBorder(bbButton);
    EXPECT_EQ(button.size(), QSize(68, 26));
    button.SetButtonStyle(bsWin31);
    EXPECT_EQ(button.size(), QSize(70, 28));
    button.show();
    button.resize(10, 10);
    EXPECT_EQ(button.size(), QSize(70, 28)) << "a resize gets the rule applied again";
    button.SetButtonSize(bszNeither);
    button.resize(10, 10);
    EXPECT_EQ(button.size(), QSize(10, 10));
}

TEST(ButtonBitmaps, ReportsChangesButNotTheImageItHolds) {
    TButtonBitmaps bitmaps;
    int changes = 0;
    bitmaps.OnChange = [&] { ++changes; };
    bitmaps.SetDown(Image(kDown));
    EXPECT_EQ(changes, 1);
    bitmaps.SetDown(bitmaps.Down());
    bitmaps.SetTransparentColor(QColor(128, 128, 0));
    EXPECT_EQ(changes, 1);
    bitmaps.SetTransparentColor(Qt::white);
    EXPECT_EQ(changes, 2);
}

// Press, drag off (y equal to the height is outside), back on, off again and
// release outside: no click, and the state follows the pointer.
TEST(BmpButtonMouse, DragOffAndBackThenReleaseOutsideDoesNotClick) {
    Host host;
    TBmpButton* button = host.ShowWithOne();
    QSignalSpy clicks(button, &TBmpButton::OnClick);
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_EQ(button->ButtonState(), StateDown);
    EXPECT_TRUE(button->Dragging());
    QTest::mouseMove(button, QPoint(1, button->height()));
    EXPECT_EQ(button->ButtonState(), StateUp);
    QTest::mouseMove(button, QPoint(63, 21));
    EXPECT_EQ(button->ButtonState(), StateDown);
    QTest::mouseMove(button, QPoint(64, 1));
    EXPECT_EQ(button->ButtonState(), StateUp);
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(1, button->height()));
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_EQ(button->ButtonState(), StateUp);
    EXPECT_FALSE(button->Dragging());
    Click(button);
    EXPECT_EQ(clicks.count(), 1);
}

TEST(BmpButtonMouse, OtherButtonsTakeFocusButNeverPress) {
    Host host;
    TBmpButton* first = host.Add(QPoint(10, 10));
    TBmpButton* second = host.Add(QPoint(100, 10));
    host.Show();
    first->setFocus();
    QSignalSpy clicks(second, &TBmpButton::OnClick);
    for (Qt::MouseButton other : {Qt::RightButton, Qt::MiddleButton}) {
        first->setFocus();
        QTest::mousePress(second, other, {}, QPoint(1, 1));
        EXPECT_TRUE(second->HasFocus());
        EXPECT_EQ(second->ButtonState(), StateUp);
        EXPECT_FALSE(second->Dragging());
        QTest::mouseRelease(second, other, {}, QPoint(1, 1));
    }
    EXPECT_EQ(clicks.count(), 0);
}

TEST_F(BmpButtonKeyboard, SpaceHeldThenAnyKeyUpClicks) {
    QTest::keyPress(button, Qt::Key_Space);
    EXPECT_EQ(button->ButtonState(), StateDown);
    QKeyEvent repeat(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, QString(" "), true);
    QApplication::sendEvent(button, &repeat);
    EXPECT_EQ(clicks.count(), 0) << "an auto-repeat release is no release";
    QTest::keyRelease(button, Qt::Key_A);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(button->ButtonState(), StateUp);
    QTest::keyRelease(button, Qt::Key_Space);
    EXPECT_EQ(clicks.count(), 1) << "nothing is held any more";
}

TEST_F(BmpButtonKeyboard, EnterClicksOnKeyDown) {
    QTest::keyPress(button, Qt::Key_Return);
    EXPECT_EQ(clicks.count(), 1);
    QTest::keyRelease(button, Qt::Key_Return);
    EXPECT_EQ(clicks.count(), 1);
}

TEST_F(BmpButtonKeyboard, LosingFocusDropsAHeldSpace) {
    QTest::keyPress(button, Qt::Key_Space);
    other->setFocus();
    QTest::keyRelease(button, Qt::Key_Space);
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_EQ(button->ButtonState(), StateUp);
}

TEST(BmpButtonMnemonic, ClicksWhenEnabled) {
    Host host;
    TBmpButton* button = host.Add(QPoint(10, 10));
    button->SetCaption(QStringLiteral("&Go"));
    host.Show();
    QSignalSpy clicks(button, &TBmpButton::OnClick);
    QTest::keyClick(&host.window, Qt::Key_G, Qt::AltModifier);
    EXPECT_EQ(clicks.count(), 1);
    button->setEnabled(false);
    QTest::keyClick(&host.window, Qt::Key_G, Qt::AltModifier);
    EXPECT_EQ(clicks.count(), 1);
}

TEST(BmpButtonPaint, ShowsTheImageOfEachStateWithoutTheTransparentColour) {
    Host host;
    TBmpButton* button = host.Add(QPoint(10, 10));
    button->Bitmaps().SetDown(Image(kDown));
    button->Bitmaps().SetDisabled(Image(kDisabled));
    host.Show();
    EXPECT_EQ(host.Pixel(button, QPoint(5, 5)), kUp);
    EXPECT_EQ(host.Pixel(button, QPoint(0, 0)), kHost) << "olive shows the parent";
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_EQ(host.Pixel(button, QPoint(5, 5)), kDown);
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(1, 1));
    button->setEnabled(false);
    EXPECT_EQ(host.Pixel(button, QPoint(5, 5)), kDisabled);
    EXPECT_EQ(button->ButtonState(), StateDisabled);
    button->setEnabled(true);
    EXPECT_EQ(host.Pixel(button, QPoint(5, 5)), kUp);
    EXPECT_EQ(button->ButtonState(), StateUp);
}

TEST(BmpButtonPaint, WithoutADisabledImageShowsTheEmbossedUpImage) {
    Host host;
    TBmpButton* button = host.Add(QPoint(10, 10));
    QImage up = Image(0xFFFFFF);
    up.setPixel(10, 10, qRgb(0, 0, 0));
    button->Bitmaps().SetUp(up);
    button->setEnabled(false);
    host.Show();
    const QRgb face = button->Color().rgb() & 0xFFFFFF;
    const QRgb shadow = button->palette().color(QPalette::Dark).rgb() & 0xFFFFFF;
    EXPECT_EQ(host.Pixel(button, QPoint(10, 10)), shadow);
    EXPECT_EQ(host.Pixel(button, QPoint(11, 11)), 0xFFFFFFu) << "the highlight below right";
    EXPECT_EQ(host.Pixel(button, QPoint(30, 5)), face);
}

TEST(BmpButtonPaint, SingleBorderFramesTheImageInBlack) {
    Host host;
    TBmpButton* button = host.Add(QPoint(10, 10));
    button->SetButtonBorder(bbSingle);
    host.Show();
    EXPECT_EQ(host.Pixel(button, QPoint(0, 0)), 0u);
    EXPECT_EQ(host.Pixel(button, QPoint(65, 23)), 0u);
    EXPECT_EQ(host.Pixel(button, QPoint(3, 3)), kUp);
}

// A latched bordered button gets the checkerboard where its image is
// see-through; an unlatched one shows its colour there.
TEST(BmpButtonPaint, LatchedBorderedButtonShowsTheDownPattern) {
    Host host;
    TBmpButton* button = host.Add(QPoint(10, 10));
    button->SetButtonBorder(bbSingle);
    button->SetColor(QColor(0, 90, 0));
    button->SetGroupIndex(1);
    host.Show();
    EXPECT_EQ(host.Pixel(button, QPoint(1, 1)), 0x005A00u);
    button->SetDown(true);
    EXPECT_EQ(host.Pixel(button, QPoint(1, 1)), 0xFFFFFFu);
    EXPECT_EQ(host.Pixel(button, QPoint(3, 3)), kUp);
    button->SetShowDownPattern(false);
    EXPECT_EQ(host.Pixel(button, QPoint(1, 1)), 0x005A00u);
}

TEST(BmpButtonPaint, FocusRectangleOnlyAroundACaption) {
    Host host;
    TBmpButton* button = host.ShowWithOne();
    button->setFocus();
    ASSERT_TRUE(button->HasFocus());
    const QImage noCaption = button->grab().toImage();
    button->SetShowFocus(false);
    EXPECT_EQ(button->grab().toImage(), noCaption);
    button->SetCaption(QStringLiteral("OK"));
    const QImage captionOnly = button->grab().toImage();
    button->SetShowFocus(true);
    EXPECT_NE(button->grab().toImage(), captionOnly);
}

TEST_F(BmpButtonGroup, LatchesOneButtonAtATime) {
    Click(first);
    EXPECT_TRUE(first->Down());
    EXPECT_EQ(first->ButtonState(), StateExclusive);
    Click(second);
    EXPECT_TRUE(second->Down());
    EXPECT_FALSE(first->Down());
    EXPECT_EQ(first->ButtonState(), StateUp);
    QSignalSpy clicks(second, &TBmpButton::OnClick);
    Click(second);
    EXPECT_TRUE(second->Down()) << "without AllowAllUp the down one stays down";
    EXPECT_EQ(clicks.count(), 1);
}

TEST_F(BmpButtonGroup, AllowAllUpIsSharedAndLetsTheDownOneRise) {
    second->SetAllowAllUp(true);
    EXPECT_TRUE(first->AllowAllUp());
    Click(first);
    Click(first);
    EXPECT_FALSE(first->Down());
    EXPECT_EQ(first->ButtonState(), StateUp);
}

TEST(BmpButton, DownNeedsAGroup) {
    TBmpButton button;
    button.SetDown(true);
    EXPECT_FALSE(button.Down());
    button.SetGroupIndex(3);
    button.SetDown(true);
    EXPECT_TRUE(button.Down());
    button.SetDown(false);
    EXPECT_TRUE(button.Down());
}

TEST(BmpButton, DoubleClickEventOnlyWhileDown) {
    Host host;
    TBmpButton* button = host.ShowWithOne();
    QSignalSpy doubles(button, &TBmpButton::OnDblClick);
    QTest::mouseDClick(button, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_EQ(doubles.count(), 0);
    button->SetGroupIndex(2);
    Click(button);
    ASSERT_TRUE(button->Down());
    QTest::mouseDClick(button, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_EQ(doubles.count(), 1);
}

TEST(BmpButton, ClickSetsTheDialogResult) {
    QDialog dialog;
    auto* button = new TBmpButton(&dialog);
    button->SetModalResult(QDialog::Accepted);
    dialog.open();
    button->Click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
}

TEST(BmpButton, DownPatternIsACheckerboardFreedWithTheLastButton) {
    auto button = std::make_unique<TBmpButton>();
    const int live = TBmpButton::LiveButtons();
    const QImage& pattern = TBmpButton::DownPattern();
    EXPECT_EQ(pattern.size(), QSize(8, 8));
    EXPECT_EQ(pattern.pixel(0, 0) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(pattern.pixel(3, 5) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(pattern.pixel(1, 0), QApplication::palette().color(QPalette::Button).rgb());
    button.reset();
    EXPECT_EQ(TBmpButton::LiveButtons(), live - 1);
}
