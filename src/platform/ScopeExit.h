#pragma once

#include <utility>

// Runs a clean-up when the scope it guards ends, by any way out: a return,
// the end of the block or an exception passing through. This is the one
// guard for every "always, also when an exception passes" in the program.
//
//     TFileStream* stream = Open(...);
//     ScopeExit closeStream([&] { delete stream; });
//
// Release() disarms it for the road where ownership moved on (a clean-up
// that must happen only on failure: arm, do the work, release).
// The clean-up must not throw: it may run while an exception unwinds.
template <typename Cleanup>
class [[nodiscard]] ScopeExit {
  public:
    explicit ScopeExit(Cleanup cleanup) : cleanup_(std::move(cleanup)) {}
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;
    ~ScopeExit() {
        if (armed_) {
            cleanup_();
        }
    }

    void Release() { armed_ = false; }

  private:
    Cleanup cleanup_;
    bool armed_ = true;
};
