#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Where the bytes of an output file go: writes all `count` bytes, or
// returns false. A sink is called by one thread at a time, never by two at
// once; each system gives it its own file handle.
using TWriteSink = std::function<bool(const uint8_t* data, size_t count)>;

// Writes a large file on a second thread, so that the system's write calls
// overlap the decompression. Blocks are gathered into a few fixed chunks
// (kChunks x kChunkSize bytes, allocated once), so memory stays flat
// whatever the file's size; Write waits while every chunk is in flight.
// Every call of the sink happens on the writer's own thread.
class TBackgroundWriter {
  public:
    static constexpr size_t kChunkSize = 256 * 1024;
    static constexpr size_t kChunks = 4;

    explicit TBackgroundWriter(TWriteSink sink);
    // Writes what is queued, then ends the thread. A failure seen only here
    // cannot be reported; callers that need the answer call Drain first.
    ~TBackgroundWriter();
    TBackgroundWriter(const TBackgroundWriter&) = delete;
    TBackgroundWriter& operator=(const TBackgroundWriter&) = delete;

    // Copies the block; false when a chunk handed over earlier could not be
    // written (seen when the next full chunk is handed over).
    bool Write(const uint8_t* data, size_t count);
    // Waits until every byte given is written; false when one write failed.
    // After a failure the remaining chunks are dropped, not written.
    bool Drain();

  private:
    void Hand(std::unique_lock<std::mutex>& lock);
    void Loop();
    bool WriteChunk(const std::vector<uint8_t>& chunk);

    TWriteSink sink_;
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
