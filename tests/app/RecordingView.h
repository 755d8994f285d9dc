#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "workflow/UpdateView.h"

// A window without a toolkit: it keeps what the workflow told it to show,
// so tests can check the state, and holds deferred actions until the test
// runs them as the message loop would.
class RecordingView : public IUpdateView {
  public:
    void SetLabelCaption(const std::string& text) override {
        caption = text;
        captions.push_back(text);
    }
    void SetBarWidth(int width) override { barWidth = width; }
    void SetOkEnabled(bool enabled) override { okEnabled = enabled; }
    void StartTimer(int intervalMs) override {
        timerRunning = true;
        timerInterval = intervalMs;
    }
    void StopTimer() override { timerRunning = false; }
    void Close() override { ++closes; }
    bool Shown() const override { return shown; }
    void EndProgram() override { ++programEnds; }
    void Defer(std::function<void()> action) override { deferred.push_back(std::move(action)); }

    // Runs the deferred actions in order, as the message loop would.
    void RunDeferred() {
        while (!deferred.empty()) {
            std::function<void()> action = std::move(deferred.front());
            deferred.pop_front();
            action();
        }
    }

    std::string caption;
    std::vector<std::string> captions;
    int barWidth = -1;
    bool okEnabled = false;
    bool timerRunning = false;
    int timerInterval = 0;
    int closes = 0;
    bool shown = true;
    int programEnds = 0;
    std::deque<std::function<void()>> deferred;
};
