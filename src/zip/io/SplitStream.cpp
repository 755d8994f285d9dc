#include "zip/io/SplitStream.h"

#include <utility>

#include "platform/Exception.h"

namespace {

constexpr const char* kReadOnly = "The parts of a split archive are read only";

}  // namespace

TSplitStream::TSplitStream(TStream& part, int number, int lastNumber, OpenPartFn openPart)
    : part_(&part), number_(number), lastNumber_(lastNumber), openPart_(std::move(openPart)) {}

void TSplitStream::Restart(TStream& part, int number, int lastNumber) {
    part_ = &part;
    number_ = number;
    lastNumber_ = lastNumber;
}

void TSplitStream::GoTo(int number) {
    if (number == number_) {
        return;
    }
    part_ = &openPart_(number);
    number_ = number;
}

bool TSplitStream::Next() {
    if (number_ >= lastNumber_) {
        return false;
    }
    GoTo(number_ + 1);
    return true;
}

int64_t TSplitStream::Read(void* buffer, int64_t count) {
    auto* bytes = static_cast<uint8_t*>(buffer);
    int64_t got = 0;
    for (;;) {
        const int64_t n = part_->Read(bytes + got, count - got);
        got += n > 0 ? n : 0;
        if (got >= count || !Next()) {
            return got;
        }
    }
}

int64_t TSplitStream::Write(const void* /*buffer*/, int64_t /*count*/) {
    throw EStreamError(kReadOnly);
}

int64_t TSplitStream::Seek(int64_t offset, TSeekOrigin origin) {
    return part_->Seek(offset, origin);
}

void TSplitStream::SetSize(int64_t /*newSize*/) { throw EStreamError(kReadOnly); }

int64_t TSplitStream::Size() { return part_->Size(); }
