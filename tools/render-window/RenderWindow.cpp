// The picture-taking half of render-window.sh, for an X server on which the
// real updater runs:
//   render-window backdrop           a plain grey desktop beneath every
//                                    window, until the program is ended
//   render-window grab FILE [W H]    writes the middle W x H pixels of the
//                                    screen (default 480 x 240) to FILE (PNG)
// The update window is centred on the screen and its boxes on the window, so
// the middle of the screen holds both, and the same state gives the same
// picture.
#include <QApplication>
#include <QPalette>
#include <QPixmap>
#include <QScreen>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const QColor kBackdrop(112, 112, 112);
constexpr int kDefaultWidth = 480;
constexpr int kDefaultHeight = 240;

int Usage() {
    std::fprintf(stderr, "usage: render-window backdrop | render-window grab FILE [W H]\n");
    return 2;
}

int ShowBackdrop(QApplication& application) {
    QWidget backdrop(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnBottomHint |
                                  Qt::WindowDoesNotAcceptFocus);
    QPalette palette = backdrop.palette();
    palette.setColor(QPalette::Window, kBackdrop);
    backdrop.setPalette(palette);
    backdrop.setAutoFillBackground(true);
    backdrop.setGeometry(application.primaryScreen()->geometry());
    backdrop.show();
    return QApplication::exec();
}

int Grab(QApplication& application, const char* file, int width, int height) {
    QScreen* screen = application.primaryScreen();
    const QRect area(screen->geometry().center() - QPoint(width / 2, height / 2),
                     QSize(width, height));
    const QPixmap shot = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    if (shot.isNull() || !shot.save(QString::fromLocal8Bit(file), "PNG")) {
        std::fprintf(stderr, "render-window: cannot write %s\n", file);
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc == 2 && std::strcmp(argv[1], "backdrop") == 0) {
        return ShowBackdrop(application);
    }
    if ((argc == 3 || argc == 5) && std::strcmp(argv[1], "grab") == 0) {
        const int width = argc == 5 ? std::atoi(argv[3]) : kDefaultWidth;
        const int height = argc == 5 ? std::atoi(argv[4]) : kDefaultHeight;
        if (width <= 0 || height <= 0) {
            return Usage();
        }
        return Grab(application, argv[2], width, height);
    }
    return Usage();
}
