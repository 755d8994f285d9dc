// The zlib helpers (stream, buffer and string forms) fed arbitrary data.
// Whatever one form makes of the bytes, the others must make the same.
//
// Input layout: one options byte (bit 0: raw deflate, bits 1 to 3: the
// buffer form's starting estimate), then the compressed data.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "FuzzSupport.h"
#include "platform/MemoryStream.h"
#include "zip/codec/ZLibHelpers.h"

namespace {

constexpr size_t kLargestBufferOutput = 64 * 1024;
const int64_t kEstimates[] = {0, 1, 7, 255, 256, 4096, 65536, 1 << 20};

std::optional<std::string> ByStream(const std::string& data, bool raw) {
    TMemoryStream in;
    LoadStream(in, data.data(), data.size());
    TMemoryStream out;
    try {
        const int64_t n = ZLibDecompressStream(in, out, raw);
        if (n != out.Size()) {
            __builtin_trap();
        }
    } catch (const Exception&) {
        return std::nullopt;
    }
    return std::string(reinterpret_cast<const char*>(out.Memory()),
                       static_cast<size_t>(out.Size()));
}

std::optional<std::string> ByBuffer(const std::string& data, bool raw, int64_t estimate) {
    void* out = nullptr;
    int64_t outBytes = 0;
    try {
        ZLibDecompressBuffer(data.data(), static_cast<int64_t>(data.size()), out, outBytes,
                             estimate, raw);
    } catch (const Exception&) {
        if (out != nullptr) {
            __builtin_trap();  // nothing is handed out on failure
        }
        return std::nullopt;
    }
    std::string bytes(static_cast<const char*>(out), static_cast<size_t>(outBytes));
    std::free(out);
    return bytes;
}

std::optional<std::string> ByString(const std::string& data, bool raw) {
    try {
        return ZLibDecompressString(data, raw);
    } catch (const Exception&) {
        return std::nullopt;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TInputCursor in(data, size);
    const uint8_t options = in.Byte();
    const bool raw = (options & 1) != 0;
    const std::string compressed = in.Rest();
    const auto a = ByStream(compressed, raw);
    // The buffer form grows by a fixed step, which the sanitizer's copying
    // realloc turns quadratic; large outputs would only slow the run down.
    if (a && a->size() > kLargestBufferOutput) {
        return 0;
    }
    const auto b = ByBuffer(compressed, raw, kEstimates[(options >> 1) & 7]);
    const auto c = ByString(compressed, raw);
    // The buffer and string forms see the whole input at once; they must
    // agree with each other, and with the stream form when it succeeded.
    if (b != c || (a && b && *a != *b)) {
        __builtin_trap();
    }
    return 0;
}
