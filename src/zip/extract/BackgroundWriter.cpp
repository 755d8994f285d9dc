#include "zip/extract/BackgroundWriter.h"

#include <algorithm>
#include <exception>
#include <utility>

TBackgroundWriter::TBackgroundWriter(TWriteSink sink) : sink_(std::move(sink)) {
    for (size_t i = 0; i < kChunks; ++i) {
        free_.emplace_back();
        free_.back().reserve(kChunkSize);
    }
    current_ = std::move(free_.back());
    free_.pop_back();
    thread_ = std::thread([this] { Loop(); });
}

TBackgroundWriter::~TBackgroundWriter() {
    Drain();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

// Queues the current chunk and takes a free one (waiting for it).
void TBackgroundWriter::Hand(std::unique_lock<std::mutex>& lock) {
    queue_.push_back(std::move(current_));
    changed_.notify_all();
    changed_.wait(lock, [this] { return !free_.empty(); });
    current_ = std::move(free_.back());
    free_.pop_back();
    current_.clear();
}

bool TBackgroundWriter::Write(const uint8_t* data, size_t count) {
    while (count > 0) {
        const size_t n = std::min(count, kChunkSize - current_.size());
        current_.insert(current_.end(), data, data + n);
        data += n;
        count -= n;
        if (current_.size() == kChunkSize) {
            std::unique_lock<std::mutex> lock(mutex_);
            if (failed_) {
                return false;
            }
            Hand(lock);
        }
    }
    return true;
}

bool TBackgroundWriter::Drain() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!current_.empty()) {
        Hand(lock);
    }
    changed_.wait(lock, [this] { return queue_.empty() && !writing_; });
    return !failed_;
}

// A sink that throws has failed like one that returns false: the exception
// cannot cross the thread, the failure reaches the caller through Drain.
bool TBackgroundWriter::WriteChunk(const std::vector<uint8_t>& chunk) {
    try {
        return sink_(chunk.data(), chunk.size());
    } catch (const std::exception&) {
        return false;
    }
}

void TBackgroundWriter::Loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stop_ || !queue_.empty(); });
        if (queue_.empty()) {
            return;
        }
        std::vector<uint8_t> chunk = std::move(queue_.front());
        queue_.pop_front();
        writing_ = true;
        const bool skip = failed_;  // after a failure the rest is dropped
        lock.unlock();
        const bool ok = skip || WriteChunk(chunk);
        lock.lock();
        failed_ = failed_ || !ok;
        writing_ = false;
        chunk.clear();
        free_.push_back(std::move(chunk));
        changed_.notify_all();
    }
}
