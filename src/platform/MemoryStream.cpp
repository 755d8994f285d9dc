#include "platform/MemoryStream.h"

#include <algorithm>
#include <cstring>

#include "platform/Exception.h"

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
    const int64_t available = Size() - position_;
    const int64_t n = std::max<int64_t>(0, std::min(count, available));
    if (n > 0) {
        std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
        position_ += n;
    }
    return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) {
        return 0;
    }
    const int64_t end = position_ + count;
    if (end > Size()) {
        data_.resize(static_cast<size_t>(end));
    }
    std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
    position_ = end;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    const int64_t base = origin == TSeekOrigin::soBeginning ? 0
                         : origin == TSeekOrigin::soCurrent ? position_
                                                            : Size();
    if (base + offset < 0) {
        throw EStreamError("Seek before the start of a memory stream");
    }
    position_ = base + offset;
    return position_;
}

void TMemoryStream::SetSize(int64_t newSize) {
    if (newSize < 0) {
        throw EStreamError("Negative memory stream size");
    }
    data_.resize(static_cast<size_t>(newSize));
    position_ = std::min(position_, newSize);
}

void TMemoryStream::Clear() {
    data_.clear();
    data_.shrink_to_fit();
    position_ = 0;
}
