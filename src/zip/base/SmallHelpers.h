#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

// Small string and number helpers shared by the zip component.

// The first n characters of s (all of s when shorter; none for n <= 0).
std::string LeftStr(const std::string& s, int n);
// The last n characters of s (all of s when shorter; none for n <= 0).
std::string RightStr(const std::string& s, int n);

// The string's characters as zero-terminated text; valid while s lives.
inline const char* StringAsPChar(const std::string& s) { return s.c_str(); }
// A new zero-terminated copy owned by the caller, or none for an empty string.
std::unique_ptr<char[]> StrToPChar(const std::string& s);
// The string of a zero-terminated text; empty for none.
std::string PCharToStr(const char* p);

inline int64_t min64(int64_t a, int64_t b) { return a < b ? a : b; }
inline int64_t max64(int64_t a, int64_t b) { return a > b ? a : b; }

inline const uint8_t* HugeOffset(const uint8_t* p, int64_t n) { return p + n; }
inline void HMemCpy(void* dst, const void* src, int64_t n) {
    if (n > 0) {
        std::memcpy(dst, src, static_cast<size_t>(n));
    }
}

// Percentage of `part` in `total`, rounded to nearest with ties to even and
// capped at 100; 0 for a total of 0 or less.
int CBigRate(int64_t total, int64_t part);

// Repairs an MS-DOS date-time (time in the low word, date in the high word):
// every field is clamped into its valid range; an already valid value comes
// back bit for bit.
uint32_t GoodTimeStamp(uint32_t dosDateTime);

// Creates dir and every missing parent; failures are ignored (a later open
// of a file in it reports them). One trailing separator is ignored.
void ForceCreateDirectories(const std::string& dir);
