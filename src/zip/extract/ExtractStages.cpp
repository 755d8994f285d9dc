#include "zip/extract/ExtractStages.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "platform/Stream.h"
#include "zip/UnZipper.h"
#include "zip/base/SmallHelpers.h"
#include "zip/base/ZipStrings.h"
#include "zip/extract/MemoryTarget.h"
#include "zip/extract/OutputFile.h"
#include "zip/io/SplitStream.h"

void TExtractStages::HonourMessages() { giveTurn_(true); }

void TExtractStages::ReadExact(uint8_t* dest, uint32_t count) {
    // A failed read comes back short like the end of the file; only errno
    // tells the two apart.
    errno = 0;
    if (archive_->Read(dest, count) < count) {
        if (const int error = errno; error != 0) {
            throw EFatalUnzipError(std::string(ZipStrings::ArchiveReadError) +
                                   std::strerror(error));
        }
        // One volume, or the last part of a set: the data is cut short.
        throw EFatalUnzipError(ZipStrings::PrematureEnd);
    }
}

void TExtractStages::SkipExact(uint32_t count) {
    while (count > 0) {
        const uint32_t n = std::min(count, kBlockSize);
        ReadExact(Scratch(), n);
        count -= n;
    }
}

void TExtractStages::ReadArchive(uint8_t* dest, uint32_t count) { ReadExact(dest, count); }

void TExtractStages::DecryptInput(uint8_t* data, uint32_t count) {
    if (!encrypted_) {
        return;
    }
    if (owner_.OnDecrypt) {
        owner_.OnDecrypt(owner_, data, static_cast<int>(count), owner_.Password);
    } else {
        cipher_.decrypt_buff(data, count);
    }
}

void TExtractStages::DecryptStored(uint8_t* data, uint32_t count) {
    // Stored data always goes through the cipher, also with an empty
    // password: its header check already accepted the empty password's keys.
    if (encrypted_) {
        cipher_.decrypt_buff(data, count);
    }
}

void TExtractStages::UseFile(TOutputFile* file) {
    UseNothing();
    file_ = file;
}

void TExtractStages::UseStream(TStream* stream) {
    UseNothing();
    stream_ = stream;
}

void TExtractStages::UseMemory(TMemoryTarget* memory) {
    UseNothing();
    memory_ = memory;
}

void TExtractStages::UseNothing() {
    file_ = nullptr;
    stream_ = nullptr;
    memory_ = nullptr;
}

void TExtractStages::WriteOutput(uint8_t* data, uint32_t count) {
    if (file_ != nullptr) {
        file_->Write(data, count);
    } else if (stream_ != nullptr) {
        // The stream started at position 0 for this entry, so its position
        // is the bytes written; the stages already refused any beyond the
        // uncompressed size.
        if (stream_->Write(data, count) != count) {
            throw ECantWriteUCF(ZipStrings::CantWriteUCF);
        }
    } else if (memory_ != nullptr) {
        memory_->Take(data, count);
    }
    ReportProgress(count);
}

void TExtractStages::ReportProgress(uint32_t count) {
    if (owner_.OnFilePercentDone) {
        owner_.OnFilePercentDone(owner_, CBigRate(UncompressedSize(), BytesWritten() + count));
    }
    if (owner_.OnTotalPercentDone) {
        TotalDone += count;
        owner_.OnTotalPercentDone(
            owner_, CBigRate(static_cast<int64_t>(TotalBytes), static_cast<int64_t>(TotalDone)));
    }
}
