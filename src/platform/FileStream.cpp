#include "platform/FileStream.h"

#include "platform/Exception.h"

TFileStream::TFileStream(const std::string& fileName, TFileMode mode) : fileName_(fileName) {
    const bool opened = [&] {
        switch (mode) {
            case TFileMode::fmCreate:
                return file_.Create(fileName);
            case TFileMode::fmOpenWrite:
                return file_.Open(fileName, TFileAccess::Write);
            case TFileMode::fmOpenReadWrite:
                return file_.Open(fileName, TFileAccess::ReadWrite);
            case TFileMode::fmOpenRead:
                break;
        }
        return file_.Open(fileName, TFileAccess::Read);
    }();
    if (!opened) {
        // The runtime's texts name the file and nothing else.
        if (mode == TFileMode::fmCreate) {
            throw EFCreateError("Cannot create file " + fileName);
        }
        throw EFOpenError("Cannot open file " + fileName);
    }
}

TFileStream::~TFileStream() = default;

namespace {

void Advance(std::optional<int64_t>& position, int64_t moved) {
    if (moved >= 0 && position) {
        *position += moved;
    } else {
        position.reset();  // the system's position is asked for next time
    }
}

}  // namespace

int64_t TFileStream::Read(void* buffer, int64_t count) {
    const int64_t n = file_.Read(buffer, count);
    Advance(position_, n);
    return n;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
    const int64_t n = file_.Write(buffer, count);
    Advance(position_, n);
    return n;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    if (origin == TSeekOrigin::soCurrent && offset == 0 && position_) {
        return *position_;
    }
    const std::optional<int64_t> result = file_.Seek(offset, origin);
    if (!result) {
        position_.reset();
        throw EStreamError("Seek error on \"" + fileName_ + "\". " + file_.ErrorText());
    }
    position_ = *result;
    return *result;
}

int64_t TFileStream::Size() {
    if (const std::optional<int64_t> size = file_.Size()) {
        return *size;
    }
    return TStream::Size();
}

void TFileStream::SetSize(int64_t newSize) {
    if (!file_.SetSize(newSize)) {
        throw EStreamError("Cannot set the size of \"" + fileName_ + "\". " + file_.ErrorText());
    }
    if (Position() > newSize) {
        Seek(newSize, TSeekOrigin::soBeginning);
    }
}

bool TFileStream::SyncToDisk() { return file_.SyncToDisk(); }
