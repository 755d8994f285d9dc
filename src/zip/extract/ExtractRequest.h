#pragma once

#include <cstdint>
#include <functional>
#include <vector>

class TStream;

// Where the data of an extraction run goes.
enum class TExtractTarget { Files, Stream, Memory };

// What the component asks of one extraction run, beyond its published
// settings: the target (with the caller's stream or buffer), whether it
// is an integrity test, whether only selected entries count, and how to
// give the message loop a turn (raising when the run is cancelled).
struct TExtractRequest {
    TExtractTarget target = TExtractTarget::Files;
    TStream* stream = nullptr;
    std::vector<uint8_t>* buffer = nullptr;
    bool testing = false;
    bool selectedOnly = false;
    std::function<void(bool honourPause)> giveTurn;
};
