// Both inflate engines, ISA-L and zlib, fed the same raw deflate bytes: they
// must write the same bytes and reach the same verdict (inflated, truncated,
// damaged, larger than allowed); any difference traps. On a build without
// ISA-L there is nothing to compare and the input only runs through zlib.
//
// Input layout: the raw deflate stream, nothing else.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "FuzzSupport.h"
#include "zip/codec/Inflate.h"
#include "zip/codec/InflateEngine.h"

namespace {

// Large enough for many output windows, small enough that a run stays fast.
constexpr int64_t kLargestOutput = int64_t{1} << 22;

struct TOutcome {
    std::string verdict;  // empty when the stream inflated
    int64_t written = 0;
    uint32_t crc = 0;
};

TOutcome InflateWith(std::unique_ptr<IInflateEngine> engine, const std::string& data) {
    TFuzzStages stages;
    stages.UseInflateEngine(std::move(engine));
    stages.Begin(data, static_cast<int64_t>(data.size()), kLargestOutput);
    TOutcome outcome;
    try {
        Inflate(stages);
    } catch (const EZCompressionError& e) {
        outcome.verdict = e.Message();
    } catch (const EBiggerThanUncompressed&) {
        outcome.verdict = "larger";
    }
    outcome.written = stages.BytesWritten();
    outcome.crc = stages.Crc();
    return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string stream(reinterpret_cast<const char*>(data), size);
    const TOutcome zlib = InflateWith(MakeZLibInflateEngine(), stream);
    std::unique_ptr<IInflateEngine> isal = MakeIsalInflateEngine();
    if (!isal) {
        return 0;
    }
    const TOutcome other = InflateWith(std::move(isal), stream);
    if (other.verdict != zlib.verdict) {
        __builtin_trap();
    }
    // Bytes written before a failure may differ (the engines stop at
    // different symbols of a bad block); a good stream's may not.
    if (zlib.verdict.empty() && (other.written != zlib.written || other.crc != zlib.crc)) {
        __builtin_trap();
    }
    return 0;
}
