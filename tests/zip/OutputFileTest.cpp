// Output files and their background writer: which thread writes, whether
// the bytes arrive whole and in order, and whether a write failure on the
// second thread still reaches the caller.
#include <gtest/gtest.h>

#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>

#include "DecoderTestSupport.h"
#include "TempDir.h"
#include "zip/ZipExceptions.h"
#include "zip/extract/BackgroundWriter.h"
#include "zip/extract/OutputFile.h"

namespace {

// Keeps what it is given and the threads that gave it; fails on request
// from the call with the given number on (counted from 1).
class RecordingSink {
  public:
    TWriteSink Sink() {
        return [this](const uint8_t* data, size_t count) {
            std::lock_guard<std::mutex> lock(mutex_);
            threads_.insert(std::this_thread::get_id());
            ++calls_;
            if (failFrom_ != 0 && calls_ >= failFrom_) {
                return false;
            }
            bytes_.append(reinterpret_cast<const char*>(data), count);
            return true;
        };
    }
    void FailFromCall(int call) { failFrom_ = call; }

    std::string Bytes() {
        std::lock_guard<std::mutex> lock(mutex_);
        return bytes_;
    }
    std::set<std::thread::id> Threads() {
        std::lock_guard<std::mutex> lock(mutex_);
        return threads_;
    }

  private:
    std::mutex mutex_;
    std::string bytes_;
    std::set<std::thread::id> threads_;
    int calls_ = 0;
    int failFrom_ = 0;
};

// Writes `data` in the blocks the decompressors hand out, odd sizes
// included so that chunk edges fall inside a block.
void WriteInBlocks(TOutputFile& file, const std::string& data) {
    const auto* p = reinterpret_cast<const uint8_t*>(data.data());
    size_t done = 0;
    for (size_t block = 1; done < data.size(); block = block * 7 % 32768 + 1) {
        const size_t n = std::min(block, data.size() - done);
        file.Write(p + done, n);
        done += n;
    }
}

class OutputFileTest : public ::testing::Test {
  protected:
    std::unique_ptr<TOutputFile> Open(int64_t size) {
        auto file =
            std::make_unique<TOutputFile>(dir_.Path() + "out.bin", 8192, false, sink_.Sink());
        file->SetSize(size);
        return file;
    }

    TempDir dir_;
    RecordingSink sink_;
};

// Without the thread every write happens on the caller's thread.
TEST_F(OutputFileTest, LargeFileIsWrittenOnAnotherThreadWholeAndInOrder) {
    const std::string data = PseudoRandomBytes(TOutputFile::kBackgroundFrom + 12345, 5);
    auto file = Open(static_cast<int64_t>(data.size()));
    WriteInBlocks(*file, data);
    file->Close();
    EXPECT_EQ(sink_.Bytes(), data);
    const std::set<std::thread::id> threads = sink_.Threads();
    ASSERT_EQ(threads.size(), 1u);
    EXPECT_NE(*threads.begin(), std::this_thread::get_id());
}

// Just below the threshold no thread is started.
TEST_F(OutputFileTest, SmallFileIsWrittenOnTheCallersThread) {
    const std::string data = PseudoRandomBytes(TOutputFile::kBackgroundFrom - 1, 6);
    auto file = Open(static_cast<int64_t>(data.size()));
    WriteInBlocks(*file, data);
    file->Close();
    EXPECT_EQ(sink_.Bytes(), data);
    EXPECT_EQ(sink_.Threads(), std::set<std::thread::id>{std::this_thread::get_id()});
}

// Flush waits for the thread: everything written so far has reached the
// sink when it returns (the file's date is set right after a Flush).
TEST_F(OutputFileTest, FlushWaitsForTheBackgroundWrites) {
    const std::string data = PseudoRandomBytes(3 * TBackgroundWriter::kChunkSize + 17, 7);
    auto file = Open(TOutputFile::kBackgroundFrom);
    WriteInBlocks(*file, data);
    file->Flush();
    EXPECT_EQ(sink_.Bytes(), data);
    file->Close();
}

// The last, partial chunk fails: only Close can tell, and it does.
TEST_F(OutputFileTest, FailedBackgroundWriteMakesCloseRaise) {
    sink_.FailFromCall(2);
    auto file = Open(TOutputFile::kBackgroundFrom);
    const std::string data = PseudoRandomBytes(TBackgroundWriter::kChunkSize + 10, 8);
    WriteInBlocks(*file, data);
    EXPECT_THROW(file->Close(), ECantWriteUCF);
}

TEST_F(OutputFileTest, FailedBackgroundWriteMakesFlushRaise) {
    sink_.FailFromCall(1);
    auto file = Open(TOutputFile::kBackgroundFrom);
    const std::string data = PseudoRandomBytes(100, 9);
    WriteInBlocks(*file, data);
    EXPECT_THROW(file->Flush(), ECantWriteUCF);
    EXPECT_THROW(file->Close(), ECantWriteUCF);
}

// A failure found while the decompression still writes stops it there,
// instead of decompressing the rest of a large entry for nothing.
TEST_F(OutputFileTest, FailedBackgroundWriteStopsLaterWrites) {
    sink_.FailFromCall(1);
    auto file = Open(TOutputFile::kBackgroundFrom);
    const std::string chunk(TBackgroundWriter::kChunkSize, 'c');
    const auto* p = reinterpret_cast<const uint8_t*>(chunk.data());
    EXPECT_THROW(
        {
            for (int i = 0; i < 64; ++i) {
                file->Write(p, chunk.size());
            }
        },
        ECantWriteUCF);
}

TEST_F(OutputFileTest, SmallFileWriteFailureRaisesAtFlush) {
    sink_.FailFromCall(1);
    auto file = Open(10);
    const std::string data = "ten bytes!";
    WriteInBlocks(*file, data);
    EXPECT_THROW(file->Flush(), ECantWriteUCF);
}

// The real file, without an injected sink: the background road ends in
// the file with every byte.
TEST(OutputFile, LargeFileReachesTheDisk) {
    TempDir dir;
    const std::string data = PseudoRandomBytes(TOutputFile::kBackgroundFrom + 999, 10);
    TOutputFile file(dir.Path() + "real.bin", 8192, true);
    file.SetSize(static_cast<int64_t>(data.size()));
    WriteInBlocks(file, data);
    file.Close();
    EXPECT_EQ(TempDir::ReadFile(dir.Path() + "real.bin"), data);
}

// A sink that throws fails like one that returns false.
TEST(BackgroundWriter, ThrowingSinkIsAFailedWrite) {
    TBackgroundWriter writer(
        [](const uint8_t*, size_t) -> bool { throw std::runtime_error("disk gone"); });
    const uint8_t byte = 1;
    EXPECT_TRUE(writer.Write(&byte, 1));
    EXPECT_FALSE(writer.Drain());
}

// Memory stays flat: the sink never sees more than one chunk at once.
TEST(BackgroundWriter, HandsOutFixedChunks) {
    size_t largest = 0;
    std::string got;
    {
        TBackgroundWriter writer([&](const uint8_t* data, size_t count) {
            largest = std::max(largest, count);
            got.append(reinterpret_cast<const char*>(data), count);
            return true;
        });
        const std::string data = PseudoRandomBytes(10 * TBackgroundWriter::kChunkSize + 3, 11);
        EXPECT_TRUE(writer.Write(reinterpret_cast<const uint8_t*>(data.data()), data.size()));
        EXPECT_TRUE(writer.Drain());
        EXPECT_EQ(got, data);
    }
    EXPECT_EQ(largest, TBackgroundWriter::kChunkSize);
}

}  // namespace
