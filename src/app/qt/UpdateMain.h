#pragma once

#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <string>

#include "skin/BmpButton.h"
#include "skin/FormShapes.h"
#include "workflow/UpdateView.h"
#include "workflow/UpdateWorkflow.h"

// The update window drawn with Qt and the skinned controls: the program's
// only window. It shows what its workflow (Workflow) tells it and hands the
// timer's ticks and the buttons' clicks to it. Its children are created in
// the order they are drawn; the two buttons lie above everything else.
// OK is the window's default button: focused once the download is
// complete, and pressed by Enter while it is enabled.
class TfrmUpdateMain : public QWidget, public IUpdateView {
  public:
    // `steps` must outlive the window.
    explicit TfrmUpdateMain(IUpdateSteps& steps, TWorkflowTimings timings = {},
                            QWidget* parent = nullptr);
    ~TfrmUpdateMain() override;

    void SetLabelCaption(const std::string& caption) override;
    void SetBarWidth(int width) override;
    void SetOkEnabled(bool enabled) override;
    void StartTimer(int intervalMs) override;
    void StopTimer() override;
    void Close() override;
    bool Shown() const override;
    void EndProgram() override;
    void Defer(std::function<void()> action) override;

    TFormShape* FormShape1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Image2 = nullptr;
    TBmpButton* btnOk = nullptr;
    TBmpButton* btnCancel = nullptr;
    QTimer* Timer1 = nullptr;
    std::unique_ptr<TUpdateWorkflow> Workflow;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void CreateControls();
};
