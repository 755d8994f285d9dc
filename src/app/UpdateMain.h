#pragma once

#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

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
    // Tries the update-server hosts in order; true when one accepted a
    // connection. Host and Port are left at the host tried last.
    bool FindServer();
    // Unpacks and starts the new browser, then ends the program in every case.
    void InstallPackage();
    // Unpacks the package into the update directory; true when it held a
    // Browser.exe that was written and passed its check value.
    bool UnpackPackage();

    // Where the workflow looks for servers and keeps its files. The build
    // settings fill these; tests point them at their own servers and folders.
    std::vector<std::string> ServerHosts{ZUVO_UPDATE_HOST1, ZUVO_UPDATE_HOST2};
    int ServerPort = 10290;
    std::string DownloadSite = ZUVO_DOWNLOAD_SITE;
    std::string ProgramDirOverride;
    // The program directory, ending in "/".
    std::string ProgramDir() const;

    // Told when the timer's download call has returned, with its result.
    std::function<void(bool)> OnDownloadDone;
    // True once the new browser was put in place and started.
    bool InstallSucceeded = false;

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

    // Sets Label1's text and widens it to fit.
    void SetLabelCaption(const char* caption);

  private:
    void CreateControls();
    void CreateComponents();

    // Set while the OK handler runs: the installation pumps messages, and a
    // second click delivered there must not start it again.
    bool installing_ = false;
};
