#include "zip/extract/MemoryTarget.h"

#include <algorithm>
#include <cstring>

#include "zip/UnZipper.h"
#include "zip/ZipExceptions.h"
#include "zip/base/ZipStrings.h"
#include "zip/format/ZipRecords.h"

namespace {

constexpr int64_t kDeflateRatio = 1032;
constexpr int64_t kLegacyRatio = 8192;

}  // namespace

int64_t PlausibleUncompressedLimit(uint16_t method, int64_t compressedSize) {
    const int64_t size = std::max<int64_t>(compressedSize, 0);
    const int64_t ratio = method == ZipMethod::Stored     ? 1
                          : method == ZipMethod::Deflated ? kDeflateRatio
                                                          : kLegacyRatio;
    if (size > INT64_MAX / ratio) {
        return INT64_MAX;
    }
    return size * ratio;
}

void CheckDeclaredSize(const std::string& name, uint16_t method, int64_t compressedSize,
                       int64_t uncompressedSize, bool capped) {
    const int64_t limit = PlausibleUncompressedLimit(method, compressedSize);
    if (uncompressedSize < 0 || uncompressedSize > limit) {
        throw ENotEnoughRoom(ZipStrings::CannotUnzipPrefix + name +
                             ZipStrings::CannotUnzipToMemory + "it declares " +
                             std::to_string(uncompressedSize) + " bytes from " +
                             std::to_string(compressedSize) + " compressed bytes");
    }
    if (capped && uncompressedSize > kMemoryTargetCap) {
        throw ENotEnoughRoom(ZipStrings::CannotUnzipPrefix + name +
                             ZipStrings::CannotUnzipToMemory + std::to_string(uncompressedSize) +
                             " bytes are more than the " + std::to_string(kMemoryTargetCap) +
                             " bytes a buffer may hold");
    }
}

void TMemoryTarget::BeginEntry(const std::string& name, uint16_t method, int64_t compressedSize,
                               int64_t uncompressedSize, bool testing) {
    name_ = name;
    chunkSize_ = std::max<int64_t>(owner_.BufferChunkSize, 0);
    roomLeft_ = uncompressedSize;
    writePos_ = 0;
    chunkNumber_ = 0;
    testing_ = testing;
    allocatedHere_ = false;
    if (testing) {
        return;
    }
    allocatedHere_ = buffer_->empty();
    if (chunkSize_ > 0) {
        if (static_cast<int64_t>(buffer_->size()) < chunkSize_) {
            buffer_->resize(static_cast<size_t>(chunkSize_));
        }
        return;
    }
    CheckDeclaredSize(name, method, compressedSize, uncompressedSize, true);
    buffer_->resize(static_cast<size_t>(uncompressedSize));
}

void TMemoryTarget::Take(const uint8_t* data, uint32_t count) {
    if (count > roomLeft_) {
        throw EBiggerThanUncompressed(ZipStrings::LargerThanDeclared);
    }
    if (testing_) {
        roomLeft_ -= count;
        return;
    }
    while (count > 0) {
        size_t n = count;
        if (chunkSize_ > 0) {
            n = std::min<size_t>(n,
                                 static_cast<size_t>(chunkSize_) -
                                     std::min<size_t>(writePos_, static_cast<size_t>(chunkSize_)));
        }
        if (buffer_->size() < writePos_ + n) {
            buffer_->resize(writePos_ + n);  // a handler may have given a smaller one
        }
        if (n > 0) {
            std::memcpy(buffer_->data() + writePos_, data, n);
        }
        writePos_ += n;
        roomLeft_ -= static_cast<int64_t>(n);
        data += n;
        count -= static_cast<uint32_t>(n);
        if (count > 0 || (chunkSize_ > 0 && roomLeft_ == 0)) {
            HandOver();
        }
    }
}

void TMemoryTarget::HandOver() {
    bool quit = roomLeft_ == 0;
    if (owner_.OnGetNextBuffer) {
        owner_.OnGetNextBuffer(owner_, *buffer_, name_, static_cast<int64_t>(writePos_),
                               chunkNumber_ + 1, quit);
    }
    if (quit && roomLeft_ > 0) {
        throw ECanceledUnzipToBuffer(ZipStrings::UserCanceledBuffer);
    }
    ++chunkNumber_;
    writePos_ = 0;
}

void TMemoryTarget::Drop() {
    if (allocatedHere_) {
        buffer_->clear();
        buffer_->shrink_to_fit();
    }
}
