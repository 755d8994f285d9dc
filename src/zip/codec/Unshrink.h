#pragma once

#include "zip/codec/EntryStages.h"

// Shrunk (method 1): dynamic LZW with codes of 9 to 13 bits, a control code
// that widens the codes or frees the leaf codes ("partial clear"), and no
// dictionary reset. The data ends when the input does; the output window is
// always flushed at the end.
//
// Returns Complete at the end of the input. Corrupt when the data widens the
// codes past 13 bits, starts with a code that is not a byte, or builds a
// string longer than the decode stack (only possible with looping tables):
// decoding stops there, nothing outside the tables is read or written, and
// the CRC verdict rejects the entry. Stage errors pass through.
TDecodeResult UnShrink(TEntryStages& stages);
