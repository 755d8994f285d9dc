#include "zip/codec/ZLibBlockReplay.h"

#include <algorithm>

namespace {

constexpr size_t kWindow = size_t{1} << 15;  // deflate's history reach

TReplayVerdict VerdictOf(int result) {
    switch (result) {
        case Z_STREAM_END:
            return TReplayVerdict::Ended;
        case Z_MEM_ERROR:
            return TReplayVerdict::OutOfMemory;
        case Z_OK:
        case Z_BUF_ERROR:
            return TReplayVerdict::Going;
        default:
            return TReplayVerdict::Damaged;
    }
}

}  // namespace

TZLibBlockReplay::TZLibBlockReplay() : scratch_(kWindow) {
    // Negative window bits: raw deflate with a 32 KB window, as zip stores it.
    ready_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK;
}

TZLibBlockReplay::~TZLibBlockReplay() {
    if (ready_) {
        inflateEnd(&stream_);
    }
}

TReplayVerdict TZLibBlockReplay::Start(uint64_t history, uint64_t bits, int bitCount) {
    if (!ready_ || inflateReset(&stream_) != Z_OK) {
        return verdict_ = TReplayVerdict::OutOfMemory;
    }
    verdict_ = TReplayVerdict::Going;
    const auto dictionary = static_cast<uInt>(std::min<uint64_t>(history, kWindow));
    if (dictionary > 0) {
        std::fill(scratch_.begin(), scratch_.end(), uint8_t{0});
        if (const int r = inflateSetDictionary(&stream_, scratch_.data(), dictionary); r != Z_OK) {
            return verdict_ = VerdictOf(r);
        }
    }
    // zlib takes at most 16 primed bits: the part byte goes in as bits, the
    // whole bytes above it as input.
    const int partBits = bitCount % 8;
    if (partBits > 0) {
        if (const int r = inflatePrime(&stream_, partBits, static_cast<int>(bits & 0xFFu));
            r != Z_OK) {
            return verdict_ = VerdictOf(r);
        }
    }
    uint8_t whole[8];
    size_t count = 0;
    for (int at = partBits; at < bitCount; at += 8) {
        whole[count++] = static_cast<uint8_t>(bits >> at);
    }
    return Feed(whole, count);
}

TReplayVerdict TZLibBlockReplay::Feed(const uint8_t* data, size_t count) {
    while (count > 0 && verdict_ == TReplayVerdict::Going) {
        const auto chunk = static_cast<uInt>(std::min<size_t>(count, uInt{1} << 30));
        stream_.next_in = const_cast<Bytef*>(data);
        stream_.avail_in = chunk;
        int result = Z_OK;
        while (stream_.avail_in > 0 && result == Z_OK) {
            stream_.next_out = scratch_.data();
            stream_.avail_out = static_cast<uInt>(scratch_.size());
            result = inflate(&stream_, Z_NO_FLUSH);
        }
        verdict_ = VerdictOf(result);
        data += chunk;
        count -= chunk;
    }
    return verdict_;
}
