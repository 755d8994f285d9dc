#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include "FakeSteps.h"
#include "RecordingHooks.h"
#include "WaitUntil.h"
#include "platform/MessageHooks.h"
#include "platform/ScopeExit.h"
#include "qt/QtHooks.h"
#include "qt/UpdateMain.h"

namespace {

const QString kStartText = QString::fromUtf8("正在下载更新，请候！");
const QString kDoneText = QString::fromUtf8("下载完成，请点击更新！");

// The Qt window over scripted steps; the window logic itself is tested
// without a toolkit (WorkflowTest.cpp).
class UpdateWindow : public ::testing::Test {
  protected:
    static void Work(TfrmUpdateMain& window, int events) {
        for (int i = 0; i < events; ++i) {
            window.Workflow->TcpClient1Work();
        }
    }

    FakeSteps steps;
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
    TfrmUpdateMain window(steps);
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
    EXPECT_EQ(window.Workflow->TickCount, 0);
    EXPECT_EQ(window.Workflow->WorkCount, 0);
}

TEST_F(UpdateWindow, FirstShowCutsTheCornersOff) {
    TfrmUpdateMain window(steps);
    window.show();
    ASSERT_TRUE(window.FormShape1->RegionApplied());
    EXPECT_EQ(Area(window.mask()), 419 * 159 - 52);
    EXPECT_FALSE(window.mask().contains(QPoint(0, 0)));
    EXPECT_TRUE(window.mask().contains(QPoint(418, 79)));
    EXPECT_FALSE(window.mask().contains(QPoint(420, 79))) << "client area beyond the picture";
}

// The widgets follow the workflow: the fill's width, the completion text
// (the label grows to show all of it), and OK.
TEST_F(UpdateWindow, ShowsTheProgressAndTheCompletion) {
    TWorkflowTimings everyEvent{1000, 0, 10000};
    everyEvent.PumpIntervalMs = 0;
    TfrmUpdateMain window(steps, everyEvent);
    RecordingHooks hooks;
    Work(window, 10);
    EXPECT_EQ(window.Image2->width(), 10);
    EXPECT_EQ(hooks.Pumps(), 10);
    window.Workflow->TcpClient1WorkEnd();
    EXPECT_EQ(window.Image2->width(), 389);
    EXPECT_EQ(window.Label1->text(), kDoneText);
    EXPECT_GE(window.Label1->width(), window.Label1->fontMetrics().horizontalAdvance(kDoneText))
        << "the label grows to show the whole text";
    EXPECT_TRUE(window.btnOk->isEnabled());
    window.Workflow->DownloadFailed();
    EXPECT_FALSE(window.btnOk->isEnabled());
    EXPECT_EQ(window.Label1->text(), QString::fromUtf8("下载更新包失败！"));
}

// The Qt timer delivers the ticks: the download starts on the second one and
// a third never comes.
TEST_F(UpdateWindow, DownloadStartsOnTheSecondTickExactlyOnce) {
    int tickAtStart = -1;
    bool okEnabledAtStart = true;
    bool timerActiveAtStart = true;
    TfrmUpdateMain* shown = nullptr;
    steps.onDownload = [&](TUpdateWorkflow& workflow) {
        tickAtStart = workflow.TickCount;
        okEnabledAtStart = shown->btnOk->isEnabled();
        timerActiveAtStart = shown->Timer1->isActive();
        return true;
    };
    QElapsedTimer clock;
    clock.start();
    TfrmUpdateMain window(steps, TWorkflowTimings{100, 0, 10000});
    shown = &window;
    // Ticks count only while the window is on screen.
    window.show();
    EXPECT_TRUE(window.Timer1->isActive());
    EXPECT_EQ(window.Timer1->interval(), 100);
    EXPECT_EQ(window.Timer1->timerType(), Qt::PreciseTimer);
    window.btnOk->setEnabled(true);
    ASSERT_TRUE(WaitUntil([&] { return steps.downloads == 1; }, 5000));
    EXPECT_GE(clock.elapsed(), 190);
    EXPECT_EQ(tickAtStart, 2);
    EXPECT_FALSE(okEnabledAtStart);
    EXPECT_FALSE(timerActiveAtStart);
    QTest::qWait(300);
    EXPECT_EQ(steps.downloads, 1);
    EXPECT_EQ(window.Workflow->TickCount, 2);
}

// Cancel in the Waiting state ends the message loop before the download
// could start: no connection is ever made.
TEST_F(UpdateWindow, CancelWhileWaitingEndsTheProgramWithoutNetwork) {
    TfrmUpdateMain window(steps);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTimer::singleShot(100, &window, [&] {
        QTest::mouseClick(window.btnCancel, Qt::LeftButton, {}, QPoint(1, 1));
    });
    QTimer::singleShot(5000, [] { QCoreApplication::exit(7); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(steps.downloads, 0);
}

// Cancel pressed while a work event processes messages closes the window at
// once and tells the download to stop; the program ends after it returned.
TEST_F(UpdateWindow, CancelDuringTheTransferEndsTheProgramAfterIt) {
    const ProcessMessagesHook previous =
        SetProcessMessagesHook([] { QCoreApplication::processEvents(); });
    TfrmUpdateMain window(steps, TWorkflowTimings{300, 0, 10000});
    bool visibleAfterCancel = true;
    bool loopRunningAfterCancel = false;
    bool goesOnAfterCancel = true;
    TfrmUpdateMain& w = window;
    steps.onDownload = [&](TUpdateWorkflow&) {
        QTimer::singleShot(
            0, &w, [&w] { QTest::mouseClick(w.btnCancel, Qt::LeftButton, {}, QPoint(1, 1)); });
        Work(w, 1);
        visibleAfterCancel = w.isVisible();
        goesOnAfterCancel = w.Workflow->TransferGoesOn();
        Work(w, 49);
        // Still inside the download: a zero-time timer still fires, so the
        // message loop has not ended yet.
        bool fired = false;
        QTimer::singleShot(0, [&fired] { fired = true; });
        QCoreApplication::processEvents();
        loopRunningAfterCancel = fired;
        return true;
    };
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTimer::singleShot(10000, [] { QCoreApplication::exit(7); });
    EXPECT_EQ(QApplication::exec(), 0);
    SetProcessMessagesHook(previous);
    EXPECT_EQ(steps.downloads, 1);
    EXPECT_FALSE(visibleAfterCancel);
    EXPECT_FALSE(goesOnAfterCancel);
    EXPECT_TRUE(loopRunningAfterCancel);
    EXPECT_EQ(window.Workflow->WorkCount, 50) << "the transfer ran to its end";
}

TEST_F(UpdateWindow, OkStartsTheInstallationOnlyWhenEnabledAndNeverTwiceAtOnce) {
    TfrmUpdateMain window(steps, TWorkflowTimings{1000, 0, 10000});
    window.Timer1->stop();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::mouseClick(window.btnOk, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_EQ(steps.installs, 0) << "a disabled OK does nothing";
    window.Workflow->TcpClient1WorkEnd();
    ASSERT_TRUE(window.btnOk->isEnabled());
    // The installation pumps messages; a second click arriving there is
    // swallowed.
    steps.onInstall = [&window](TUpdateWorkflow&) {
        window.btnOk->Click();
        return true;
    };
    QTest::mouseClick(window.btnOk, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_EQ(steps.installs, 1);
    EXPECT_TRUE(window.Workflow->InstallSucceeded);
}

// A deferred action runs from the message loop, and not at all once the
// window is gone.
TEST_F(UpdateWindow, DeferredActionsRunFromTheLoopWhileTheWindowLives) {
    int runs = 0;
    {
        TfrmUpdateMain window(steps);
        window.Defer([&runs] { ++runs; });
        EXPECT_EQ(runs, 0);
        EXPECT_TRUE(WaitUntil([&] { return runs == 1; }, 2000));
        window.Defer([&runs] { ++runs; });
    }
    QTest::qWait(50);
    EXPECT_EQ(runs, 1);
}

// Closing the window by other means than Cancel (the window manager, the
// keyboard) stops a download under way just the same.
TEST_F(UpdateWindow, ClosingTheWindowStopsTheDownload) {
    TfrmUpdateMain window(steps);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_TRUE(window.Workflow->TransferGoesOn());
    window.close();
    EXPECT_TRUE(window.Workflow->Closing());
    EXPECT_FALSE(window.Workflow->TransferGoesOn());
}

// Enter never cancels: at start the window itself holds the focus, and OK,
// the default button, takes it once the download is complete; Enter then
// presses it, also when the focus is on the window.
TEST_F(UpdateWindow, EnterPressesOkOnlyOnceTheDownloadIsComplete) {
    TfrmUpdateMain window(steps, TWorkflowTimings{1000000, 0, 10000});
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_EQ(QApplication::focusWidget(), &window);
    // Through the window system, to whatever holds the focus.
    QTest::keyClick(window.windowHandle(), Qt::Key_Return);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(steps.installs, 0);

    window.Workflow->TcpClient1WorkEnd();
    EXPECT_EQ(QApplication::focusWidget(), window.btnOk);
    EXPECT_TRUE(window.btnOk->HasFocus()) << "the focused image shows";
    window.setFocus();
    QTest::keyClick(window.windowHandle(), Qt::Key_Enter);
    EXPECT_EQ(steps.installs, 1);
}

// The updater's boxes: Chinese button texts, owned by the update window and
// in its stay-on-top layer; without a window they stand alone.
TEST(AppBox, ChineseButtonsAndTheUpdateWindowAsOwner) {
    FakeSteps steps;
    TfrmUpdateMain window(steps);
    const std::unique_ptr<QMessageBox> okCancel =
        NewAppBox("text", "caption", MB_OKCANCEL | MB_ICONEXCLAMATION, window.Label1);
    EXPECT_EQ(okCancel->parentWidget(), &window) << "owned by the window, not the control";
    EXPECT_TRUE(okCancel->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(okCancel->windowTitle(), QStringLiteral("caption"));
    EXPECT_EQ(okCancel->icon(), QMessageBox::Warning);
    EXPECT_EQ(okCancel->button(QMessageBox::Ok)->text(), QString::fromUtf8("确定"));
    EXPECT_EQ(okCancel->button(QMessageBox::Cancel)->text(), QString::fromUtf8("取消"));

    const std::unique_ptr<QMessageBox> yesNo =
        NewAppBox("t", "c", MB_YESNO | MB_ICONERROR, nullptr);
    EXPECT_EQ(yesNo->parentWidget(), nullptr);
    EXPECT_EQ(yesNo->icon(), QMessageBox::Critical);
    EXPECT_EQ(yesNo->button(QMessageBox::Yes)->text(), QString::fromUtf8("是"));
    EXPECT_EQ(yesNo->button(QMessageBox::No)->text(), QString::fromUtf8("否"));
    EXPECT_EQ(yesNo->buttons().size(), 2);
}

// The hook answers with the button pressed, and a box closed without a
// button gives its cancel answer.
TEST(AppBox, TheHookAnswersWithThePressedButton) {
    const MessageBoxHook previousBox = SetMessageBoxHook(nullptr);
    const ProcessMessagesHook previousPump = SetProcessMessagesHook(nullptr);
    ScopeExit restore([&] {
        SetMessageBoxHook(previousBox);
        SetProcessMessagesHook(previousPump);
    });
    InstallQtHooks(nullptr);
    const auto press = [](QMessageBox::StandardButton which) {
        QTimer::singleShot(0, [which] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) {
                return;
            }
            if (which == QMessageBox::NoButton) {
                box->reject();
            } else {
                box->button(which)->click();
            }
        });
    };
    press(QMessageBox::No);
    EXPECT_EQ(AppMessageBox("t", "c", MB_YESNO), IDNO);
    press(QMessageBox::Ok);
    EXPECT_EQ(AppMessageBox("t", "c", MB_OKCANCEL), IDOK);
    press(QMessageBox::NoButton);
    EXPECT_EQ(AppMessageBox("t", "c", MB_OKCANCEL), IDCANCEL);
}
