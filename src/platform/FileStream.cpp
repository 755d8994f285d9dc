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

int64_t TFileStream::Read(void* buffer, int64_t count) { return file_.Read(buffer, count); }

int64_t TFileStream::Write(const void* buffer, int64_t count) { return file_.Write(buffer, count); }

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    const std::optional<int64_t> result = file_.Seek(offset, origin);
    if (!result) {
        throw EStreamError("Seek error on \"" + fileName_ + "\". " + file_.ErrorText());
    }
    return *result;
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
