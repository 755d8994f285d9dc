#include "FaultInjection.h"

#include <stdexcept>

namespace {

TSocketApi gReal;

TSystemSocketStack& RunningStack() {
    auto* stack = dynamic_cast<TSystemSocketStack*>(GlobalStack.get());
    if (stack == nullptr) {
        throw std::logic_error("no system socket stack is running");
    }
    return *stack;
}

}  // namespace

EntryPointSwap::EntryPointSwap() : saved_(RunningStack().EntryPoints()) { gReal = saved_; }

EntryPointSwap::~EntryPointSwap() { RunningStack().EntryPoints() = saved_; }

TSocketApi& EntryPointSwap::Entries() { return RunningStack().EntryPoints(); }

const TSocketApi& EntryPointSwap::Real() { return gReal; }
