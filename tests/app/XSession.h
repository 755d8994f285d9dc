#pragma once

#include <sys/types.h>

#include <string>

// A private X server (Xvfb, on a display number it picks itself) with a
// window manager (openbox) on it, for tests of real windows. Both are ended,
// by their process ids, when the object goes away. When either cannot be
// started the session is not ready and Reason() says why; nothing is left
// running then.
class XSession {
  public:
    XSession();
    ~XSession();
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    bool Ready() const { return reason_.empty(); }
    const std::string& Reason() const { return reason_; }
    // ":N" while ready.
    const std::string& Display() const { return display_; }

  private:
    bool StartServer();
    bool StartWindowManager();
    bool WindowManagerRunning() const;

    std::string reason_;
    std::string display_;
    pid_t server_ = -1;
    pid_t windowManager_ = -1;
};

// Ends a child process (SIGTERM, then SIGKILL after `graceMs`) and reaps it.
void EndChild(pid_t pid, int graceMs = 2000);
