#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

// Writes a large file on a second thread, so that the system's write calls
// overlap the decompression. Blocks are gathered into a few fixed chunks
// (kChunks x kChunkSize bytes, allocated once), so memory stays flat
// whatever the file's size; Write waits while every chunk is in flight.
class TBackgroundWriter {
  public:
    static constexpr size_t kChunkSize = 256 * 1024;
    static constexpr size_t kChunks = 4;

    explicit TBackgroundWriter(int fd);
    // Writes what is queued, then ends the thread; errors are dropped here.
    ~TBackgroundWriter();
    TBackgroundWriter(const TBackgroundWriter&) = delete;
    TBackgroundWriter& operator=(const TBackgroundWriter&) = delete;

    // Copies the block; false once a write has failed.
    bool Write(const uint8_t* data, size_t count);
    // Waits until every byte given is written; false when one write failed.
    bool Drain();

  private:
    void Hand(std::unique_lock<std::mutex>& lock);
    void Loop();

    int fd_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::vector<uint8_t>> free_;
    std::deque<std::vector<uint8_t>> queue_;
    std::vector<uint8_t> current_;
    bool writing_ = false;
    bool failed_ = false;
    bool stop_ = false;
    std::thread thread_;
};
