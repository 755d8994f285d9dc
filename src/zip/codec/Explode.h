#pragma once

#include <cstdint>

#include "zip/codec/EntryStages.h"

// Imploded (method 6): a sliding dictionary of 4 or 8 KB with matches and
// literals coded by two or three Shannon-Fano trees stored at the start of
// the data. General-purpose flag bit 1 selects the 8 KB dictionary, bit 2 the
// literal tree (three trees). Produces exactly the uncompressed size.
//
// Returns Complete when the size is reached; the window is flushed. Corrupt
// for a tree whose lengths do not add up to its code count or do not form a
// complete prefix code; Truncated when the data ends in the middle of a
// code. In both cases the method stops at once WITHOUT the final flush, so
// the entry's CRC comes out wrong and the driver rejects it. Copies that
// reach before the entry's first byte give zero bytes. No memory is
// allocated: the trees' tables live on the stack, the window in the
// stages' scratch area. Stage errors pass through.
TDecodeResult Explode(TEntryStages& stages, uint16_t generalPurposeFlags);

// Lookup width used for the distance tree: 8 bits for entries with more
// than 200,000 compressed bytes left, else 7 (a speed choice only; the
// decoded bytes are the same).
unsigned ExplodeDistanceLookupBits(int64_t compressedLeft);
