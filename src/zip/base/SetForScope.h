#pragma once

#include <type_traits>
#include <utility>

#include "platform/ScopeExit.h"

// Gives a setting a value for the rest of the scope; its old value comes
// back when the scope ends, also when an exception passes.
//
//     const auto busy = SetForScope(busy_, true);
template <typename T>
[[nodiscard]] auto SetForScope(T& target, std::type_identity_t<T> value) {
    T old = std::exchange(target, std::move(value));
    return ScopeExit([&target, old = std::move(old)]() mutable { target = std::move(old); });
}
