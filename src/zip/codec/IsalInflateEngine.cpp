#include <isa-l/igzip_lib.h>
#include <zlib.h>

#include <algorithm>

#include "platform/ScopeExit.h"
#include "zip/ZipExceptions.h"
#include "zip/codec/InflateEngine.h"

namespace {

[[noreturn]] void RaiseDamaged() {
    throw EZCompressionError(InflateFailureText(TInflateFailure::Damaged));
}

// ISA-L reads a block header only once all of it is there; zlib reads it
// bit by bit and finds a broken one before the input ends. When the input
// ends inside a header, zlib judges the bits ISA-L holds back (the bit
// buffer, then the bytes it kept), stopping at the header's end: a broken
// header is damaged data for both engines, an intact one a cut stream.
bool HeldHeaderIsBroken(const inflate_state& s) {
    if (s.block_state != ISAL_BLOCK_NEW_HDR && s.block_state != ISAL_BLOCK_HDR) {
        return false;
    }
    z_stream zs{};
    if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) {
        return false;
    }
    ScopeExit end([&zs] { inflateEnd(&zs); });
    // zlib takes at most 32 primed bits: only the odd bits go in that way,
    // the whole bytes of the bit buffer go in as input before the kept ones.
    const int oddBits = s.read_in_length % 8;
    inflatePrime(&zs, oddBits, static_cast<int>(s.read_in & ((1u << oddBits) - 1)));
    uint8_t held[8 + ISAL_DEF_MAX_HDR_SIZE];
    size_t count = 0;
    for (int at = oddBits; at < s.read_in_length; at += 8) {
        held[count++] = static_cast<uint8_t>(s.read_in >> at);
    }
    if (s.block_state == ISAL_BLOCK_HDR) {
        const size_t kept = std::min<size_t>(
            static_cast<size_t>(std::max(s.tmp_in_size, int16_t{0})), ISAL_DEF_MAX_HDR_SIZE);
        std::copy_n(s.tmp_in_buffer, kept, held + count);
        count += kept;
    }
    zs.next_in = held;
    zs.avail_in = static_cast<uInt>(count);
    Bytef out[64];
    zs.next_out = out;
    zs.avail_out = sizeof out;
    return inflate(&zs, Z_TREES) == Z_DATA_ERROR;
}

// ISA-L's stream state (tens of kilobytes with its history and tables), kept
// from entry to entry and reset for each stream.
class TIsalInflateEngine final : public IInflateEngine {
  public:
    TIsalInflateEngine() : state_(std::make_unique<inflate_state>()) { Begin(); }

    void Begin() override {
        isal_inflate_init(state_.get());
        state_->crc_flag = ISAL_DEFLATE;  // raw deflate, no wrapper, no check
        state_->hist_bits = 0;            // the full 32 KB window
    }

    bool Step(TInflateBuffers& buffers, bool lastInput) override {
        inflate_state& s = *state_;
        s.next_in = const_cast<uint8_t*>(buffers.nextIn);
        s.avail_in = buffers.availIn;
        s.next_out = buffers.nextOut;
        s.avail_out = buffers.availOut;
        const int r = isal_inflate(&s);
        buffers.nextIn = s.next_in;
        buffers.availIn = s.avail_in;
        buffers.nextOut = s.next_out;
        buffers.availOut = s.avail_out;
        if (r < 0) {
            RaiseDamaged();
        }
        const bool ended = s.block_state == ISAL_BLOCK_FINISH;
        if (!ended && lastInput && s.avail_out > 0 && HeldHeaderIsBroken(s)) {
            RaiseDamaged();
        }
        return ended;
    }

    const char* Name() const override { return "ISA-L"; }

  private:
    std::unique_ptr<inflate_state> state_;
};

}  // namespace

std::unique_ptr<IInflateEngine> MakeIsalInflateEngine() {
    return std::make_unique<TIsalInflateEngine>();
}
