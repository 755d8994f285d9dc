#include "UpdateWorkflow.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "WorkflowTexts.h"
#include "platform/MessageHooks.h"
#include "platform/ScopeExit.h"

TUpdateWorkflow::TUpdateWorkflow(IUpdateView& view, IUpdateSteps& steps, TWorkflowTimings timings)
    : view_(view), steps_(steps), timings_(timings), caption_(kStartText) {
    FormCreate();
    // The timer runs from creation on, before the window is shown.
    view_.StartTimer(timings_.TickIntervalMs);
}

void TUpdateWorkflow::FormCreate() {
    TickCount = 0;
    WorkCount = 0;
    SetBarWidth(1);
}

void TUpdateWorkflow::Timer1Timer() {
    TickCount += 1;
    if (TickCount < kDownloadTick) {
        return;
    }
    view_.StopTimer();
    SetOkEnabled(false);
    const bool downloaded = steps_.DownloadPackage(*this);
    if (OnDownloadDone) {
        OnDownloadDone(downloaded);
    }
}

void TUpdateWorkflow::TcpClient1Work() {
    WorkCount += 1;
    if (barWidth_ >= kFullBar) {
        return;
    }
    SetBarWidth(std::min(WorkCount, kFullBar));
    ProcessMessages();
}

void TUpdateWorkflow::TcpClient1WorkEnd() {
    SetLabelCaption(kDoneText);
    std::this_thread::sleep_for(std::chrono::milliseconds(timings_.WorkEndPauseMs));
    SetOkEnabled(true);
    SetBarWidth(kFullBar);
}

void TUpdateWorkflow::DownloadFailed() {
    SetOkEnabled(false);
    SetLabelCaption(kDownloadFailedLabel);
    SetBarWidth(1);
    // Shown now, before the caller's box: the window behind it must already
    // tell the same story.
    ProcessMessages();
}

void TUpdateWorkflow::btnOkClick() {
    if (installing_ || !okEnabled_) {
        return;
    }
    installing_ = true;
    ScopeExit done([this] { installing_ = false; });
    InstallSucceeded = steps_.InstallPackage(*this);
    view_.EndProgram();
}

void TUpdateWorkflow::btnCancelClick() { view_.Close(); }

void TUpdateWorkflow::SetLabelCaption(const std::string& caption) {
    caption_ = caption;
    view_.SetLabelCaption(caption);
}

void TUpdateWorkflow::SetBarWidth(int width) {
    barWidth_ = width;
    view_.SetBarWidth(width);
}

void TUpdateWorkflow::SetOkEnabled(bool enabled) {
    okEnabled_ = enabled;
    view_.SetOkEnabled(enabled);
}
