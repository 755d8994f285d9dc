#include <zlib.h>

#include "zip/ZipExceptions.h"
#include "zip/codec/InflateEngine.h"

namespace {

[[noreturn]] void RaiseFailure(int result) {
    throw EZCompressionError(InflateFailureText(result == Z_MEM_ERROR ? TInflateFailure::OutOfMemory
                                                                      : TInflateFailure::Damaged));
}

// zlib's stream state, kept from entry to entry and reset for each stream.
class TZLibInflateEngine final : public IInflateEngine {
  public:
    TZLibInflateEngine() {
        // Negative window bits select raw deflate with a 32 KB window and no
        // zlib header or trailer, as zip entries store it.
        if (const int r = inflateInit2(&stream_, -MAX_WBITS); r != Z_OK) {
            RaiseFailure(r);
        }
    }
    ~TZLibInflateEngine() override { inflateEnd(&stream_); }
    TZLibInflateEngine(const TZLibInflateEngine&) = delete;
    TZLibInflateEngine& operator=(const TZLibInflateEngine&) = delete;

    void Begin() override {
        if (const int r = inflateReset(&stream_); r != Z_OK) {
            RaiseFailure(r);
        }
    }

    bool Step(TInflateBuffers& buffers, bool lastInput) override {
        stream_.next_in = const_cast<Bytef*>(buffers.nextIn);
        stream_.avail_in = buffers.availIn;
        stream_.next_out = buffers.nextOut;
        stream_.avail_out = buffers.availOut;
        const int r = inflate(&stream_, lastInput ? Z_FINISH : Z_NO_FLUSH);
        buffers.nextIn = stream_.next_in;
        buffers.availIn = stream_.avail_in;
        buffers.nextOut = stream_.next_out;
        buffers.availOut = stream_.avail_out;
        // The buffer error only says that no progress was possible: the
        // output is full or the input used up; the caller tells which.
        if (r == Z_STREAM_END) {
            return true;
        }
        if (r != Z_OK && r != Z_BUF_ERROR) {
            RaiseFailure(r);
        }
        return false;
    }

    const char* Name() const override { return "zlib"; }

  private:
    z_stream stream_{};
};

}  // namespace

std::unique_ptr<IInflateEngine> MakeZLibInflateEngine() {
    return std::make_unique<TZLibInflateEngine>();
}
