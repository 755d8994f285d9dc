#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include "FakeWorkflow.h"
#include "RecordingHooks.h"
#include "UpdateMain.h"

namespace {

const QString kStartText = QString::fromUtf8("正在下载更新，请候！");
const QString kDoneText = QString::fromUtf8("下载完成，请点击更新！");

class UpdateWindow : public ::testing::Test {
  protected:
    void SetUp() override { FakeWorkflow::Reset(); }
    void TearDown() override { FakeWorkflow::Reset(); }

    static void Work(TfrmUpdateMain& window, int events) {
        for (int i = 0; i < events; ++i) {
            window.TcpClient1->OnWork(window.TcpClient1.get(), wkRead, 4096 * (i + 1));
        }
    }
};

int Area(const QRegion& region) {
    int area = 0;
    for (const QRect& rect : region) {
        area += rect.width() * rect.height();
    }
    return area;
}

}  // namespace

TEST_F(UpdateWindow, BuiltAsTheResourceDescribes) {
    TfrmUpdateMain window;
    EXPECT_EQ(window.size(), QSize(423, 164));
    EXPECT_EQ(window.windowTitle(), QString::fromUtf8("zuvo更新"));
    EXPECT_TRUE(window.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(window.font().pixelSize(), 12);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_LE((window.geometry().center() - screen.center()).manhattanLength(), 2);

    // Creation order is drawing order; the buttons come last, on top.
    const std::vector<QWidget*> expected = {window.FormShape1, window.Label1, window.Image1,
                                            window.Image2,     window.btnOk,  window.btnCancel};
    std::vector<QWidget*> children;
    for (QObject* child : window.children()) {
        if (auto* widget = qobject_cast<QWidget*>(child)) {
            children.push_back(widget);
        }
    }
    EXPECT_EQ(children, expected);
    EXPECT_EQ(window.FormShape1->geometry(), QRect(0, 0, 423, 164));
    EXPECT_EQ(window.FormShape1->Picture().size(), QSize(419, 159));
    EXPECT_EQ(window.Label1->geometry(), QRect(272, 42, 120, 12));
    EXPECT_EQ(window.Label1->text(), kStartText);
    EXPECT_EQ(window.Image1->geometry(), QRect(16, 80, 393, 17));
    EXPECT_EQ(window.Image2->geometry(), QRect(18, 81, 1, 14));
    EXPECT_EQ(window.btnOk->geometry(), QRect(264, 126, 64, 22));
    EXPECT_EQ(window.btnCancel->geometry(), QRect(336, 126, 64, 22));
    EXPECT_FALSE(window.btnOk->isEnabled());
    EXPECT_TRUE(window.btnCancel->isEnabled());
    EXPECT_EQ(window.btnOk->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(window.btnOk->nextInFocusChain(), window.btnCancel);
    EXPECT_EQ(window.btnOk->Bitmaps().Disabled().size(), QSize(64, 22));

    EXPECT_TRUE(window.Timer1->isActive());
    EXPECT_EQ(window.Timer1->interval(), 1000);
    EXPECT_EQ(window.Timer1->timerType(), Qt::PreciseTimer);
    EXPECT_TRUE(window.UnZipper1->RecreateDirs);
    EXPECT_TRUE(window.UnZipper1->DoAll);
    EXPECT_EQ(window.TcpClient1->Port, 0);
    EXPECT_TRUE(window.TcpClient1->OnWork);
    EXPECT_TRUE(window.TcpClient1->OnWorkEnd);
    EXPECT_EQ(window.TickCount, 0);
    EXPECT_EQ(window.WorkCount, 0);
}

TEST_F(UpdateWindow, FirstShowCutsTheCornersOff) {
    TfrmUpdateMain window;
    window.show();
    ASSERT_TRUE(window.FormShape1->RegionApplied());
    EXPECT_EQ(Area(window.mask()), 419 * 159 - 52);
    EXPECT_FALSE(window.mask().contains(QPoint(0, 0)));
    EXPECT_TRUE(window.mask().contains(QPoint(418, 79)));
    EXPECT_FALSE(window.mask().contains(QPoint(420, 79))) << "client area beyond the picture";
}

// Ten receives move the bar to 10; the end of the transfer fills it.
TEST_F(UpdateWindow, ShortTransferEndsWithAFullBar) {
    TfrmUpdateMain window;
    RecordingHooks hooks;
    Work(window, 10);
    EXPECT_EQ(window.Image2->width(), 10);
    EXPECT_EQ(window.WorkCount, 10);
    EXPECT_EQ(hooks.Pumps(), 10);
    QElapsedTimer clock;
    clock.start();
    window.TcpClient1->OnWorkEnd(window.TcpClient1.get(), wkRead);
    EXPECT_GE(clock.elapsed(), 450);
    EXPECT_EQ(window.Image2->width(), 389);
    EXPECT_EQ(window.Label1->text(), kDoneText);
    EXPECT_GE(window.Label1->width(), window.Label1->fontMetrics().horizontalAdvance(kDoneText))
        << "the label grows to show the whole text";
    EXPECT_TRUE(window.btnOk->isEnabled());
    EXPECT_EQ(hooks.Pumps(), 10) << "the work end processes nothing";
}

// The bar is full after the 389th receive; later ones neither repaint nor
// process messages.
TEST_F(UpdateWindow, LongTransferStopsProcessingOnceTheBarIsFull) {
    TfrmUpdateMain window;
    RecordingHooks hooks;
    Work(window, 1);
    EXPECT_EQ(window.Image2->width(), 1);
    Work(window, 387);
    EXPECT_EQ(window.Image2->width(), 388);
    Work(window, 1);
    EXPECT_EQ(window.Image2->width(), 389);
    EXPECT_EQ(hooks.Pumps(), 389);
    Work(window, 611);
    EXPECT_EQ(window.Image2->width(), 389);
    EXPECT_EQ(window.WorkCount, 1000);
    EXPECT_EQ(hooks.Pumps(), 389);
}

TEST_F(UpdateWindow, DownloadStartsOnTheSecondTickExactlyOnce) {
    int tickAtStart = -1;
    bool okEnabledAtStart = true;
    bool timerActiveAtStart = true;
    FakeWorkflow::onDownload = [&](TfrmUpdateMain& window) {
        tickAtStart = window.TickCount;
        okEnabledAtStart = window.btnOk->isEnabled();
        timerActiveAtStart = window.Timer1->isActive();
    };
    QElapsedTimer clock;
    clock.start();
    TfrmUpdateMain window;
    window.btnOk->setEnabled(true);
    QTRY_COMPARE_WITH_TIMEOUT(FakeWorkflow::downloads, 1, 8000);
    EXPECT_GE(clock.elapsed(), 1900);
    EXPECT_EQ(tickAtStart, 2);
    EXPECT_FALSE(okEnabledAtStart);
    EXPECT_FALSE(timerActiveAtStart);
    QTest::qWait(1300);
    EXPECT_EQ(FakeWorkflow::downloads, 1);
    EXPECT_EQ(window.TickCount, 2);
}

// Cancel in the Waiting state ends the message loop before the download
// could start: no connection is ever made.
TEST_F(UpdateWindow, CancelWhileWaitingEndsTheProgramWithoutNetwork) {
    TfrmUpdateMain window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTimer::singleShot(100, &window, [&] {
        QTest::mouseClick(window.btnCancel, Qt::LeftButton, {}, QPoint(1, 1));
    });
    QTimer::singleShot(5000, [] { QCoreApplication::exit(7); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(FakeWorkflow::downloads, 0);
    EXPECT_FALSE(window.TcpClient1->IsConnected());
}

// Cancel pressed while a work event processes messages closes the window at
// once, but the program ends only after the download has returned.
TEST_F(UpdateWindow, CancelDuringTheTransferEndsTheProgramAfterIt) {
    const ProcessMessagesHook previous =
        SetProcessMessagesHook([] { QCoreApplication::processEvents(); });
    TfrmUpdateMain window;
    bool visibleAfterCancel = true;
    bool loopRunningAfterCancel = false;
    FakeWorkflow::onDownload = [&](TfrmUpdateMain& w) {
        QTimer::singleShot(
            0, &w, [&w] { QTest::mouseClick(w.btnCancel, Qt::LeftButton, {}, QPoint(1, 1)); });
        Work(w, 1);
        visibleAfterCancel = w.isVisible();
        Work(w, 49);
        // Still inside the download: a zero-time timer still fires, so the
        // message loop has not ended yet.
        bool fired = false;
        QTimer::singleShot(0, [&fired] { fired = true; });
        QCoreApplication::processEvents();
        loopRunningAfterCancel = fired;
    };
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTimer::singleShot(10000, [] { QCoreApplication::exit(7); });
    EXPECT_EQ(QApplication::exec(), 0);
    SetProcessMessagesHook(previous);
    EXPECT_EQ(FakeWorkflow::downloads, 1);
    EXPECT_FALSE(visibleAfterCancel);
    EXPECT_TRUE(loopRunningAfterCancel);
    EXPECT_EQ(window.WorkCount, 50) << "the transfer ran to its end";
}

TEST_F(UpdateWindow, OkStartsTheInstallationOnlyWhenEnabledAndNeverTwiceAtOnce) {
    TfrmUpdateMain window;
    window.Timer1->stop();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::mouseClick(window.btnOk, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_EQ(FakeWorkflow::installs, 0) << "a disabled OK does nothing";
    window.btnOk->setEnabled(true);
    // The installation pumps messages; a second click arriving there is
    // swallowed.
    FakeWorkflow::onInstall = [](TfrmUpdateMain& w) { w.btnOk->Click(); };
    QTest::mouseClick(window.btnOk, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_EQ(FakeWorkflow::installs, 1);
}
