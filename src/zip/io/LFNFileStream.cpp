#include "zip/io/LFNFileStream.h"

#include "zip/base/FileHelpers.h"

namespace {

TFileMode AccessOf(uint32_t mode) {
    if (mode == lfn::fmCreate) {
        return TFileMode::fmCreate;
    }
    switch (mode & 3u) {
        case lfn::fmOpenWrite:
            return TFileMode::fmOpenWrite;
        case lfn::fmOpenReadWrite:
            return TFileMode::fmOpenReadWrite;
        default:
            return TFileMode::fmOpenRead;
    }
}

std::unique_ptr<TFileStream> OpenFile(const std::string& fileName, uint32_t mode) {
    return std::make_unique<TFileStream>(DOSToUnixFilename(fileName), AccessOf(mode));
}

}  // namespace

TLFNFileStream::TLFNFileStream(const std::string& fileName, uint32_t mode, bool flushOnClose,
                               int32_t bufferSize)
    : detail::LfnFileHolder{OpenFile(fileName, mode)}, TS_BufferStream(*file, bufferSize) {
    if ((mode & 3u) != 0) {
        CommitOnClose = flushOnClose;
    }
}

TLFNFileStream::~TLFNFileStream() = default;
