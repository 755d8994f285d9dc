#pragma once

class TEntryStages;

// The two methods of current archives, over the per-entry stages.
//
// Errors (all raised, none returned):
//  * from the stages: EFatalUnzipError (archive ends early), EUserCanceled,
//    EBiggerThanUncompressed, ECantWriteUCF, ECanceledUnzipToBuffer;
//  * Inflate only: EZCompressionError, its text InflateFailureText's
//    verdict: truncated (the deflate stream ends before its last block),
//    damaged or out of memory, whichever engine inflates.

// Stored (method 0): copies the entry's data block by block from the archive
// through the output window. An entry of 0 bytes reads and writes nothing.
void UnStore(TEntryStages& stages);

// Deflated (method 8): raw deflate inflated by the run's engine
// (InflateEngine.h) in 32 KB blocks. The
// entry ends with the deflate stream; compressed bytes after it are not read.
void Inflate(TEntryStages& stages);
