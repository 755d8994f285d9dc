#pragma once

#include <cstdint>
#include <functional>
#include <string>

class TStream;

// zlib decompression of whole streams, buffers and strings outside any
// archive. `raw` selects raw deflate; otherwise the zlib format with its
// two-byte header and Adler-32 trailer. Every zlib failure raises
// EZDecompressionError with ZLibFailureText's verdict.

// The text of a failed inflate: `cutShort` when the input ran out before
// the stream's end (truncated), else zlib's result code and its own message
// (may be null) for damaged data or a lack of memory.
std::string ZLibFailureText(int result, const char* zlibMessage, bool cutShort);

// What the component lends the stream variant between input blocks.
struct TZLibStreamHooks {
    // Pumps messages and honours cancel (EUserCanceled) and pause; empty
    // when the component does not process messages.
    std::function<void()> honourMessages;
    // Fired after each input block with the percentage of the input read.
    std::function<void(int percent)> percentDone;
};

// Decompresses `inStream` from its current position into `outStream`, in
// 32 KB blocks; returns the number of bytes written.
int64_t ZLibDecompressStream(TStream& inStream, TStream& outStream, bool raw,
                             const TZLibStreamHooks& hooks = {});

// Decompresses `inBytes` bytes at `inBuffer` into a buffer allocated with
// std::malloc, which the caller owns and frees with std::free. The buffer
// starts at `outEstimate` bytes (0: the smallest multiple of 256 not below
// `inBytes`) and grows by that multiple at a time; it is finally shrunk to
// the data. On failure nothing is returned and nothing leaks. `onGrow`, when
// set, hears each new capacity.
void ZLibDecompressBuffer(const void* inBuffer, int64_t inBytes, void*& outBuffer,
                          int64_t& outBytes, int64_t outEstimate, bool raw,
                          const std::function<void(int64_t capacity)>& onGrow = {});

// The string form of ZLibDecompressBuffer.
std::string ZLibDecompressString(const std::string& text, bool raw);
