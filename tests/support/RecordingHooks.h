#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/MessageHooks.h"

// Replaces the message-box and message-pump hooks for one scope: every box
// is recorded instead of shown and answered from a script (or its default
// button), and every pump is counted. The previous hooks come back at the end.
class RecordingHooks {
  public:
    struct Box {
        std::string text;
        std::string caption;
        unsigned flags;
    };

    RecordingHooks();
    ~RecordingHooks();
    RecordingHooks(const RecordingHooks&) = delete;
    RecordingHooks& operator=(const RecordingHooks&) = delete;

    // The next boxes are answered with these, in order.
    void Answer(int reply) { answers_.push_back(reply); }

    const std::vector<Box>& Boxes() const { return boxes_; }
    int Pumps() const { return pumps_; }

    // Runs at every pump, after it was counted: what a user does while the
    // window processes messages (a click on Cancel, say).
    std::function<void()> OnPump;

  private:
    std::vector<Box> boxes_;
    std::deque<int> answers_;
    int pumps_ = 0;
    MessageBoxHook previousBox_;
    ProcessMessagesHook previousPump_;
};
