#pragma once

#include <QTimer>
#include <QWidget>
#include <cstdint>

// The update window: the program's only window and owner of the workflow.
class TfrmUpdateMain : public QWidget {
public:
    explicit TfrmUpdateMain(QWidget* parent = nullptr);

    void FormCreate();
    void Timer1Timer();

    int32_t TickCount = 0;
    int32_t WorkCount = 0;
    QTimer* Timer1 = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
};
