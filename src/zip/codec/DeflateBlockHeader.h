#pragma once

#include <cstddef>
#include <cstdint>

// Reads and judges the header of one deflate block (RFC 1951) exactly as
// zlib's inflate does: the same codes refused, each refused as soon as the
// bits that show the fault are there and not before. An engine that reads
// headers more leniently (ISA-L builds tables from over-subscribed and
// incomplete code-length sets) checks each header here before it decodes
// the block, so both engines refuse the same streams and, for a cut stream,
// agree whether the bits at hand already broke the format.

// The bits a header is read from, least significant bit first: the low
// `heldBits` bits of `held` (the remaining bits of bytes already taken, so
// their top end is a byte boundary), then the bytes of `first`, then those
// of `second`.
struct THeaderBits {
    uint64_t held = 0;
    int heldBits = 0;
    const uint8_t* first = nullptr;
    size_t firstCount = 0;
    const uint8_t* second = nullptr;
    size_t secondCount = 0;
};

enum class THeaderVerdict {
    Complete,  // the whole header is there and zlib would decode the block
    NeedMore,  // no fault in the bits at hand, but the header goes on
    Damaged,   // the bits at hand break the format
};

struct TBlockHeader {
    bool last = false;            // the stream's last block
    unsigned type = 0;            // 0 stored, 1 fixed codes, 2 dynamic codes
    const char* fault = nullptr;  // with Damaged: zlib's words for the fault
};

// Reads the block header at the start of `bits`. Stored blocks end their
// header with the length and its complement, dynamic ones with the last
// code length; the data after the header is not looked at.
THeaderVerdict ReadBlockHeader(const THeaderBits& bits, TBlockHeader& header);
