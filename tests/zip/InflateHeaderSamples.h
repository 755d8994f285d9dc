#pragma once

#include <array>
#include <string>
#include <utility>
#include <vector>

// Hand-built deflate block headers, each damaged in one way zlib refuses or
// odd in one way zlib takes, for the header reader's and the engines' tests.

class TBitWriter;

// One dynamic block header, written field by field so that any field can be
// given a value the format forbids.
struct TDynamicHeader {
    bool last = true;
    int literalCodes = 257;    // HLIT + 257; the field holds up to 288
    int distanceCodes = 1;     // HDIST + 1; up to 32
    int codeLengthCodes = 19;  // HCLEN + 4
    // By symbol (0-18); the default is a complete code (13 of 4 bits, 6 of 5).
    std::array<int, 19> codeLengthLengths{4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 5, 5, 5, 5, 5, 5};
    // Code-length symbols with the value of their extra bits.
    std::vector<std::pair<int, int>> tokens;
};

// `count` lengths, all zero but those named.
std::vector<int> LengthsWith(int count, const std::vector<std::pair<int, int>>& nonZero);
// Tokens that send each length by itself.
std::vector<std::pair<int, int>> TokensFor(const std::vector<int>& lengths);
// The canonical codes of `lengths`.
std::vector<uint32_t> CanonicalCodes(const std::vector<int>& lengths);
void WriteDynamicHeader(const TDynamicHeader& header, TBitWriter& bits);

struct THeaderSample {
    std::string name;
    std::string bytes;  // the header and, for the taken ones, a block after it
    std::string fault;  // zlib's words; empty for a header zlib takes
};

// Headers zlib refuses, one fault each, followed by a few bytes more.
std::vector<THeaderSample> DamagedHeaderSamples();
// Odd headers zlib takes (a single code, no distance code, ...), each
// followed by a short block body that inflates.
std::vector<THeaderSample> OddGoodHeaderSamples();
