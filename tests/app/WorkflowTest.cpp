// The window logic against a recording view and scripted steps: no toolkit,
// no network.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "FakeSteps.h"
#include "RecordingHooks.h"
#include "RecordingView.h"
#include "platform/Exception.h"
#include "workflow/PackageLimits.h"
#include "workflow/PackageSteps.h"
#include "workflow/UnattendedRun.h"
#include "workflow/UpdateWorkflow.h"
#include "workflow/WorkflowTexts.h"

namespace {

// Spelled out here on purpose: a changed text must fail.
const std::string kStart = "正在下载更新，请候！";
const std::string kDone = "下载完成，请点击更新！";
const std::string kFailedLabel = "下载更新包失败！";

TWorkflowTimings QuickTimings() {
    TWorkflowTimings timings;
    timings.WorkEndPauseMs = 60;
    // Every work event may pump, so the counts below do not hang on speed.
    timings.PumpIntervalMs = 0;
    return timings;
}

class Workflow : public ::testing::Test {
  protected:
    void Work(int events) {
        for (int i = 0; i < events; ++i) {
            workflow.TcpClient1Work();
        }
    }

    RecordingHooks hooks;
    RecordingView view;
    FakeSteps steps;
    TUpdateWorkflow workflow{view, steps, QuickTimings()};
};

}  // namespace

TEST(WorkflowTimings, TheProgramsOwnDelays) {
    const TWorkflowTimings timings;
    EXPECT_EQ(timings.TickIntervalMs, 1000);
    EXPECT_EQ(timings.WorkEndPauseMs, 500);
    EXPECT_EQ(timings.ReplyWaitMs, 10000);
    EXPECT_EQ(timings.ConnectWaitMs, 10000);
    EXPECT_EQ(timings.TransferIdleMs, 60000);
    EXPECT_EQ(timings.PumpIntervalMs, 30);
    const TPackageLimits limits;
    EXPECT_EQ(limits.MaxBytes, int64_t{ZUVO_MAX_PACKAGE_MB} * 1024 * 1024);
    EXPECT_EQ(limits.MinFreeBytes, int64_t{64} * 1024 * 1024);
}

TEST(PackageSteps, ComponentsAreSetUpAsTheWindowsResourceSetsThem) {
    TPackageSteps steps;
    EXPECT_TRUE(steps.UnZipper1->RecreateDirs);
    EXPECT_TRUE(steps.UnZipper1->DoAll);
    EXPECT_EQ(steps.TcpClient1->Port, 0);
    EXPECT_EQ(steps.ServerPort, 10290);
    EXPECT_EQ(steps.ServerHosts, (std::vector<std::string>{ZUVO_UPDATE_HOST1, ZUVO_UPDATE_HOST2}));
}

TEST_F(Workflow, CreationRunsFormCreateAndStartsTheTimer) {
    EXPECT_EQ(view.barWidth, 1);
    EXPECT_TRUE(view.timerRunning);
    EXPECT_EQ(view.timerInterval, 1000);
    EXPECT_TRUE(view.captions.empty()) << "the view's resource shows the start text";
    EXPECT_EQ(workflow.LabelCaption(), kStart);
    EXPECT_FALSE(workflow.OkEnabled());
    EXPECT_EQ(workflow.TickCount, 0);
    EXPECT_EQ(workflow.WorkCount, 0);
    EXPECT_EQ(steps.downloads, 0);
}

// Ten receives move the bar to 10; the end of the transfer fills it.
TEST_F(Workflow, ShortTransferEndsWithAFullBar) {
    Work(10);
    EXPECT_EQ(view.barWidth, 10);
    EXPECT_EQ(workflow.WorkCount, 10);
    EXPECT_EQ(hooks.Pumps(), 10);
    const auto start = std::chrono::steady_clock::now();
    workflow.TcpClient1WorkEnd();
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(60));
    EXPECT_EQ(view.barWidth, TUpdateWorkflow::kFullBar);
    EXPECT_EQ(view.caption, kDone);
    EXPECT_TRUE(view.okEnabled);
    EXPECT_TRUE(workflow.OkEnabled());
    EXPECT_EQ(hooks.Pumps(), 10) << "the work end processes nothing";
}

// The bar is full after the 389th receive; later ones do not repaint it but
// still process messages, so the window stays alive for the whole transfer.
TEST_F(Workflow, LongTransferKeepsProcessingOnceTheBarIsFull) {
    Work(1);
    EXPECT_EQ(view.barWidth, 1);
    Work(387);
    EXPECT_EQ(view.barWidth, 388);
    Work(1);
    EXPECT_EQ(view.barWidth, 389);
    EXPECT_EQ(hooks.Pumps(), 389);
    view.barWidth = -1;
    Work(611);
    EXPECT_EQ(view.barWidth, -1) << "a full bar is not touched again";
    EXPECT_EQ(workflow.WorkCount, 1000);
    EXPECT_EQ(hooks.Pumps(), 1000);
}

// Pumping costs time; a fast transfer pumps at most once per interval.
TEST_F(Workflow, PumpingIsThrottledDuringTheTransfer) {
    TWorkflowTimings timings = QuickTimings();
    timings.PumpIntervalMs = 80;
    TUpdateWorkflow throttled(view, steps, timings);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 200; ++i) {
        throttled.TcpClient1Work();
        EXPECT_TRUE(throttled.TransferGoesOn());
    }
    if (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(80)) {
        EXPECT_EQ(hooks.Pumps(), 1) << "the first event pumps, the rest fall in its interval";
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    throttled.TcpClient1Work();
    EXPECT_GE(hooks.Pumps(), 2) << "once the interval has passed the next event pumps";
    EXPECT_EQ(view.barWidth, 201);
}

// Cancel, or any other close, makes the download's waits stop; the close
// comes from a click processed while the download pumps.
TEST_F(Workflow, ClosingTheWindowStopsTheTransfer) {
    EXPECT_TRUE(workflow.TransferGoesOn());
    hooks.OnPump = [this] { workflow.btnCancelClick(); };
    EXPECT_FALSE(workflow.TransferGoesOn());
    EXPECT_EQ(view.closes, 1);
    TUpdateWorkflow other(view, steps, QuickTimings());
    other.FormClose();
    EXPECT_FALSE(other.TransferGoesOn());
    // The abandoned transfer's end neither announces completion nor pauses.
    const auto start = std::chrono::steady_clock::now();
    other.TcpClient1WorkEnd();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
    EXPECT_FALSE(other.OkEnabled());
    EXPECT_EQ(other.LabelCaption(), kStart);
}

// A start-up box shown before the window keeps the timer ticking; the
// download waits for the window to be on screen, and a closed window never
// downloads.
TEST_F(Workflow, TicksCountOnlyWhileTheWindowIsOnScreen) {
    view.shown = false;
    for (int i = 0; i < 5; ++i) {
        workflow.Timer1Timer();
    }
    EXPECT_EQ(workflow.TickCount, 0);
    EXPECT_EQ(steps.downloads, 0);
    view.shown = true;
    workflow.Timer1Timer();
    EXPECT_EQ(steps.downloads, 0);
    workflow.Timer1Timer();
    EXPECT_EQ(steps.downloads, 1);

    TUpdateWorkflow closed(view, steps, QuickTimings());
    closed.FormClose();
    closed.Timer1Timer();
    closed.Timer1Timer();
    EXPECT_EQ(steps.downloads, 1);
}

// A download step that raises (the package file cannot be created) still
// reports its end, so an unattended run closes the window and fails.
TEST_F(Workflow, UnattendedEndsWhenTheDownloadRaises) {
    TUnattendedRun driver(workflow, view);
    steps.onDownload = [](TUpdateWorkflow&) -> bool { throw Exception("Cannot create file x"); };
    workflow.Timer1Timer();
    EXPECT_THROW(workflow.Timer1Timer(), Exception);
    view.RunDeferred();
    EXPECT_EQ(view.closes, 1);
    EXPECT_EQ(driver.ExitStatus(), 1);
}

TEST_F(Workflow, DownloadStartsOnTheSecondTickExactlyOnce) {
    int tickAtStart = -1;
    bool okEnabledAtStart = true;
    bool timerRunningAtStart = true;
    steps.onDownload = [&](TUpdateWorkflow& w) {
        tickAtStart = w.TickCount;
        okEnabledAtStart = view.okEnabled || w.OkEnabled();
        timerRunningAtStart = view.timerRunning;
        return false;
    };
    std::vector<bool> results;
    workflow.OnDownloadDone = [&](bool downloaded) { results.push_back(downloaded); };
    view.okEnabled = true;
    workflow.Timer1Timer();
    EXPECT_EQ(steps.downloads, 0);
    EXPECT_TRUE(view.timerRunning);
    workflow.Timer1Timer();
    EXPECT_EQ(steps.downloads, 1);
    EXPECT_EQ(tickAtStart, 2);
    EXPECT_FALSE(okEnabledAtStart);
    EXPECT_FALSE(timerRunningAtStart);
    EXPECT_EQ(results, std::vector<bool>{false});
}

// A failure screen never contradicts itself: whether the start text or the
// completion was showing, OK goes off, the label says the download failed
// and the bar is emptied, and the window is repainted at once.
TEST_F(Workflow, AFailureSaysSoWhateverTheWindowShowedBefore) {
    RecordingHooks pumps;
    Work(30);
    const int pumpsBefore = pumps.Pumps();
    workflow.DownloadFailed();
    EXPECT_FALSE(view.okEnabled);
    EXPECT_EQ(view.caption, kFailedLabel);
    EXPECT_EQ(view.barWidth, 1);
    EXPECT_EQ(pumps.Pumps(), pumpsBefore + 1) << "shown before any box opens";
    workflow.TcpClient1WorkEnd();
    ASSERT_TRUE(view.okEnabled);
    ASSERT_EQ(view.barWidth, TUpdateWorkflow::kFullBar);
    workflow.DownloadFailed();
    EXPECT_FALSE(view.okEnabled);
    EXPECT_FALSE(workflow.OkEnabled());
    EXPECT_EQ(view.caption, kFailedLabel);
    EXPECT_EQ(view.barWidth, 1);
}

TEST_F(Workflow, OkInstallsOnlyWhenEnabledNeverTwiceAtOnceAndEndsTheProgram) {
    workflow.btnOkClick();
    EXPECT_EQ(steps.installs, 0) << "a disabled OK does nothing";
    workflow.TcpClient1WorkEnd();
    // The installation pumps messages; a second click arriving there is
    // swallowed.
    steps.onInstall = [](TUpdateWorkflow& w) {
        w.btnOkClick();
        return true;
    };
    workflow.btnOkClick();
    EXPECT_EQ(steps.installs, 1);
    EXPECT_TRUE(workflow.InstallSucceeded);
    EXPECT_EQ(view.programEnds, 1);
}

TEST_F(Workflow, AFailedInstallationEndsTheProgramToo) {
    workflow.TcpClient1WorkEnd();
    workflow.btnOkClick();
    EXPECT_EQ(steps.installs, 1);
    EXPECT_FALSE(workflow.InstallSucceeded);
    EXPECT_EQ(view.programEnds, 1);
    EXPECT_EQ(view.closes, 0);
}

TEST_F(Workflow, CancelClosesTheWindow) {
    workflow.btnCancelClick();
    EXPECT_EQ(view.closes, 1);
    EXPECT_EQ(steps.downloads, 0);
}

// Unattended: OK is pressed from the message loop once the download left
// the window Ready; every other outcome closes the window.
TEST_F(Workflow, UnattendedPressesOkOnlyWhenReady) {
    struct Case {
        bool downloaded;
        bool workEnded;
        bool installs;
        int exitStatus;
    };
    for (const Case c : {Case{true, true, true, 0}, Case{true, true, false, 1},
                         Case{false, true, true, 1}, Case{true, false, true, 1}}) {
        RecordingView v;
        FakeSteps s;
        TUpdateWorkflow w(v, s, QuickTimings());
        TUnattendedRun driver(w, v);
        s.onDownload = [&c](TUpdateWorkflow& running) {
            if (c.workEnded) {
                running.TcpClient1WorkEnd();
            }
            if (!c.downloaded) {
                running.DownloadFailed();
            }
            return c.downloaded;
        };
        s.onInstall = [&c](TUpdateWorkflow&) { return c.installs; };
        w.Timer1Timer();
        w.Timer1Timer();
        EXPECT_EQ(s.installs + v.closes, 0) << "nothing happens inside the timer handler";
        v.RunDeferred();
        const bool pressOk = c.downloaded && c.workEnded;
        EXPECT_EQ(s.installs, pressOk ? 1 : 0);
        EXPECT_EQ(v.closes, pressOk ? 0 : 1);
        EXPECT_EQ(driver.ExitStatus(), c.exitStatus);
    }
}
