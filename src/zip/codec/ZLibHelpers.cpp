#include "zip/codec/ZLibHelpers.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/Stream.h"
#include "zip/ZipExceptions.h"
#include "zip/base/ZipStrings.h"

namespace {

constexpr uInt kBlock = 32768;
// zlib counts in 32 bits; larger inputs and outputs go in slices.
constexpr int64_t kMaxSlice = int64_t{1} << 30;

[[noreturn]] void RaiseDecompressionError(int result, const z_stream& zs, bool cutShort) {
    throw EZDecompressionError(ZLibFailureText(result, zs.msg, cutShort));
}

// zlib's state for one call; inflateEnd runs on every way out.
class TInflater {
  public:
    explicit TInflater(bool raw) {
        if (const int r = inflateInit2(&stream_, raw ? -MAX_WBITS : MAX_WBITS); r != Z_OK) {
            RaiseDecompressionError(r, stream_, false);
        }
    }
    ~TInflater() { inflateEnd(&stream_); }
    TInflater(const TInflater&) = delete;
    TInflater& operator=(const TInflater&) = delete;

    z_stream& Stream() { return stream_; }

    // One inflate call. Returns true at the stream's end. zlib's buffer
    // error only means "give me more" unless `finishing` (no further input
    // can come) and the output still had room: then the data is cut short.
    bool Step(int flush, bool finishing) {
        const int r = inflate(&stream_, flush);
        if (r == Z_STREAM_END) {
            return true;
        }
        const bool cutShort = r == Z_BUF_ERROR && finishing && stream_.avail_out > 0;
        if (r == Z_NEED_DICT || cutShort || (r < 0 && r != Z_BUF_ERROR)) {
            RaiseDecompressionError(r, stream_, cutShort);
        }
        return false;
    }

  private:
    z_stream stream_{};
};

int PercentOf(int64_t part, int64_t total) {
    if (total <= 0) {
        return 0;
    }
    const double percent =
        std::nearbyint(100.0 * static_cast<double>(part) / static_cast<double>(total));
    return static_cast<int>(std::clamp(percent, 0.0, 100.0));
}

// Inflates whatever input is set, writing each produced block to `out`, until
// the input is used up, the stream ends or (finishing) zlib gives up.
bool DrainInto(TInflater& inflater, TStream& out, std::vector<uint8_t>& block, int flush,
               int64_t& written) {
    z_stream& zs = inflater.Stream();
    bool ended = false;
    do {
        zs.next_out = block.data();
        zs.avail_out = kBlock;
        ended = inflater.Step(flush, flush == Z_FINISH);
        const uInt produced = kBlock - zs.avail_out;
        out.WriteBuffer(block.data(), produced);
        written += produced;
        if (flush == Z_FINISH && !ended && produced == 0) {
            RaiseDecompressionError(Z_BUF_ERROR, zs, true);
        }
    } while (!ended && (zs.avail_in > 0 || zs.avail_out == 0));
    return ended;
}

}  // namespace

std::string ZLibFailureText(int result, const char* zlibMessage, bool cutShort) {
    if (cutShort) {
        return ZipStrings::DataTruncated;
    }
    if (result == Z_MEM_ERROR) {
        return ZipStrings::DecoderOutOfMemory;
    }
    if (zlibMessage != nullptr && *zlibMessage != '\0') {
        return std::string(ZipStrings::DataDamagedDetail) + zlibMessage;
    }
    return ZipStrings::DataDamaged;
}

int64_t ZLibDecompressStream(TStream& inStream, TStream& outStream, bool raw,
                             const TZLibStreamHooks& hooks) {
    TInflater inflater(raw);
    z_stream& zs = inflater.Stream();
    std::vector<uint8_t> input(kBlock);
    std::vector<uint8_t> output(kBlock);
    const int64_t inSize = hooks.percentDone ? inStream.Size() : 0;
    int64_t readCount = 0;
    int64_t written = 0;
    bool ended = false;
    while (!ended) {
        const int64_t n = inStream.Read(input.data(), kBlock);
        if (n <= 0) {
            break;
        }
        readCount += n;
        zs.next_in = input.data();
        zs.avail_in = static_cast<uInt>(n);
        ended = DrainInto(inflater, outStream, output, Z_NO_FLUSH, written);
        if (hooks.honourMessages) {
            hooks.honourMessages();
        }
        if (hooks.percentDone) {
            hooks.percentDone(PercentOf(readCount, inSize));
        }
    }
    // A stream that has not reached its end by now is cut short: finishing
    // it either completes it or makes zlib report the error.
    while (!ended) {
        ended = DrainInto(inflater, outStream, output, Z_FINISH, written);
    }
    return written;
}

namespace {

// A malloc'd block that is freed unless released to the caller.
struct TMallocBlock {
    void* data = nullptr;
    ~TMallocBlock() { std::free(data); }
    void Resize(int64_t bytes) {
        void* grown = std::realloc(data, static_cast<size_t>(std::max<int64_t>(bytes, 1)));
        if (grown == nullptr) {
            throw EZDecompressionError(ZipStrings::DecoderOutOfMemory);
        }
        data = grown;
    }
};

}  // namespace

void ZLibDecompressBuffer(const void* inBuffer, int64_t inBytes, void*& outBuffer,
                          int64_t& outBytes, int64_t outEstimate, bool raw,
                          const std::function<void(int64_t capacity)>& onGrow) {
    outBuffer = nullptr;
    outBytes = 0;
    inBytes = std::max<int64_t>(inBytes, 0);
    // At least one step of 256, so empty input cannot stall the growth.
    const int64_t step = std::max<int64_t>(256, (inBytes + 255) / 256 * 256);
    int64_t capacity = outEstimate > 0 ? outEstimate : step;
    TMallocBlock block;
    block.Resize(capacity);

    TInflater inflater(raw);
    z_stream& zs = inflater.Stream();
    const auto* in = static_cast<const uint8_t*>(inBuffer);
    int64_t inLeft = inBytes;
    int64_t produced = 0;
    for (;;) {
        if (zs.avail_in == 0 && inLeft > 0) {
            const int64_t slice = std::min(inLeft, kMaxSlice);
            zs.next_in = const_cast<Bytef*>(in + (inBytes - inLeft));
            zs.avail_in = static_cast<uInt>(slice);
            inLeft -= slice;
        }
        zs.next_out = static_cast<Bytef*>(block.data) + produced;
        zs.avail_out = static_cast<uInt>(std::min(capacity - produced, kMaxSlice));
        const uInt room = zs.avail_out;
        const bool ended = inflater.Step(Z_NO_FLUSH, zs.avail_in == 0 && inLeft == 0);
        produced += room - zs.avail_out;
        if (ended) {
            break;
        }
        if (zs.avail_out == 0 && produced == capacity) {
            capacity += step;
            block.Resize(capacity);
            if (onGrow) {
                onGrow(capacity);
            }
        }
    }
    block.Resize(produced);
    outBuffer = block.data;
    outBytes = produced;
    block.data = nullptr;
}

std::string ZLibDecompressString(const std::string& text, bool raw) {
    void* buffer = nullptr;
    int64_t bytes = 0;
    ZLibDecompressBuffer(text.data(), static_cast<int64_t>(text.size()), buffer, bytes, 0, raw);
    std::string result(static_cast<const char*>(buffer), static_cast<size_t>(bytes));
    std::free(buffer);
    return result;
}
