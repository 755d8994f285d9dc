#pragma once

#include <functional>
#include <string>

// What the update workflow asks of its window, whatever toolkit draws it.
// The workflow keeps the state (caption, fill width, OK enabled) itself and
// only tells the view what to show; the view reports timer ticks and button
// clicks back by calling the workflow's handlers.
class IUpdateView {
  public:
    virtual ~IUpdateView() = default;

    // Shows `caption` (UTF-8) in the status label, widened so none is cut.
    virtual void SetLabelCaption(const std::string& caption) = 0;
    // Sets the progress fill's width in pixels. It is repainted at the next
    // message processing, not here.
    virtual void SetBarWidth(int width) = 0;
    virtual void SetOkEnabled(bool enabled) = 0;
    // The start-up timer: a tick every intervalMs calls the workflow's
    // Timer1Timer until StopTimer.
    virtual void StartTimer(int intervalMs) = 0;
    virtual void StopTimer() = 0;
    // Closes the window; this being the main window, the program ends once
    // the running handler has returned.
    virtual void Close() = 0;
    // Whether the window is on screen (shown and not closed).
    virtual bool Shown() const = 0;
    // Asks the message loop to end once the running handler has returned,
    // without closing the window first.
    virtual void EndProgram() = 0;
    // Runs `action` from the message loop after the running handler has
    // returned; dropped when the window is gone by then.
    virtual void Defer(std::function<void()> action) = 0;
};
