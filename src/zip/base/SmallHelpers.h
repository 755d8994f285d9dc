#pragma once

#include <cstdint>

// Small number and date helpers shared by the zip component.

// Percentage of `part` in `total`, rounded to nearest with ties to even and
// capped at 100; 0 for a total of 0 or less.
int CBigRate(int64_t total, int64_t part);

// Repairs an MS-DOS date-time (time in the low word, date in the high word):
// every field is clamped into its valid range; an already valid value comes
// back bit for bit.
uint32_t GoodTimeStamp(uint32_t dosDateTime);
