#include "FuzzSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/MessageHooks.h"
#include "zip/ZipExceptions.h"

void InstallQuietHooks() {
    SetMessageBoxHook([](const std::string&, const std::string&, unsigned flags) {
        if ((flags & 0x0F) == MB_OKCANCEL) {
            return static_cast<int>(IDCANCEL);
        }
        if ((flags & 0x0F) == MB_YESNO) {
            return static_cast<int>(IDNO);
        }
        return static_cast<int>(IDOK);
    });
    SetProcessMessagesHook([] {});
}

bool WriteArchiveFile(const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(kArchiveFile, "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

void LoadStream(TMemoryStream& stream, const void* data, size_t size) {
    stream.WriteBuffer(data, static_cast<int64_t>(size));
    stream.SetPosition(0);
}

uint8_t TInputCursor::Byte() { return pos_ < size_ ? data_[pos_++] : 0; }

uint32_t TInputCursor::Le32() {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        value |= static_cast<uint32_t>(Byte()) << (8 * i);
    }
    return value;
}

std::string TInputCursor::Bytes(size_t count) {
    const size_t n = std::min(count, Left());
    std::string bytes(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n;
    return bytes;
}

std::string TInputCursor::Rest() { return Bytes(Left()); }

void TFuzzStages::Begin(std::string data, int64_t declaredCompressed, int64_t uncompressedSize) {
    data_ = std::move(data);
    pos_ = 0;
    written = 0;
    BeginEntry(declaredCompressed, uncompressedSize);
}

void TFuzzStages::ReadArchive(uint8_t* dest, uint32_t count) {
    if (count > data_.size() - pos_) {
        throw EFatalUnzipError("Premature end of file reached");
    }
    std::memcpy(dest, data_.data() + pos_, count);
    pos_ += count;
}

void TFuzzStages::DecryptInput(uint8_t* data, uint32_t count) {
    if (cipher != nullptr) {
        cipher->decrypt_buff(data, count);
    }
}

void TFuzzStages::DecryptStored(uint8_t* data, uint32_t count) {
    if (cipher != nullptr) {
        cipher->decrypt_buff(data, count);
    }
}

void TFuzzStages::WriteOutput(uint8_t* /*data*/, uint32_t count) { written += count; }
