#pragma once

#include "zip/codec/EntryStages.h"

// Reduced (methods 2 to 5, compression factor = method - 1): bytes coded
// through per-byte follower sets, then a run-length style copy scheme with a
// 4 KB reach. Produces exactly the entry's uncompressed size.
//
// Returns Complete when the size is reached. Truncated when the compressed
// data ends first (what was decoded is flushed). A factor outside 1 to 4 is
// Corrupt and produces nothing. Copies that reach before the entry's first
// byte give zero bytes. Stage errors pass through.
TDecodeResult UnReduce(TEntryStages& stages, int factor);
