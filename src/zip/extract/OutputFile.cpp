#include "zip/extract/OutputFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <utility>

#include "platform/Exception.h"
#include "platform/FileOps.h"
#include "platform/FileSystem.h"
#include "platform/ScopeExit.h"
#include "zip/ZipExceptions.h"
#include "zip/extract/BackgroundWriter.h"

namespace {

[[noreturn]] void RaiseCantWrite() { throw ECantWriteUCF("Cant write uncompressed file"); }

constexpr uint32_t kOwnerWrite = 0200;
// What a new file gets when the system cannot tell its mode.
constexpr uint32_t kUsualFileMode = 0644;

// Writes all bytes to the file; false when the system takes no more.
bool WriteToFile(TFileHandle& file, const uint8_t* data, size_t count) {
    return file.Write(data, static_cast<int64_t>(count)) == static_cast<int64_t>(count);
}

// Tries to find a free name beside the file to be replaced; a handful of
// random names is plenty, the rest means the directory refuses new files.
constexpr int kTemporaryNameTries = 16;

std::string DirectoryOf(const std::string& path) {
    const size_t cut = path.rfind('/');
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

// A short name in the same directory, so that the rename stays on one file
// system and never grows past the system's name limit.
std::string TemporaryNameBeside(const std::string& path, std::mt19937& random) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random()));
    return DirectoryOf(path) + ".zuvo-" + suffix + ".part";
}

bool CreateBeside(TFileHandle& file, const std::string& path, std::string& temporaryName) {
    std::mt19937 random(std::random_device{}());
    for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
        temporaryName = TemporaryNameBeside(path, random);
        if (file.CreateExclusive(temporaryName)) {
            return true;
        }
    }
    temporaryName.clear();
    return false;
}

}  // namespace

bool FileIsReadOnly(const std::string& fileName) {
    const TPathStatus info = PathStatus(fileName, TLinks::DoNotFollow);
    return info.Kind == TPathKind::Regular && (info.Mode & kOwnerWrite) == 0;
}

bool ClearReadOnly(const std::string& fileName) {
    const TPathStatus info = PathStatus(fileName, TLinks::DoNotFollow);
    if (info.Kind != TPathKind::Regular) {
        return false;
    }
    // Only the name goes: changing the file's mode would change it for
    // every other link to the same file, outside the destination too.
    return DeleteFile(fileName);
}

bool PlaceSymbolicLink(const std::string& path, const std::string& target) {
    const TPathKind kind = PathStatus(path, TLinks::DoNotFollow).Kind;
    if (kind == TPathKind::Directory) {
        return false;  // a rename would take an empty directory away
    }
    if (kind == TPathKind::Absent) {
        return MakeSymbolicLink(target, path);
    }
    std::mt19937 random(std::random_device{}());
    for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
        const std::string temporaryName = TemporaryNameBeside(path, random);
        if (MakeSymbolicLink(target, temporaryName)) {
            if (ReplaceFile(temporaryName, path)) {
                return true;
            }
            DeleteFile(temporaryName);
            return false;
        }
    }
    return false;
}

TOutputFile::TOutputFile(const std::string& fileName, int32_t bufferSize, bool flushOnClose)
    : fileName_(fileName),
      flushOnClose_(flushOnClose),
      capacity_(static_cast<size_t>(std::max<int32_t>(bufferSize, 1))) {
    // Most names are new: a create that refuses anything already there
    // needs no look at the name first. Only when it fails is the name
    // looked at, and the file opened the way an existing name needs.
    if (!file_.CreateExclusive(fileName)) {
        CreateInPlaceOfExisting(fileName);
    }
    buffer_ = std::make_unique<uint8_t[]>(capacity_);
    sink_ = [this](const uint8_t* data, size_t count) { return WriteToFile(file_, data, count); };
}

void TOutputFile::CreateInPlaceOfExisting(const std::string& fileName) {
    // One look at the name serves both questions below.
    const TPathStatus existing = PathStatus(fileName, TLinks::DoNotFollow);
    const bool replacing = existing.Kind == TPathKind::Regular;
    // A privileged process could write a file without write permission; the
    // read-only attribute stops everybody, so it is checked here.
    if (replacing && (existing.Mode & kOwnerWrite) == 0) {
        throw EFCreateError("Cannot create file " + fileName);
    }
    // An existing file is replaced by a new one renamed over it at Close:
    // writing into it would also change every hard link to it, and a
    // failed entry would destroy the old contents.
    if (replacing ? !CreateBeside(file_, fileName, temporaryName_)
                  : !file_.CreateNoFollow(fileName)) {
        throw EFCreateError("Cannot create file " + fileName);
    }
}

TOutputFile::TOutputFile(const std::string& fileName, int32_t bufferSize, bool flushOnClose,
                         TWriteSink sink)
    : TOutputFile(fileName, bufferSize, flushOnClose) {
    sink_ = std::move(sink);
}

TOutputFile::~TOutputFile() {
    if (file_.IsOpen()) {
        try {
            Flush();
        } catch (...) {
            // The entry already failed; its file is closed as it stands.
        }
        writer_.reset();
        file_.Close();
    }
    if (!temporaryName_.empty()) {
        DeleteFile(temporaryName_);  // never completed: the old file stays
    }
}

void TOutputFile::SetSize(int64_t size) {
    if (size < kSizedFrom) {
        return;
    }
    if (!file_.SetSize(size)) {
        throw EStreamError("Cannot set the size of \"" + fileName_ + "\". " + file_.ErrorText());
    }
    if (size >= kBackgroundFrom && !writer_) {
        Flush();  // anything buffered goes first, on this thread
        writer_ = std::make_unique<TBackgroundWriter>(sink_);
    }
}

void TOutputFile::WriteAll(const uint8_t* data, size_t count) {
    if (!sink_(data, count)) {
        RaiseCantWrite();
    }
}

void TOutputFile::Write(const uint8_t* data, size_t count) {
    if (writer_) {
        if (!writer_->Write(data, count)) {
            RaiseCantWrite();
        }
        return;
    }
    if (pending_ + count <= capacity_) {
        std::memcpy(buffer_.get() + pending_, data, count);
        pending_ += count;
        if (pending_ == capacity_) {
            Flush();
        }
        return;
    }
    Flush();
    if (count >= capacity_) {
        WriteAll(data, count);
        return;
    }
    std::memcpy(buffer_.get(), data, count);
    pending_ = count;
}

void TOutputFile::Flush() {
    if (writer_ && !writer_->Drain()) {
        RaiseCantWrite();
    }
    if (pending_ == 0) {
        return;
    }
    const size_t n = pending_;
    pending_ = 0;
    WriteAll(buffer_.get(), n);
}

void TOutputFile::SetModificationTime(time_t when) {
    Flush();  // a later write would move the time again
    file_.SetModificationTime(when);
}

void TOutputFile::SetMode(uint32_t mode) { file_.SetMode(mode); }

uint32_t TOutputFile::CurrentMode() { return file_.CurrentMode().value_or(kUsualFileMode); }

void TOutputFile::Close() {
    if (!file_.IsOpen()) {
        return;
    }
    // A failed flush still closes the file; its error is the one reported.
    ScopeExit closeAfterFailure([&] {
        writer_.reset();
        file_.Close();
    });
    Flush();
    writer_.reset();
    closeAfterFailure.Release();
    if (flushOnClose_) {
        file_.SyncToDisk();
    }
    if (!file_.Close()) {
        RaiseCantWrite();
    }
    if (!temporaryName_.empty()) {
        if (!ReplaceFile(temporaryName_, fileName_)) {
            RaiseCantWrite();  // the destructor removes the new file
        }
        temporaryName_.clear();
    }
}
