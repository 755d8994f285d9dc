#include "RecordingHooks.h"

RecordingHooks::RecordingHooks() {
    previousBox_ = SetMessageBoxHook(
        [this](const std::string& text, const std::string& caption, unsigned flags) {
            boxes_.push_back({text, caption, flags});
            if (answers_.empty()) {
                return DefaultAnswer(flags);
            }
            const int reply = answers_.front();
            answers_.pop_front();
            return reply;
        });
    previousPump_ = SetProcessMessagesHook([this] {
        ++pumps_;
        if (OnPump) {
            OnPump();
        }
    });
}

RecordingHooks::~RecordingHooks() {
    SetMessageBoxHook(std::move(previousBox_));
    SetProcessMessagesHook(std::move(previousPump_));
}
