#pragma once

#include <cstdint>

// Windows keeps no permission bits, only a read-only attribute. A file
// reads as 0666 (0777 for a directory), or without the write bits when it
// is read-only; of the bits given, only the owner's write bit counts.
uint32_t ModeOfAttributes(unsigned long attributes);
unsigned long AttributesWithMode(unsigned long attributes, uint32_t mode);
