#include "PackageLimits.h"

#include <algorithm>
#include <utility>

TBoundedPackageStream::TBoundedPackageStream(TStream& file, std::string directory,
                                             TPackageLimits limits, TFreeSpaceQuery freeSpace)
    : file_(file),
      directory_(std::move(directory)),
      limits_(limits),
      freeSpace_(std::move(freeSpace)) {}

int64_t TBoundedPackageStream::Read(void* buffer, int64_t count) {
    return file_.Read(buffer, count);
}

int64_t TBoundedPackageStream::Write(const void* buffer, int64_t count) {
    CheckRoomFor(count);
    return file_.Write(buffer, count);
}

int64_t TBoundedPackageStream::Seek(int64_t offset, TSeekOrigin origin) {
    return file_.Seek(offset, origin);
}

void TBoundedPackageStream::SetSize(int64_t newSize) {
    if (newSize > file_.Size()) {
        CheckRoomFor(newSize - file_.Size());
    }
    file_.SetSize(newSize);
}

int64_t TBoundedPackageStream::Size() { return file_.Size(); }

// Asked before every write. The size is checked each time; the free space
// when the bytes written since it was last asked would pass what it allowed
// then, at most kFreeSpaceStride. So this download never takes the disk
// below the margin, and a disk that other programs fill is noticed within a
// few megabytes. When the system cannot tell the free space, only the size
// counts.
void TBoundedPackageStream::CheckRoomFor(int64_t count) {
    const int64_t end = file_.Position() + count;
    if (end > limits_.MaxBytes) {
        throw EPackageTooLarge("The package is larger than " +
                               std::to_string(limits_.MaxBytes / TPackageLimits::kMebibyte) +
                               " MB.");
    }
    if (count > budget_) {
        CheckFreeSpaceFor(count);
    }
    budget_ -= count;
}

void TBoundedPackageStream::CheckFreeSpaceFor(int64_t count) {
    const std::optional<int64_t> free = freeSpace_ ? freeSpace_(directory_) : std::nullopt;
    if (free && *free - count < limits_.MinFreeBytes) {
        throw EPackageTooLarge("The package would leave less than " +
                               std::to_string(limits_.MinFreeBytes / TPackageLimits::kMebibyte) +
                               " MB free on the disk.");
    }
    const int64_t room = free ? *free - limits_.MinFreeBytes : kFreeSpaceStride;
    budget_ = std::max(count, std::min(room, kFreeSpaceStride));
}
