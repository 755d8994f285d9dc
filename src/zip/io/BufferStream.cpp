#include "zip/io/BufferStream.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/Exception.h"
#include "platform/FileStream.h"

namespace {

// The texts carry their length in front, as the runtime's string tables do.
const std::string kSeekError = std::string("\x0A") + "Seek error";
const std::string kPutbackOverflow = std::string("\x10") + "Putback overflow";

std::string InvalidOrigin(int origin) {
    return std::string("\x18") + "Invalid seek origin (" + std::to_string(origin) + ")";
}

}  // namespace

TS_BufferStream::TS_BufferStream(TStream& inner, int32_t bufferSize)
    : inner_(inner), buffer_(static_cast<size_t>(std::max<int32_t>(bufferSize, 1))) {}

TS_BufferStream::~TS_BufferStream() {
    try {
        FlushBuffer();
    } catch (...) {
        // A destructor cannot report; the data that did not go out is lost
        // exactly as with a failing close.
    }
    if (CommitOnClose && HasWritten) {
        if (auto* file = dynamic_cast<TFileStream*>(&inner_)) {
            file->SyncToDisk();
        }
    }
}

void TS_BufferStream::DropBuffer() {
    cursor_ = 0;
    limit_ = 0;
    hasContents_ = false;
    mode_ = TS_BufferState::bsUnknown;
}

int64_t TS_BufferStream::GetBufPosition() const {
    switch (mode_) {
        case TS_BufferState::bsRead:
            return static_cast<int64_t>(cursor_) - static_cast<int64_t>(limit_);
        case TS_BufferState::bsWrite:
            return static_cast<int64_t>(cursor_);
        case TS_BufferState::bsUnknown:
            break;
    }
    return 0;
}

int64_t TS_BufferStream::LogicalPosition() { return inner_.Position() + GetBufPosition(); }

bool TS_BufferStream::FillBuffer() {
    const int64_t got = inner_.Read(buffer_.data(), static_cast<int64_t>(buffer_.size()));
    cursor_ = 0;
    limit_ = got > 0 ? static_cast<size_t>(got) : 0;
    hasContents_ = got > 0;
    mode_ = got > 0 ? TS_BufferState::bsRead : TS_BufferState::bsUnknown;
    AfterFillBuffer();
    return got > 0;
}

bool TS_BufferStream::FlushBuffer() {
    if (mode_ != TS_BufferState::bsWrite) {
        return true;
    }
    const auto pending = static_cast<int64_t>(cursor_);
    const int64_t written = pending > 0 ? inner_.Write(buffer_.data(), pending) : 0;
    DropBuffer();
    AfterFlushBuffer();
    return written == pending;
}

void TS_BufferStream::AfterFillBuffer() {
    if (OnAfterFill) {
        OnAfterFill(*this);
    }
}

void TS_BufferStream::AfterFlushBuffer() {
    if (OnAfterFlush) {
        OnAfterFlush(*this);
    }
}

int64_t TS_BufferStream::Read(void* buffer, int64_t count) {
    if (count <= 0) {
        return 0;
    }
    if (mode_ == TS_BufferState::bsWrite) {
        FlushBuffer();
    }
    auto* out = static_cast<uint8_t*>(buffer);
    int64_t done = 0;
    while (done < count) {
        if (!hasContents_ || cursor_ >= limit_) {
            const int64_t left = count - done;
            if (left >= static_cast<int64_t>(buffer_.size())) {
                // The buffer would only add a copy and more system calls:
                // a request at least as large goes straight to the caller.
                DropBuffer();
                const int64_t got = inner_.Read(out + done, left);
                if (got <= 0) {
                    break;
                }
                done += got;
                continue;
            }
            if (!FillBuffer()) {
                break;
            }
        }
        const size_t n = std::min(static_cast<size_t>(count - done), limit_ - cursor_);
        std::memcpy(out + done, buffer_.data() + cursor_, n);
        cursor_ += n;
        done += static_cast<int64_t>(n);
    }
    return done;
}

int64_t TS_BufferStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) {
        return 0;
    }
    if (mode_ == TS_BufferState::bsRead) {
        // Bytes read ahead are dropped; the wrapped stream goes back to where
        // the caller believes it is.
        const int64_t here = LogicalPosition();
        DropBuffer();
        inner_.Seek(here, TSeekOrigin::soBeginning);
    }
    if (!hasContents_) {
        cursor_ = 0;
        limit_ = buffer_.size();
        hasContents_ = true;
    }
    mode_ = TS_BufferState::bsWrite;
    const auto* in = static_cast<const uint8_t*>(buffer);
    int64_t done = 0;
    while (done < count) {
        const size_t n = std::min(static_cast<size_t>(count - done), limit_ - cursor_);
        std::memcpy(buffer_.data() + cursor_, in + done, n);
        cursor_ += n;
        done += static_cast<int64_t>(n);
        if (cursor_ == limit_) {
            const bool ok = FlushBuffer();
            if (!ok) {
                break;
            }
            if (done < count) {
                cursor_ = 0;
                limit_ = buffer_.size();
                hasContents_ = true;
                mode_ = TS_BufferState::bsWrite;
            }
        }
    }
    if (mode_ == TS_BufferState::bsWrite && cursor_ == 0) {
        DropBuffer();
    }
    HasWritten = true;
    return done;
}

void TS_BufferStream::FlushForSeek() {
    if (!FlushBuffer()) {
        throw Exception(kSeekError);
    }
}

int64_t TS_BufferStream::Seek(int64_t offset, TSeekOrigin origin) {
    const int64_t here = LogicalPosition();
    int64_t target = 0;
    switch (origin) {
        case TSeekOrigin::soBeginning:
            target = offset;
            break;
        case TSeekOrigin::soCurrent:
            target = here + offset;
            break;
        case TSeekOrigin::soEnd:
            // The sign of the offset does not matter from the end.
            target = std::max(here, inner_.Size()) - (offset < 0 ? -offset : offset);
            break;
        default:
            throw Exception(InvalidOrigin(static_cast<int>(origin)));
    }
    if (target == here) {
        return target;
    }
    FlushForSeek();
    DropBuffer();
    inner_.Seek(target, TSeekOrigin::soBeginning);
    return target;
}

int64_t TS_BufferStream::Size() { return std::max(LogicalPosition(), inner_.Size()); }

void TS_BufferStream::SetSize(int64_t newSize) {
    const int64_t here = LogicalPosition();
    FlushForSeek();
    DropBuffer();
    inner_.SetSize(newSize);
    inner_.Seek(std::min(here, newSize), TSeekOrigin::soBeginning);
}

void TS_BufferStream::PutBack(uint8_t value) {
    if (!hasContents_ || cursor_ == 0) {
        throw EStreamError(kPutbackOverflow);
    }
    --cursor_;
    buffer_[cursor_] = value;
}

bool TS_BufferStream::IsEof() {
    const bool buffered = mode_ == TS_BufferState::bsRead && cursor_ < limit_;
    return !buffered && inner_.Position() == inner_.Size();
}
