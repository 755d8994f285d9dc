#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/Stream.h"

enum class TS_BufferState { bsUnknown, bsRead, bsWrite };

// A buffered stream over another stream (which it does not own). Reads are
// served from one buffer that is refilled from the wrapped stream; writes
// collect in the same buffer and go out when it is full, on a seek that
// moves, on SetSize and on destruction. Positioning to the current position
// keeps the buffer, so asking for Position() is free.
class TS_BufferStream : public TStream {
  public:
    TS_BufferStream(TStream& inner, int32_t bufferSize);
    ~TS_BufferStream() override;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    void SetSize(int64_t newSize) override;
    // The larger of the logical position and the wrapped stream's size, so
    // bytes still in the buffer count; the buffer is left alone.
    int64_t Size() override;

    // True when at least one byte was read into the buffer.
    virtual bool FillBuffer();
    // True when the wrapped stream took every pending byte.
    virtual bool FlushBuffer();
    // Steps back one byte and stores `value` there, so the next read returns
    // it. Raises EStreamError when there is nothing to step back over.
    virtual void PutBack(uint8_t value);
    virtual void AfterFillBuffer();
    virtual void AfterFlushBuffer();

    // Offset of the logical position from the wrapped stream's position.
    int64_t GetBufPosition() const;
    bool IsEof();
    TS_BufferState Mode() const { return mode_; }

    bool CommitOnClose = false;
    bool HasWritten = false;
    std::function<void(TS_BufferStream& sender)> OnAfterFill;
    std::function<void(TS_BufferStream& sender)> OnAfterFlush;

  protected:
    TStream& Inner() { return inner_; }

  private:
    void DropBuffer();
    int64_t LogicalPosition();
    void FlushForSeek();

    TStream& inner_;
    std::vector<uint8_t> buffer_;
    size_t cursor_ = 0;  // next byte to read or write
    size_t limit_ = 0;   // end of valid read data, or end of buffer while writing
    bool hasContents_ = false;
    TS_BufferState mode_ = TS_BufferState::bsUnknown;
};
