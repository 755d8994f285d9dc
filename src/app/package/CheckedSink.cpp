#include "CheckedSink.h"

#include "platform/Exception.h"

TCheckedSink::TCheckedSink(TStream& target, uint64_t expectedSize)
    : target_(target), expected_(expectedSize) {}

int64_t TCheckedSink::Read(void*, int64_t) { return 0; }

int64_t TCheckedSink::Write(const void* buffer, int64_t count) {
    if (count <= 0) {
        return 0;
    }
    uint64_t accepted = static_cast<uint64_t>(count);
    if (accepted > expected_ - written_) {
        overflowed_ = true;
        accepted = expected_ - written_;
    }
    target_.WriteBuffer(buffer, static_cast<int64_t>(accepted));
    digest_.Update(buffer, accepted);
    written_ += accepted;
    return static_cast<int64_t>(accepted);
}

int64_t TCheckedSink::Seek(int64_t offset, TSeekOrigin origin) {
    const int64_t end = static_cast<int64_t>(written_);
    const int64_t wanted = origin == TSeekOrigin::soBeginning ? offset : end + offset;
    if (wanted != end) {
        throw EStreamError("an extraction target that only appends was asked to seek");
    }
    return end;
}

void TCheckedSink::SetSize(int64_t) {}

bool TCheckedSink::Matches(const std::string& sha256) {
    return !overflowed_ && written_ == expected_ && ToHex(digest_.Final()) == sha256;
}
