#pragma once

#include <functional>
#include <string>

#include "platform/Exception.h"

// Runs `action`, returning the message of the Exception it raises, or
// "(none)" when it returns normally. Other exceptions pass through.
inline std::string MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "(none)";
}
