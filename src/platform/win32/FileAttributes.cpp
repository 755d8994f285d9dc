#include "platform/win32/FileAttributes.h"

#include "platform/win32/WindowsApi.h"

namespace {

constexpr uint32_t kReadBits = 0444;
constexpr uint32_t kWriteBits = 0222;
constexpr uint32_t kSearchBits = 0111;
constexpr uint32_t kOwnerWrite = 0200;

}  // namespace

uint32_t ModeOfAttributes(unsigned long attributes) {
    uint32_t mode = kReadBits;
    if ((attributes & FILE_ATTRIBUTE_READONLY) == 0) {
        mode |= kWriteBits;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        mode |= kSearchBits;
    }
    return mode;
}

unsigned long AttributesWithMode(unsigned long attributes, uint32_t mode) {
    const unsigned long result = (mode & kOwnerWrite) != 0 ? attributes & ~FILE_ATTRIBUTE_READONLY
                                                           : attributes | FILE_ATTRIBUTE_READONLY;
    // No attribute at all is spelled FILE_ATTRIBUTE_NORMAL.
    return result == 0 ? FILE_ATTRIBUTE_NORMAL : result;
}
