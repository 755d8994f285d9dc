// The run around the entries: selection, events, cancel and pause, and the
// integrity test.
#include <gtest/gtest.h>

#include <filesystem>

#include "ExtractTestSupport.h"
#include "RecordingHooks.h"
#include "platform/MessageHooks.h"
#include "zip/UnZipper.h"

namespace {

using extract::Entry;

class ExtractRun : public ::testing::Test {
  protected:
    void SetUp() override {
        Entry broken{"dir/broken.txt", "broken"};
        broken.crc = 7;
        archive_ = dir_.WriteFile("a.zip", extract::Build({{"dir/", ""},
                                                           {"dir/a.txt", std::string(70000, 'a')},
                                                           {"dir/B.TXT", "bee"},
                                                           {"c.log", "sea"},
                                                           broken}));
        extract::Prepare(zip_, archive_, dest_);
        zip_.OnStartUnZipInfo = [this](TUnZipper&, int files, double bytes, bool& stop) {
            log_.push_back("info " + std::to_string(files) + " " +
                           std::to_string(static_cast<int64_t>(bytes)));
            stop = stopNow_;
        };
        zip_.OnStartUnZip = [this](TUnZipper&, int index, std::string&, bool&) {
            log_.push_back("start " + std::to_string(index));
        };
        zip_.OnEndUnZip = [this](TUnZipper&, int index, const std::string&) {
            log_.push_back("end " + std::to_string(index));
        };
        zip_.OnBadCRC = [this](TUnZipper&, uint32_t, uint32_t, int index) {
            log_.push_back("crc " + std::to_string(index));
        };
        zip_.OnUnZipComplete = [this](TUnZipper&, int count) {
            log_.push_back("complete " + std::to_string(count));
        };
    }

    TempDir dir_;
    std::string dest_ = dir_.Path() + "out";
    std::string archive_;
    TUnZipper zip_;
    std::vector<std::string> log_;
    bool stopNow_ = false;
};

TEST_F(ExtractRun, EventsOfAWholeRun) {
    int lastTotal = -1;
    zip_.OnTotalPercentDone = [&](TUnZipper&, int percent) { lastTotal = percent; };
    EXPECT_EQ(zip_.UnZip(), 4);
    EXPECT_EQ(log_,
              (std::vector<std::string>{"info 5 70012", "start 1", "end 1", "start 2", "end 2",
                                        "start 3", "end 3", "start 4", "crc 4", "complete 4"}));
    EXPECT_EQ(lastTotal, 100);
}

TEST_F(ExtractRun, StopNowExtractsNothing) {
    stopNow_ = true;
    zip_.DoAll = false;
    zip_.SetFilesList({"*"});
    EXPECT_EQ(zip_.UnZip(), 0);
    EXPECT_EQ(log_.back(), "complete 0");
    EXPECT_TRUE(zip_.FilesList().empty());
    EXPECT_FALSE(extract::Exists(dest_ + "/c.log"));
}

// Patterns match the whole stored path, without regard to case; the list
// is empty after the run, and an empty list selects nothing.
TEST_F(ExtractRun, FilesListSelectsByPattern) {
    zip_.DoAll = false;
    zip_.SetFilesList({"DIR\\b.*", "*.log"});
    EXPECT_EQ(zip_.UnZip(), 2);
    EXPECT_EQ(extract::ReadFile(dest_ + "/dir/B.TXT"), "bee");
    EXPECT_EQ(extract::ReadFile(dest_ + "/c.log"), "sea");
    EXPECT_FALSE(extract::Exists(dest_ + "/dir/a.txt"));
    EXPECT_TRUE(zip_.FilesList().empty());
    EXPECT_EQ(zip_.UnZip(), 0);
}

TEST_F(ExtractRun, UnZipSelectedConsumesTheSelection) {
    zip_.DoAll = false;
    zip_.ReadZip();
    zip_.SetSelected(3, true);
    EXPECT_EQ(zip_.UnZipSelected(), 1);
    EXPECT_FALSE(zip_.GetSelected(3));
    EXPECT_EQ(zip_.SelectedCount(), 0);
    EXPECT_EQ(extract::ReadFile(dest_ + "/c.log"), "sea");
}

// A cancel seen at an input block ends the run: the caller gets
// EUserCanceled, the final step has run with the count so far.
TEST_F(ExtractRun, CancelWhileReadingEndsTheRun) {
    zip_.DoProcessMessages = true;
    bool started = false;
    zip_.OnStartUnZip = [&](TUnZipper&, int, std::string&, bool&) { started = true; };
    const auto previous = SetProcessMessagesHook([&] {
        if (started) {
            zip_.CancelTheOperation();
        }
    });
    const std::string message = extract::MessageOf([&] { zip_.UnZip(); });
    SetProcessMessagesHook(previous);
    EXPECT_EQ(message, "User Aborted Operation");
    EXPECT_EQ(log_.back(), "complete 1");  // the directory entry before it
    EXPECT_FALSE(zip_.CancelRequested);
    // Never finished: removed, not left at its preallocated size.
    EXPECT_FALSE(extract::Exists(dest_ + "/dir/a.txt"));
}

// A pause waits (pumping) until it is lifted, then the run goes on.
TEST_F(ExtractRun, PauseWaitsUntilRestarted) {
    zip_.DoProcessMessages = true;
    bool started = false;
    bool paused = false;
    int pausedPumps = 0;
    zip_.OnStartUnZip = [&](TUnZipper&, int, std::string&, bool&) { started = true; };
    const auto previous = SetProcessMessagesHook([&] {
        if (started && !paused) {
            paused = true;
            zip_.PauseTheOperation();
        } else if (zip_.PauseRequested && ++pausedPumps == 2) {
            zip_.RestartTheOperation();
        }
    });
    const int32_t count = zip_.UnZip();
    SetProcessMessagesHook(previous);
    EXPECT_EQ(count, 4);
    EXPECT_EQ(pausedPumps, 2);
}

// The integrity test writes nothing and keeps each entry's verdict.
TEST_F(ExtractRun, IntegrityTestKeepsVerdicts) {
    zip_.ReadZip();
    EXPECT_FALSE(zip_.CheckArchive());
    EXPECT_TRUE(zip_.GetFileIsOK(2));
    EXPECT_EQ(zip_.Entry(2).FileIsOK, FileVerdict::Good);
    EXPECT_FALSE(zip_.GetFileIsOK(4));
    EXPECT_EQ(zip_.Entry(4).FileIsOK, FileVerdict::BadOrUnderTest);
    zip_.ResetFileIsOK(4);
    EXPECT_EQ(zip_.Entry(4).FileIsOK, FileVerdict::Untested);
    EXPECT_EQ(extract::MessageOf([&] { zip_.GetFileIsOK(5); }), "Index 5 is out of range");
    EXPECT_EQ(zip_.DestDir(), dest_);
    EXPECT_FALSE(std::filesystem::exists(dest_));
}

}  // namespace
