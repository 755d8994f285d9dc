#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "UpdateSteps.h"
#include "UpdateView.h"
#include "WorkflowTimings.h"

// What the update window does, apart from how it is drawn: the timed start
// of the download, the progress rule, the completion and failure texts, the
// OK and Cancel buttons and the installation they lead to. A view of any
// toolkit (IUpdateView) shows the state and calls the handlers below; the
// download and installation are the injected steps.
//
// The view must already show the window's initial state (the start text,
// OK disabled); creating the workflow runs FormCreate and starts the timer,
// as creating the window from its resource does.
class TUpdateWorkflow {
  public:
    TUpdateWorkflow(IUpdateView& view, IUpdateSteps& steps, TWorkflowTimings timings = {});
    TUpdateWorkflow(const TUpdateWorkflow&) = delete;
    TUpdateWorkflow& operator=(const TUpdateWorkflow&) = delete;

    // The fill's width when the bar is full.
    static constexpr int kFullBar = 389;
    // The download starts on this tick of the start-up timer.
    static constexpr int32_t kDownloadTick = 2;

    void FormCreate();
    // Counts ticks while the window is on screen; the second one stops the
    // timer, disables OK and runs the download step. OnDownloadDone hears of
    // the end also when the step raises.
    void Timer1Timer();
    // One work event per receive of the package: one pixel of the bar each,
    // up to the full bar; window messages are processed (throttled) for as
    // long as the transfer runs.
    void TcpClient1Work();
    // Asked by the download while it waits or receives: processes window
    // messages (throttled) and says whether to go on, which is no longer so
    // once the window is closing.
    bool TransferGoesOn();
    // The transfer has ended: completion text, a pause, OK enabled and a
    // full bar, all shown at the next message processing.
    void TcpClient1WorkEnd();
    // The download step failed: OK is disabled (also when the work end had
    // enabled it), the label says so and the bar is emptied, and the window
    // is repainted. Called before the failure box opens.
    void DownloadFailed();
    // Runs the installation step (never twice at once) and ends the program,
    // whatever the step did.
    void btnOkClick();
    // Closes the window; a download under way stops at once.
    void btnCancelClick();
    // The window is closing, by Cancel or otherwise: the program is ending,
    // so whatever the download is doing is abandoned.
    void FormClose();
    bool Closing() const { return closing_; }

    const TWorkflowTimings& Timings() const { return timings_; }
    const std::string& LabelCaption() const { return caption_; }
    int BarWidth() const { return barWidth_; }
    bool OkEnabled() const { return okEnabled_; }

    // Told when the timer's download step has returned, with its result.
    std::function<void(bool)> OnDownloadDone;
    // True once the installation step put the new browser in place and
    // started it.
    bool InstallSucceeded = false;

    int32_t TickCount = 0;
    int32_t WorkCount = 0;

  private:
    // ProcessMessages, unless it ran less than PumpIntervalMs ago.
    void PumpMessages();
    void SetLabelCaption(const std::string& caption);
    void SetBarWidth(int width);
    void SetOkEnabled(bool enabled);

    IUpdateView& view_;
    IUpdateSteps& steps_;
    TWorkflowTimings timings_;
    std::string caption_;
    int barWidth_ = 0;
    bool okEnabled_ = false;
    // Set while the OK handler runs: the installation pumps messages, and a
    // second click delivered there must not start it again.
    bool installing_ = false;
    bool closing_ = false;
    std::optional<std::chrono::steady_clock::time_point> lastPump_;
};
