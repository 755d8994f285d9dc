// Renders the update window in its user-visible states to PNG files:
//   render-window OUTDIR
// Meant for a real X server (Xvfb), so the pictures show the window's true
// shape and fonts: each is a screen grab of the window on a grey backdrop.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPalette>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "ScriptedSteps.h"
#include "qt/QtHooks.h"
#include "qt/UpdateMain.h"

namespace {

constexpr int kFrame = 12;  // backdrop shown around the window
const QColor kBackdrop(112, 112, 112);

QString outDir;
TfrmUpdateMain* current = nullptr;
int failures = 0;

void Snapshot(const char* name) {
    QCoreApplication::processEvents();
    QTest::qWait(150);
    const QRect area = current->frameGeometry().adjusted(-kFrame, -kFrame, kFrame, kFrame);
    const QPixmap shot =
        current->screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    // The window's corner pixel is cut away: the backdrop must show there,
    // while the picture covers the pixel a little further in.
    const QImage image = shot.toImage();
    if (image.pixel(kFrame, kFrame) != kBackdrop.rgb() ||
        image.pixel(kFrame + 8, kFrame + 8) == kBackdrop.rgb()) {
        std::fprintf(stderr, "render-window: %s: the window is not shaped\n", name);
        ++failures;
    }
    const QString path = outDir + QStringLiteral("/window-%1.png").arg(QLatin1String(name));
    if (shot.isNull() || !shot.save(path)) {
        std::fprintf(stderr, "render-window: cannot write %s\n", qPrintable(path));
        ++failures;
        return;
    }
    std::printf("%s\n", qPrintable(path));
}

// Runs one window from creation until its scripted download has returned.
void RunWindow(TScript script, bool snapshotWaiting) {
    TScriptedSteps steps(script, Snapshot);
    auto window = std::make_unique<TfrmUpdateMain>(steps);
    current = window.get();
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get())) {
        std::fprintf(stderr, "render-window: the window was never shown\n");
        ++failures;
        return;
    }
    if (snapshotWaiting) {
        Snapshot("waiting");
    }
    // The timer starts the scripted download on its second tick.
    QElapsedTimer clock;
    clock.start();
    while (window->Workflow->TickCount < 2 && clock.elapsed() < 5000) {
        QTest::qWait(20);
    }
    if (window->Workflow->TickCount < 2) {
        std::fprintf(stderr, "render-window: the download never started\n");
        ++failures;
    }
    current = nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: render-window OUTDIR\n");
        return 2;
    }
    outDir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(outDir);
    InstallUnattendedHooks();

    // A plain backdrop, so the cut corners show against something.
    QWidget backdrop;
    backdrop.setWindowFlag(Qt::FramelessWindowHint);
    QPalette palette = backdrop.palette();
    palette.setColor(QPalette::Window, kBackdrop);
    backdrop.setPalette(palette);
    backdrop.setAutoFillBackground(true);
    backdrop.setGeometry(application.primaryScreen()->geometry());
    backdrop.show();
    if (!QTest::qWaitForWindowExposed(&backdrop)) {
        std::fprintf(stderr, "render-window: no backdrop\n");
    }

    RunWindow(TScript::Ready, true);
    RunWindow(TScript::Failed, false);
    return failures == 0 ? 0 : 1;
}
