#pragma once

#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "net/TcpClient.h"
#include "skin/BmpButton.h"
#include "skin/FormShapes.h"
#include "zip/UnZipper.h"

// The update window: the program's only window and owner of the workflow.
// Its children are created in the order they are drawn; the two buttons lie
// above everything else.
class TfrmUpdateMain : public QWidget {
  public:
    explicit TfrmUpdateMain(QWidget* parent = nullptr);
    ~TfrmUpdateMain() override;

    // The fill's width when the bar is full.
    static constexpr int kFullBar = 389;

    void FormCreate();
    void Timer1Timer();
    // One work event per receive of the package: one pixel of the bar each,
    // up to the full bar; once it is full nothing is repainted or processed.
    void TcpClient1Work(TNetComponent* Sender, TWorkMode AWorkMode, int64_t AWorkCount);
    // The transfer has ended: completion text, a short pause, OK enabled and
    // a full bar, all shown at the next message processing.
    void TcpClient1WorkEnd(TNetComponent* Sender, TWorkMode AWorkMode);
    void btnOkClick();
    void btnCancelClick();

    // Fetches the package; blocks until the transfer has ended or failed.
    bool DownloadPackage();
    // Unpacks and starts the new browser, then ends the program in every case.
    void InstallPackage();

    int32_t TickCount = 0;
    int32_t WorkCount = 0;

    TFormShape* FormShape1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Image2 = nullptr;
    TBmpButton* btnOk = nullptr;
    TBmpButton* btnCancel = nullptr;
    std::unique_ptr<TUnZipper> UnZipper1;
    QTimer* Timer1 = nullptr;
    std::unique_ptr<TTcpClient> TcpClient1;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void CreateControls();
    void CreateComponents();

    // Set while the OK handler runs: the installation pumps messages, and a
    // second click delivered there must not start it again.
    bool installing_ = false;
};
