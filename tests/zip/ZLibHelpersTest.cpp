#include <gtest/gtest.h>

#include <cstdlib>

#include "DecoderTestSupport.h"
#include "platform/MemoryStream.h"
#include "zip/ZipExceptions.h"
#include "zip/codec/ZLibHelpers.h"

namespace {

std::string Decompress(const std::string& compressed, bool raw, TZLibStreamHooks hooks = {}) {
    TMemoryStream in;
    in.WriteBuffer(compressed.data(), static_cast<int64_t>(compressed.size()));
    in.SetPosition(0);
    TMemoryStream out;
    const int64_t written = ZLibDecompressStream(in, out, raw, hooks);
    EXPECT_EQ(written, out.Size());
    return std::string(reinterpret_cast<const char*>(out.Memory()),
                       static_cast<size_t>(out.Size()));
}

}  // namespace

TEST(ZLibDecompressStream, RawAndZlibFormatsAcrossBlocks) {
    const std::string data = PseudoRandomBytes(100000, 8) + std::string(300000, 'q');
    EXPECT_EQ(Decompress(Deflate(data, true), true), data);
    EXPECT_EQ(Decompress(Deflate(data, false), false), data);
}

// A cut stream must not pass as a shorter success; trailing bytes after a
// complete stream must not make it spin.
TEST(ZLibDecompressStream, CutStreamFailsTrailingBytesAreIgnored) {
    const std::string data = PseudoRandomBytes(70000, 2);
    const std::string compressed = Deflate(data, false);
    EXPECT_THROW(Decompress(compressed.substr(0, compressed.size() - 5), false),
                 EZDecompressionError);
    EXPECT_THROW(Decompress("", false), EZDecompressionError);
    EXPECT_EQ(Decompress(compressed + "trailing bytes", false), data);
}

TEST(ZLibDecompressStream, ProgressAndCancelBetweenBlocks) {
    const std::string compressed = Deflate(PseudoRandomBytes(100000, 6), true, 0);
    std::vector<int> percents;
    TZLibStreamHooks hooks;
    hooks.percentDone = [&percents](int percent) { percents.push_back(percent); };
    Decompress(compressed, true, hooks);
    ASSERT_EQ(percents.size(), 4u);
    EXPECT_EQ(percents.back(), 100);

    int pumps = 0;
    hooks.honourMessages = [&pumps] {
        if (++pumps == 2) {
            throw EUserCanceled("User Aborted Operation");
        }
    };
    EXPECT_THROW(Decompress(compressed, true, hooks), EUserCanceled);
}

// With no estimate the buffer starts at the input size rounded up to 256
// and grows by that step.
TEST(ZLibDecompressBuffer, GrowsBy256From10InputBytes) {
    const std::string data(1000, 'a');
    const std::string compressed = Deflate(data, true, 9);
    ASSERT_LE(compressed.size(), 256u);
    std::vector<int64_t> capacities;
    void* out = nullptr;
    int64_t outBytes = 0;
    ZLibDecompressBuffer(compressed.data(), static_cast<int64_t>(compressed.size()), out, outBytes,
                         0, true, [&capacities](int64_t c) { capacities.push_back(c); });
    EXPECT_EQ(capacities, (std::vector<int64_t>{512, 768, 1024}));
    ASSERT_EQ(outBytes, 1000);
    EXPECT_EQ(std::string(static_cast<char*>(out), 1000), data);
    std::free(out);
}

TEST(ZLibDecompressBuffer, EstimateLargeEnoughNeedsNoGrowth) {
    const std::string data = PseudoRandomBytes(5000, 12);
    const std::string compressed = Deflate(data, false);
    int grown = 0;
    void* out = nullptr;
    int64_t outBytes = 0;
    ZLibDecompressBuffer(compressed.data(), static_cast<int64_t>(compressed.size()), out, outBytes,
                         8000, false, [&grown](int64_t) { ++grown; });
    EXPECT_EQ(grown, 0);
    EXPECT_EQ(std::string(static_cast<char*>(out), static_cast<size_t>(outBytes)), data);
    std::free(out);
}

TEST(ZLibDecompressBuffer, FailureReturnsNoBuffer) {
    const std::string compressed = Deflate(std::string(3000, 'b'), false);
    void* out = reinterpret_cast<void*>(1);
    int64_t outBytes = 7;
    EXPECT_THROW(ZLibDecompressBuffer(compressed.data(), 5, out, outBytes, 0, false),
                 EZDecompressionError);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(outBytes, 0);
}

TEST(ZLibDecompressString, EmptyTextInZlibFormatIsAnError) {
    try {
        ZLibDecompressString("", false);
        FAIL() << "no error";
    } catch (const EZDecompressionError& e) {
        EXPECT_EQ(e.Message(), "compressed data ends early (truncated)");
    }
    EXPECT_EQ(ZLibDecompressString(Deflate("hello"), true), "hello");
}
