#include <isa-l/igzip_lib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "zip/ZipExceptions.h"
#include "zip/codec/DeflateBlockHeader.h"
#include "zip/codec/InflateEngine.h"
#include "zip/codec/ZLibBlockReplay.h"

// ISA-L reads some block headers more leniently than zlib: it builds tables
// from over-subscribed and incomplete code-length sets and inflates on. So
// that both engines refuse the same streams, this engine checks every block
// header with ReadBlockHeader before ISA-L sees it. ISA-L has no way to stop
// at a block's end, so the engine marks each block it hands over as the
// stream's last (the low bit of ISA-L's bit buffer, the header's first bit):
// ISA-L finishes there, and the bits it holds then start the next header.
// To go on, the engine starts ISA-L afresh with the last 32 KB of output as
// its dictionary and the held bits put back.
//
// ISA-L also judges a symbol from fewer bits than it needs when its input
// ends inside one: a damaged stream cut inside the damaged symbol is
// "damaged" to ISA-L and merely cut short to zlib. So when ISA-L refuses a
// block, zlib reads the block again from its header (TZLibBlockReplay) and
// its reading decides: damaged, or cut short when the input ends first. For
// that the engine keeps each block's input up to kKeptBlockInput. A longer
// block (ISA-L's fastest compression level can write a whole stream as one)
// is not kept, and its refusal stays ISA-L's: such a block cut right inside
// a damaged symbol is called damaged, where zlib calls it cut short. Reading
// long blocks with zlib alongside made such a stream three times slower.
// A sound stream cut inside a long block is cut short to both engines: ISA-L
// decodes streams that come in pieces, so it does not refuse the start of a
// sound symbol.
//
// That restart costs a few microseconds per block: a stream made of nothing
// but tiny blocks inflates about forty times slower than with zlib (still
// linear in its length). Handing runs of short blocks to zlib was tried and
// left out: the hand-over of the bits between the two engines lost a
// block's position in a stream a fuzzer found, and a wrong verdict on a
// sound stream costs more than speed on an odd one.

namespace {

constexpr size_t kWindow = size_t{1} << 15;  // deflate's history reach

[[noreturn]] void RaiseDamaged() {
    throw EZCompressionError(InflateFailureText(TInflateFailure::Damaged));
}

// The last 32 KB of a stream's output, kept contiguous: ISA-L loses its own
// history when it finishes a block marked last. Output is appended behind
// what is kept and moved to the front only when the buffer is full, so that
// most bytes are copied once.
class TOutputHistory {
  public:
    void Clear() { fill_ = 0; }

    void Append(const uint8_t* data, size_t count) {
        if (count == 0) {
            return;
        }
        if (count >= kWindow) {
            GrowTo(kWindow);
            std::memcpy(buffer_.data(), data + count - kWindow, kWindow);
            fill_ = kWindow;
            return;
        }
        GrowTo(fill_ + count);
        if (fill_ + count > buffer_.size()) {
            std::memmove(buffer_.data(), buffer_.data() + fill_ - kWindow, kWindow);
            fill_ = kWindow;
        }
        std::memcpy(buffer_.data() + fill_, data, count);
        fill_ += count;
    }

    // Hands the history to a freshly reset ISA-L state.
    void GiveTo(inflate_state& state) {
        const size_t count = std::min(fill_, kWindow);
        if (count > 0 && isal_inflate_set_dict(&state, buffer_.data() + fill_ - count,
                                               static_cast<uint32_t>(count)) != COMP_OK) {
            RaiseDamaged();
        }
    }

  private:
    static constexpr size_t kCapacity = 8 * kWindow;

    // Grows the buffer (up to its capacity) for short streams to stay cheap.
    void GrowTo(size_t size) {
        if (size > buffer_.size() && buffer_.size() < kCapacity) {
            buffer_.resize(std::min(kCapacity, std::max(2 * buffer_.size(), size)));
        }
    }

    std::vector<uint8_t> buffer_;
    size_t fill_ = 0;
};

// ISA-L's stream state (tens of kilobytes with its history and tables),
// kept from entry to entry and reset for each stream.
class TIsalInflateEngine final : public IInflateEngine {
  public:
    explicit TIsalInflateEngine(size_t keptBlockInput)
        : state_(std::make_unique<inflate_state>()), keptBlockInput_(keptBlockInput) {
        Begin();
    }
    TIsalInflateEngine(const TIsalInflateEngine&) = delete;
    TIsalInflateEngine& operator=(const TIsalInflateEngine&) = delete;

    void Begin() override {
        isal_inflate_init(state_.get());
        Configure();
        history_.Clear();
        produced_ = 0;
        block_ = TBlockStart{};
        blockInput_.clear();
        refused_ = false;
        held_.clear();
        heldAt_ = 0;
        atHeader_ = true;
        lastBlock_ = false;
    }

    // The cut of a stream needs no word from here: a header held back
    // incomplete or a block left open leaves room in the output, and the
    // caller reports the cut.
    bool Step(TInflateBuffers& buffers, bool /*lastInput*/) override {
        if (refused_) {
            AwaitReplay(buffers);
            return false;
        }
        for (;;) {
            if (buffers.availOut == 0) {
                return false;
            }
            const bool fromHeld = heldAt_ < held_.size();
            if (atHeader_) {
                if (!TakeHeader(buffers)) {
                    return false;
                }
                continue;  // the header may have taken the last held byte
            } else {
                RunIsal(buffers, fromHeld);
                if (state_->block_state == ISAL_BLOCK_FINISH) {
                    if (lastBlock_) {
                        return true;
                    }
                    StartNextBlock();
                    continue;
                }
            }
            if (buffers.availOut == 0 || !fromHeld || !held_.empty()) {
                return false;  // the output is full or the input used up
            }
        }
    }

    const char* Name() const override { return "ISA-L"; }

  private:
    void Configure() {
        state_->crc_flag = ISAL_DEFLATE;  // raw deflate, no wrapper, no check
        state_->hist_bits = 0;            // the full 32 KB window
    }

    // Judges the header at the start of the bits at hand. A complete, sound
    // one is marked last and handed over; a header the input does not yet
    // hold whole is kept back (in `held_`) until more input comes; with no
    // more to come the caller reports the cut.
    bool TakeHeader(TInflateBuffers& buffers) {
        inflate_state& s = *state_;
        THeaderBits bits;
        bits.held = s.read_in;
        bits.heldBits = s.read_in_length;
        bits.first = held_.data() + heldAt_;
        bits.firstCount = held_.size() - heldAt_;
        bits.second = buffers.nextIn;
        bits.secondCount = buffers.availIn;
        TBlockHeader header;
        switch (ReadBlockHeader(bits, header)) {
            case THeaderVerdict::Damaged:
                RaiseDamaged();
            case THeaderVerdict::NeedMore:
                held_.insert(held_.end(), buffers.nextIn, buffers.nextIn + buffers.availIn);
                buffers.nextIn += buffers.availIn;
                buffers.availIn = 0;
                return false;
            case THeaderVerdict::Complete:
                break;
        }
        StartBlock(s.read_in, s.read_in_length);
        if (s.read_in_length == 0) {
            // The header's first bit must sit in the bit buffer to be marked.
            const uint8_t first = TakeByte(buffers);
            s.read_in = first;
            s.read_in_length = 8;
            KeepBlockInput(&first, 1);
        }
        s.read_in |= 1;
        lastBlock_ = header.last;
        atHeader_ = false;
        return true;
    }

    uint8_t TakeByte(TInflateBuffers& buffers) {
        if (heldAt_ < held_.size()) {
            return held_[heldAt_++];
        }
        --buffers.availIn;
        return *buffers.nextIn++;
    }

    // Where the next call reads: the held bytes first, then the caller's.
    const uint8_t* InputAt(const TInflateBuffers& buffers, bool fromHeld) const {
        return fromHeld ? held_.data() + heldAt_ : buffers.nextIn;
    }
    uint32_t InputCount(const TInflateBuffers& buffers, bool fromHeld) const {
        return fromHeld ? static_cast<uint32_t>(held_.size() - heldAt_) : buffers.availIn;
    }

    // Books one call's work: `left` input bytes not taken, output up to
    // `outEnd`, which joins the history.
    void Consumed(TInflateBuffers& buffers, bool fromHeld, uint32_t left, uint8_t* outEnd) {
        const uint32_t taken = InputCount(buffers, fromHeld) - left;
        KeepBlockInput(InputAt(buffers, fromHeld), taken);
        if (fromHeld) {
            heldAt_ += taken;
            if (heldAt_ == held_.size()) {
                held_.clear();
                heldAt_ = 0;
            }
        } else {
            buffers.nextIn += taken;
            buffers.availIn = left;
        }
        const auto produced = static_cast<uint32_t>(outEnd - buffers.nextOut);
        history_.Append(buffers.nextOut, produced);
        produced_ += produced;
        buffers.nextOut = outEnd;
        buffers.availOut -= produced;
    }

    void RunIsal(TInflateBuffers& buffers, bool fromHeld) {
        inflate_state& s = *state_;
        s.next_in = const_cast<uint8_t*>(InputAt(buffers, fromHeld));
        s.avail_in = InputCount(buffers, fromHeld);
        s.next_out = buffers.nextOut;
        s.avail_out = buffers.availOut;
        const int r = isal_inflate(&s);
        Consumed(buffers, fromHeld, s.avail_in, s.next_out);
        if (r < 0) {
            Refuse(buffers);
        }
    }

    // Where the block ISA-L is about to decode starts: the bits at hand and
    // the output before it.
    void StartBlock(uint64_t bits, int bitCount) {
        block_ = TBlockStart{bits, bitCount, produced_, true};
        blockInput_.clear();
    }

    // Keeps the input ISA-L took for the block, for a replay, while the
    // block is short.
    void KeepBlockInput(const uint8_t* data, size_t count) {
        if (!block_.kept) {
            return;
        }
        if (blockInput_.size() + count > keptBlockInput_) {
            block_.kept = false;
            blockInput_.clear();
            return;
        }
        blockInput_.insert(blockInput_.end(), data, data + count);
    }

    // ISA-L refused the block. zlib reads it again with every byte of input
    // that comes, and its verdict is the engine's: damaged, or, when the
    // input ends first, cut short (the caller reports that).
    void Refuse(TInflateBuffers& buffers) {
        if (!block_.kept) {
            RaiseDamaged();
        }
        refused_ = true;
        if (!replay_) {
            replay_ = std::make_unique<TZLibBlockReplay>();
        }
        Judge(replay_->Start(block_.history, block_.bits, block_.bitCount));
        Judge(replay_->Feed(blockInput_.data(), blockInput_.size()));
        if (heldAt_ < held_.size()) {
            Judge(replay_->Feed(held_.data() + heldAt_, held_.size() - heldAt_));
            held_.clear();
            heldAt_ = 0;
        }
        AwaitReplay(buffers);
    }

    void AwaitReplay(TInflateBuffers& buffers) {
        const uint8_t* data = buffers.nextIn;
        const uint32_t count = buffers.availIn;
        buffers.nextIn += count;
        buffers.availIn = 0;
        Judge(replay_->Feed(data, count));
    }

    // Acts on zlib's reading of a block ISA-L refused. A stream zlib reads
    // to its end cannot be inflated here all the same; it is damaged too.
    static void Judge(TReplayVerdict verdict) {
        switch (verdict) {
            case TReplayVerdict::Damaged:
            case TReplayVerdict::Ended:
                RaiseDamaged();
            case TReplayVerdict::OutOfMemory:
                throw EZCompressionError(InflateFailureText(TInflateFailure::OutOfMemory));
            case TReplayVerdict::Going:
                break;
        }
    }

    // ISA-L finished a block marked last that was not: restart it after the
    // block with the output's history and the bits it read ahead.
    void StartNextBlock() {
        inflate_state& s = *state_;
        const uint64_t bits = s.read_in;
        const int32_t bitCount = s.read_in_length;
        isal_inflate_reset(&s);
        Configure();
        history_.GiveTo(s);
        s.read_in = bits;
        s.read_in_length = bitCount;
        atHeader_ = true;
    }

    // A block's first bits and the output before it, for a replay; `kept`
    // while every byte of the block's input is kept.
    struct TBlockStart {
        uint64_t bits = 0;
        int bitCount = 0;
        uint64_t history = 0;
        bool kept = true;
    };

    std::unique_ptr<inflate_state> state_;
    TOutputHistory history_;
    const size_t keptBlockInput_;               // a block's input kept for a replay
    uint64_t produced_ = 0;                     // the stream's output so far
    TBlockStart block_;                         // where the block being decoded started
    std::vector<uint8_t> blockInput_;           // its input since, while kept
    std::unique_ptr<TZLibBlockReplay> replay_;  // made at the first need
    bool refused_ = false;                      // ISA-L refused; zlib's reading decides
    std::vector<uint8_t> held_;                 // input bytes kept back or put back
    size_t heldAt_ = 0;                         // the first of them not yet taken
    bool atHeader_ = true;                      // the next bits start a block header
    bool lastBlock_ = false;                    // the block ISA-L decodes is the stream's last
};

}  // namespace

std::unique_ptr<IInflateEngine> MakeIsalInflateEngine(size_t keptBlockInput) {
    return std::make_unique<TIsalInflateEngine>(keptBlockInput);
}
