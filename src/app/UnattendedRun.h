#pragma once

class TfrmUpdateMain;

// Drives the window without a person: when the download leaves the window
// Ready it presses OK; when it fails it closes the window. Message boxes are
// answered by the unattended hooks (see QtHooks.h).
class TUnattendedRun {
  public:
    explicit TUnattendedRun(TfrmUpdateMain& window);

    // The process's exit status once the program has ended: 0 only when the
    // new browser was installed and started.
    int ExitStatus() const;

  private:
    TfrmUpdateMain& window_;
};
