#include "UpdateMain.h"

#include <QCloseEvent>
#include <QCoreApplication>

TfrmUpdateMain::TfrmUpdateMain(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QString::fromUtf8("zuvo更新"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setFixedSize(423, 164);
    Timer1 = new QTimer(this);
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    Timer1->start();
    FormCreate();
}

void TfrmUpdateMain::FormCreate() {
    TickCount = 0;
    WorkCount = 0;
}

void TfrmUpdateMain::Timer1Timer() {
    TickCount += 1;
    if (TickCount >= 2) {
        Timer1->stop();
    }
}

void TfrmUpdateMain::closeEvent(QCloseEvent* event) {
    event->accept();
    QCoreApplication::quit();
}
