// The update window as a user meets it: a real X server with a window
// manager (see XWindowMain.cpp), real input from xdotool, the stacking order
// as the window manager reports it.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <functional>
#include <vector>

#include "FakeSteps.h"
#include "LoopbackServer.h"
#include "TempDir.h"
#include "WaitUntil.h"
#include "WorkflowFixture.h"
#include "platform/MessageHooks.h"
#include "platform/ScopeExit.h"
#include "qt/QtHooks.h"
#include "qt/UpdateMain.h"
#include "workflow/PackageSteps.h"
#include "workflow/WorkflowTexts.h"

namespace {

QString RunTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(10000);
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

// The managed windows from bottom to top, as the window manager stacks them.
std::vector<WId> Stacking() {
    const QString line =
        RunTool(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("-notype"),
                                          QStringLiteral("_NET_CLIENT_LIST_STACKING")});
    std::vector<WId> windows;
    const qsizetype hash = line.indexOf(QLatin1Char('#'));
    if (hash < 0) {
        return windows;
    }
    for (const QString& id : line.mid(hash + 1).split(QLatin1Char(','))) {
        windows.push_back(id.trimmed().toULongLong(nullptr, 16));
    }
    return windows;
}

int StackIndex(const std::vector<WId>& stacking, WId window) {
    for (std::size_t i = 0; i < stacking.size(); ++i) {
        if (stacking[i] == window) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// One xdotool command line, then a pause for the events to arrive.
void Xdotool(const QStringList& arguments) {
    RunTool(QStringLiteral("xdotool"), arguments);
    QTest::qWait(150);
}

QStringList At(const QPoint& point) {
    return {QStringLiteral("mousemove"), QString::number(point.x()), QString::number(point.y())};
}

// Runs `look` on the first message box that opens, once the window manager
// stacks it, and then answers the box with OK. Polls from the box's own loop.
class BoxWatcher {
  public:
    explicit BoxWatcher(std::function<void(QMessageBox&)> look) : look_(std::move(look)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start(50);
    }
    bool Seen() const { return seen_; }

  private:
    void Poll() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (seen_ || !box || !box->isVisible() || StackIndex(Stacking(), box->winId()) < 0) {
            return;
        }
        seen_ = true;
        timer_.stop();
        QTest::qWait(200);  // the window manager's last restacking
        look_(*box);
        box->button(QMessageBox::Ok)->click();
    }

    std::function<void(QMessageBox&)> look_;
    QTimer timer_;
    bool seen_ = false;
};

class RealWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != QLatin1String("xcb")) {
            GTEST_SKIP() << "needs a private X server with a window manager: "
                         << qgetenv("ZUVO_NO_X_SESSION").toStdString();
        }
        previousBox_ = SetMessageBoxHook(nullptr);
        previousPump_ = SetProcessMessagesHook(nullptr);
    }
    void TearDown() override {
        if (QGuiApplication::platformName() == QLatin1String("xcb")) {
            SetMessageBoxHook(previousBox_);
            SetProcessMessagesHook(previousPump_);
        }
    }

    // Shows the window, waits until the window manager has mapped it and
    // made it the active one.
    static void ShowActive(QWidget& window) {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window, 10000));
        window.activateWindow();
        ASSERT_TRUE(WaitUntil([&window] { return window.isActiveWindow(); }));
    }

    FakeSteps steps;

  private:
    MessageBoxHook previousBox_;
    ProcessMessagesHook previousPump_;
};

// Scoped: the timer never starts the download by itself.
TWorkflowTimings NoStart() { return TWorkflowTimings{1000000, 10, 2000}; }

}  // namespace

// The box belongs to the update window and stands above it, although that
// window stays on top of others and another window was active when the box
// opened (the user had clicked elsewhere); it is centred on the window.
TEST_F(RealWindow, ABoxStandsAboveTheUpdateWindowAndIsCentredOnIt) {
    TfrmUpdateMain window(steps, NoStart());
    ShowActive(window);
    QWidget other;
    other.resize(300, 200);
    ShowActive(other);
    InstallQtHooks([&window] { return &window; });
    BoxWatcher watcher([&window](QMessageBox& box) {
        const std::vector<WId> stacking = Stacking();
        EXPECT_GT(StackIndex(stacking, box.winId()), StackIndex(stacking, window.winId()));
        EXPECT_EQ(box.parentWidget(), &window);
        EXPECT_EQ(box.windowTitle(), QString::fromUtf8(kFailureCaption));
        EXPECT_EQ(box.icon(), QMessageBox::Warning);
        EXPECT_EQ(box.button(QMessageBox::Ok)->text(), QString::fromUtf8("确定"));
        const QPoint offset = box.frameGeometry().center() - window.frameGeometry().center();
        EXPECT_LE(std::abs(offset.x()), 2) << "centred across";
        EXPECT_LE(std::abs(offset.y()), 16) << "centred down, up to the title bar";
    });
    EXPECT_EQ(AppMessageBox(kDownloadFailedText, kFailureCaption, MB_OK | MB_ICONEXCLAMATION),
              IDOK);
    EXPECT_TRUE(watcher.Seen());
}

// Every button drags the window by its background, and the drag ends when
// that button is released: the left one through the window manager's own
// move, the others by hand.
TEST_F(RealWindow, ADragEndsWhenItsButtonIsReleased) {
    TfrmUpdateMain window(steps, NoStart());
    ShowActive(window);
    for (const char* button : {"1", "2", "3"}) {
        SCOPED_TRACE(button);
        const QPoint start = window.pos();
        const QPoint grab = start + QPoint(40, 30);
        Xdotool(At(grab));
        Xdotool({QStringLiteral("mousedown"), QLatin1String(button)});
        Xdotool(At(grab + QPoint(30, 20)));
        Xdotool(At(grab + QPoint(60, 40)));
        EXPECT_TRUE(WaitUntil([&] { return window.pos() == start + QPoint(60, 40); }, 3000))
            << "the window follows the pointer: " << window.pos().x() - start.x() << ","
            << window.pos().y() - start.y();
        Xdotool({QStringLiteral("mouseup"), QLatin1String(button)});
        Xdotool(At(grab + QPoint(160, 140)));
        QTest::qWait(300);
        EXPECT_EQ(window.pos(), start + QPoint(60, 40)) << "the window stays where it was dropped";
    }
}

// Enter does nothing while the download has not ended (Cancel does not hold
// the focus), and presses OK once the window is ready; OK shows its focus.
TEST_F(RealWindow, EnterPressesOkOnceTheDownloadIsComplete) {
    TfrmUpdateMain window(steps, NoStart());
    ShowActive(window);
    EXPECT_NE(QApplication::focusWidget(), window.btnCancel);
    Xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    EXPECT_TRUE(window.isVisible()) << "Enter did not cancel";
    EXPECT_EQ(steps.installs, 0);

    window.Workflow->TcpClient1WorkEnd();
    EXPECT_EQ(QApplication::focusWidget(), window.btnOk);
    const QRect okArea(window.btnOk->mapToGlobal(QPoint(0, 0)), window.btnOk->size());
    const QImage& focused = window.btnOk->Bitmaps().UpAndFocused();
    // The pixels on the screen, not the widget's own idea of them; a loaded
    // machine may take a while to show them.
    const auto differing = [&] {
        const QImage shown =
            window.screen()
                ->grabWindow(0, okArea.x(), okArea.y(), okArea.width(), okArea.height())
                .toImage();
        if (shown.size() != focused.size()) {
            return -1;
        }
        int count = 0;
        for (int y = 0; y < focused.height(); ++y) {
            for (int x = 0; x < focused.width(); ++x) {
                const QRgb expected = focused.pixel(x, y);
                if (qRgb(128, 128, 0) != (expected | 0xFF000000) &&
                    (shown.pixel(x, y) & 0xFFFFFF) != (expected & 0xFFFFFF)) {
                    ++count;
                }
            }
        }
        return count;
    };
    EXPECT_TRUE(WaitUntil([&] { return differing() == 0; }, 5000))
        << "OK shows its focused image on the screen: " << differing() << " pixels differ";

    Xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    EXPECT_TRUE(WaitUntil([this] { return steps.installs == 1; }, 5000));
}

// A connection reset in the middle of the package: the window behind the
// failure box already shows the failure, and the box stands above it.
TEST_F(RealWindow, TheFailureScreenIsShownBeforeItsBox) {
    LoopbackServer server(
        [](ServerSide& side) {
            if (side.ReceiveLine().empty()) {
                return;
            }
            side.Send(kReply + std::string(300000, 'x'));
            side.Pause(300);
            side.Reset();
        },
        2);
    TempDir dir;
    TPackageSteps packageSteps;
    packageSteps.ProgramDirOverride = dir.Path();
    packageSteps.ServerHosts = {"127.0.0.1"};
    packageSteps.ServerPort = server.Port();
    TfrmUpdateMain window(packageSteps, TWorkflowTimings{100, 10, 2000});
    InstallQtHooks([&window] { return &window; });
    ShowActive(window);
    BoxWatcher watcher([&window](QMessageBox& box) {
        EXPECT_EQ(box.text(), QString::fromUtf8(kDownloadFailedText));
        EXPECT_EQ(window.Label1->text(), QString::fromUtf8(kDownloadFailedLabel));
        EXPECT_FALSE(window.btnOk->isEnabled());
        EXPECT_EQ(window.Image2->width(), 1);
        const std::vector<WId> stacking = Stacking();
        EXPECT_GT(StackIndex(stacking, box.winId()), StackIndex(stacking, window.winId()));
        // Half-way along the bar the background shows, not the blue fill.
        const QRgb middle = window.grab().toImage().pixel(200, 88);
        EXPECT_LT(qBlue(middle) - qRed(middle), 100);
    });
    EXPECT_TRUE(WaitUntil([&watcher] { return watcher.Seen(); }, 10000));
    server.Join();
    EXPECT_GE(window.Workflow->TickCount, 2);
}
