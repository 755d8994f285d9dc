#pragma once

#include <algorithm>
#include <chrono>

#include "net/SocketStack.h"

// A moment after which a wait gives up, fixed when the wait begins: time
// spent in earlier pieces of the same wait counts against it, so bytes that
// trickle in cannot keep a wait alive. Built from WaitForever it never
// expires.
class TDeadline {
  public:
    using Clock = std::chrono::steady_clock;

    static TDeadline After(int ms) {
        TDeadline deadline;
        deadline.limited_ = ms != WaitForever;
        deadline.end_ = Clock::now() + std::chrono::milliseconds(std::max(ms, 0));
        return deadline;
    }

    bool Expired() const { return limited_ && Clock::now() >= end_; }

    // The milliseconds left, never less than 0; WaitForever without a limit.
    int RemainingMs() const {
        if (!limited_) {
            return WaitForever;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(end_ - Clock::now());
        return static_cast<int>(std::max<int64_t>(left.count(), 0));
    }

    // A wait of `ms` (WaitForever: no limit of its own) cut to what is left.
    int Cap(int ms) const {
        const int left = RemainingMs();
        if (left == WaitForever) {
            return ms;
        }
        return ms == WaitForever ? left : std::min(ms, left);
    }

  private:
    TDeadline() = default;

    bool limited_ = false;
    Clock::time_point end_{};
};
