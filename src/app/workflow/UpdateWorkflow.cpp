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
    // The timer also ticks inside a start-up box shown before the window:
    // those ticks do not count, so nothing is downloaded unseen.
    if (!view_.Shown() || closing_) {
        return;
    }
    TickCount += 1;
    if (TickCount < kDownloadTick) {
        return;
    }
    view_.StopTimer();
    SetOkEnabled(false);
    bool downloaded = false;
    // Also when the step raises (a package file that cannot be created): an
    // unattended run waits for this to end the program.
    ScopeExit tell([this, &downloaded] {
        if (OnDownloadDone) {
            OnDownloadDone(downloaded);
        }
    });
    downloaded = steps_.DownloadPackage(*this);
}

void TUpdateWorkflow::TcpClient1Work() {
    WorkCount += 1;
    if (barWidth_ < kFullBar) {
        SetBarWidth(std::min(WorkCount, kFullBar));
    }
    PumpMessages();
}

bool TUpdateWorkflow::TransferGoesOn() {
    PumpMessages();
    return !closing_;
}

void TUpdateWorkflow::PumpMessages() {
    const auto now = std::chrono::steady_clock::now();
    if (lastPump_ && now - *lastPump_ < std::chrono::milliseconds(timings_.PumpIntervalMs)) {
        return;
    }
    lastPump_ = now;
    ProcessMessages();
}

void TUpdateWorkflow::TcpClient1WorkEnd() {
    // The end of a transfer abandoned by Cancel: the program is ending, and
    // neither a completion text nor the pause may hold it up.
    if (closing_) {
        return;
    }
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

void TUpdateWorkflow::btnCancelClick() {
    FormClose();
    view_.Close();
}

void TUpdateWorkflow::FormClose() { closing_ = true; }

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
