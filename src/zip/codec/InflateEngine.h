#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// One raw deflate stream (RFC 1951) at a time, inflated by whichever library
// the build has: ISA-L where it was found (about twice zlib's speed), zlib
// otherwise. Both engines answer alike: the same bytes for a good stream and
// the same verdict for a bad one (damaged, or cut short), so an archive
// extracts the same on every system. Block headers are where the libraries
// differ most (ISA-L builds codes zlib refuses); the ISA-L engine therefore
// judges every header as zlib does before it lets ISA-L decode the block
// (DeflateBlockHeader.h).
//
// An engine is made once per extraction run and reused for every deflated
// entry (Begin starts a new stream), because its state is large.

// Where one Step reads and writes; Step advances both.
struct TInflateBuffers {
    const uint8_t* nextIn = nullptr;
    uint32_t availIn = 0;
    uint8_t* nextOut = nullptr;
    uint32_t availOut = 0;
};

// How a stream failed, in the engine-neutral terms the user sees.
enum class TInflateFailure {
    Truncated,    // the input ended before the stream's last block did
    Damaged,      // the data breaks the format
    OutOfMemory,  // the engine could not get its state
};

// The verdict text of a failure (the message of EZCompressionError).
std::string InflateFailureText(TInflateFailure failure);

class IInflateEngine {
  public:
    virtual ~IInflateEngine() = default;

    // Starts a new stream; any earlier one is forgotten.
    virtual void Begin() = 0;
    // Inflates from the input into the output until the input is used up,
    // the output is full or the stream ends; true at the stream's end.
    // `lastInput` says that no input follows what is given; an engine may
    // then report the cut. Damaged data raises EZCompressionError with
    // InflateFailureText(Damaged), whichever engine found it.
    virtual bool Step(TInflateBuffers& buffers, bool lastInput) = 0;
    // The library's name, for the benchmark and the test names.
    virtual const char* Name() const = 0;
};

// The engine of this build: ISA-L when it was found, else zlib.
std::unique_ptr<IInflateEngine> MakeInflateEngine();
// zlib's engine, on every build (the reference the other is tested against).
std::unique_ptr<IInflateEngine> MakeZLibInflateEngine();
// The input of one block the ISA-L engine keeps so that zlib can judge the
// block again from its start when ISA-L refuses it (IsalInflateEngine.cpp
// says why and what differs for a longer block). Tests give less, to reach
// the long-block road with short streams.
inline constexpr size_t kKeptBlockInput = size_t{1} << 20;

// ISA-L's engine, or null on a build without ISA-L.
std::unique_ptr<IInflateEngine> MakeIsalInflateEngine(size_t keptBlockInput = kKeptBlockInput);
