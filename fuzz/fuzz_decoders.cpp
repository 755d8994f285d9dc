// Every decompressor fed arbitrary compressed bytes behind a valid header.
//
// Input layout: one selector byte, a 32-bit little-endian uncompressed
// size, one byte that shortens or lengthens the declared compressed size
// against the bytes present, then the compressed data.
//
// selector % 8: 0 stored, 1 shrunk, 2..5 reduced (factor 1..4), 6 imploded,
// 7 deflated; bits 3 and 4 of the selector are the implode flag bits 1 and 2
// (8 KB window, literal tree).
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "zip/codec/Explode.h"
#include "zip/codec/Inflate.h"
#include "zip/codec/Unreduce.h"
#include "zip/codec/Unshrink.h"

namespace {

// Large enough for many output windows, small enough that a run stays fast
// when a decoder keeps producing bytes out of little input.
constexpr uint32_t kLargestOutput = 1u << 20;

void Decode(TFuzzStages& stages, uint8_t selector) {
    const int method = selector % 8;
    switch (method) {
        case 0:
            UnStore(stages);
            break;
        case 1:
            UnShrink(stages);
            break;
        case 2:
        case 3:
        case 4:
        case 5:
            UnReduce(stages, method - 1);
            break;
        case 6:
            Explode(stages, static_cast<uint16_t>(((selector >> 3) & 3u) << 1));
            break;
        default:
            Inflate(stages);
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TInputCursor in(data, size);
    const uint8_t selector = in.Byte();
    const uint32_t uncompressed = in.Le32() % (kLargestOutput + 1);
    const auto skew = static_cast<int8_t>(in.Byte());
    std::string compressed = in.Rest();
    // Mostly exact; sometimes the header claims more bytes than the archive
    // holds (premature end) or fewer than are there.
    int64_t declared = static_cast<int64_t>(compressed.size());
    if (skew > 100) {
        declared += skew - 100;
    } else if (skew < -100) {
        declared = std::max<int64_t>(0, declared + skew + 100);
    }
    static TFuzzStages* stages = new TFuzzStages();  // buffers reused across runs
    stages->Begin(std::move(compressed), declared, uncompressed);
    try {
        Decode(*stages, selector);
    } catch (const Exception&) {
        // Damaged data ends in the component's own errors.
    }
    if (stages->BytesWritten() > stages->UncompressedSize()) {
        __builtin_trap();  // more output than the header allows
    }
    return 0;
}
