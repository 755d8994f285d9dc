#include "net/NetComponent.h"

#include <memory>

#include "net/SystemSocketStack.h"

namespace {

const char* StatusTemplate(TNetStatus status) {
    switch (status) {
        case stResolving:
            return "Resolving hostname %s.";
        case stConnecting:
            return "Connecting to %s.";
        case stConnected:
            return "Connected.";
        case stDisconnecting:
            return "Disconnecting from %s.";
        case stDisconnected:
            return "Not connected.";
        case stText:
            return "%s";
    }
    return "";
}

}  // namespace

TNetComponent::TNetComponent() {
    if (!GlobalStack) {
        GlobalStack = std::make_unique<TSystemSocketStack>();
    }
    ++StackUsers;
}

TNetComponent::~TNetComponent() {
    --StackUsers;
    if (StackUsers == 0) {
        GlobalStack.reset();
    }
}

void TNetComponent::StartWork(TWorkMode mode, int64_t expected) {
    TWorkInfo& work = work_[mode];
    ++work.Depth;
    if (work.Depth == 1) {
        work.Expected = expected;
        work.Total = 0;
        if (OnWorkBegin) {
            OnWorkBegin(this, mode, expected);
        }
    }
}

void TNetComponent::AddWork(TWorkMode mode, int64_t count) {
    TWorkInfo& work = work_[mode];
    if (work.Depth <= 0) {
        return;
    }
    work.Total += count;
    if (OnWork) {
        OnWork(this, mode, work.Total);
    }
}

void TNetComponent::FinishWork(TWorkMode mode) {
    // The count drops before the handler runs, so a handler that raises
    // cannot leave the work open for good.
    TWorkInfo& work = work_[mode];
    const bool outermost = work.Depth == 1;
    --work.Depth;
    if (outermost && OnWorkEnd) {
        OnWorkEnd(this, mode);
    }
}

void TNetComponent::ReportStatus(TNetStatus status, const std::string& argument) {
    if (OnStatus) {
        OnStatus(this, status, FormatStatusText(status, argument));
    }
}

std::string TNetComponent::FormatStatusText(TNetStatus status, const std::string& argument) {
    std::string text = StatusTemplate(status);
    const size_t placeholder = text.find("%s");
    if (placeholder != std::string::npos) {
        text.replace(placeholder, 2, argument);
    }
    return text;
}
