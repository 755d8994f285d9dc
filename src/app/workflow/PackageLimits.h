#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/Exception.h"
#include "platform/Stream.h"

// How much room a downloaded package may take. The package's size is only
// known when the server closes, so both are checked as the bytes arrive.
struct TPackageLimits {
    static constexpr int64_t kMebibyte = int64_t{1024} * 1024;
    // The largest package accepted (build setting ZUVO_MAX_PACKAGE_MB).
    int64_t MaxBytes = int64_t{ZUVO_MAX_PACKAGE_MB} * kMebibyte;
    // What must stay free on the file system of the program directory, so
    // that a runaway server cannot fill the disk the user works on.
    int64_t MinFreeBytes = 64 * kMebibyte;
};

// A package that broke one of the limits; the download fails with it.
class EPackageTooLarge : public Exception {
  public:
    using Exception::Exception;
};

// The bytes an unprivileged user may still write where `path` lies;
// nothing when that cannot be found out.
using TFreeSpaceQuery = std::function<std::optional<int64_t>(const std::string& path)>;

// Writes through to the package file and refuses (EPackageTooLarge) every
// write that would make it larger than MaxBytes or leave less than
// MinFreeBytes free in `directory`. Reads, seeks and sizing pass through.
// The free space is asked again after at most kFreeSpaceStride bytes, not
// before every write: a query per 32 KB chunk was one system call more for
// every chunk of a fast download.
class TBoundedPackageStream : public TStream {
  public:
    TBoundedPackageStream(TStream& file, std::string directory, TPackageLimits limits,
                          TFreeSpaceQuery freeSpace);

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    void SetSize(int64_t newSize) override;
    int64_t Size() override;

    static constexpr int64_t kFreeSpaceStride = 4 * TPackageLimits::kMebibyte;

  private:
    void CheckRoomFor(int64_t count);
    void CheckFreeSpaceFor(int64_t count);

    TStream& file_;
    std::string directory_;
    TPackageLimits limits_;
    TFreeSpaceQuery freeSpace_;
    // What may still be written before the free space is asked again.
    int64_t budget_ = 0;
};
