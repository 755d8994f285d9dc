#pragma once

class IUpdateView;
class TUpdateWorkflow;

// Drives the window without a person: when the download leaves the window
// Ready it presses OK; when it fails it closes the window. Message boxes are
// answered by the unattended hooks the program installs.
class TUnattendedRun {
  public:
    TUnattendedRun(TUpdateWorkflow& workflow, IUpdateView& view);

    // The process's exit status once the program has ended: 0 only when the
    // new browser was installed and started.
    int ExitStatus() const;

  private:
    TUpdateWorkflow& workflow_;
};
