#pragma once

#include "net/SystemSocketStack.h"

// Swaps entries of the running stack's socket calls for one scope and
// puts the real ones back at its end. Create it after the component that
// keeps the stack alive, so it is destroyed first.
class EntryPointSwap {
  public:
    EntryPointSwap();
    EntryPointSwap(const EntryPointSwap&) = delete;
    EntryPointSwap& operator=(const EntryPointSwap&) = delete;
    ~EntryPointSwap();

    // The table the stack calls through; assign fakes to its entries.
    TSocketApi& Entries();
    // The real entries, for fakes that pass calls on.
    static const TSocketApi& Real();

  private:
    TSocketApi saved_;
};
