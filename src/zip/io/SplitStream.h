#pragma once

#include <cstdint>
#include <functional>
#include <limits>

#include "platform/Stream.h"

// The parts (volumes) of a multi-part archive presented as one stream for
// reading. It stands on one part at a time; reads that reach the end of a
// part go on with the next one, and positions and sizes are those of the
// current part (offsets in a zip directory are counted per part). The
// parts themselves belong to whoever opens them.
class TSplitStream final : public TStream {
  public:
    // Opens part `number` (0-based), closing the one before, and returns
    // it. Raises when the part cannot be had (a refused part ends the
    // operation, for example with EUserCanceled).
    using OpenPartFn = std::function<TStream&(int number)>;
    // A set whose last part is not known: reads and Next go on asking for
    // parts, and opening one that does not exist raises.
    static constexpr int kOpenEnded = std::numeric_limits<int>::max();

    // Starts on `part`, which is part `number` of the parts 0..`lastNumber`.
    TSplitStream(TStream& part, int number, int lastNumber, OpenPartFn openPart);

    // Starts over on a part opened by the owner itself.
    void Restart(TStream& part, int number, int lastNumber);

    TStream& Part() const { return *part_; }
    int Number() const { return number_; }
    // Goes to part `number`, opening it unless it is the current one.
    void GoTo(int number);
    // Goes on to the next part; false (and nothing changes) on the last.
    bool Next();

    // Reads on across part ends until `count` bytes are read or the last
    // part ends.
    int64_t Read(void* buffer, int64_t count) override;
    // Reading only: EStreamError.
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    // Reading only: EStreamError.
    void SetSize(int64_t newSize) override;
    int64_t Size() override;

  private:
    TStream* part_;
    int number_;
    int lastNumber_;
    OpenPartFn openPart_;
};
