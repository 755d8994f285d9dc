// The download's bounds in time and space against fault-injecting loopback
// servers: each ends promptly, deletes the partial package, shows the
// failure box unless the user cancelled, and leaves the browser alone.
#include <sys/mount.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "FaultInjection.h"
#include "LoopbackServer.h"
#include "WorkflowFixture.h"
#include "platform/FileOps.h"
#include "platform/FileSystem.h"
#include "platform/SocketErrorNumbers.h"
#include "workflow/UnattendedRun.h"
#include "workflow/WorkflowTexts.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

const char* const kFailed = "下载更新包失败，网络不正常或服务器忙！";
const std::string kOldBrowser = "the browser that runs today";

// Limits short enough to test, still far above what loopback needs.
TWorkflowTimings ShortLimits() {
    TWorkflowTimings timings = TestTimings();
    timings.ReplyWaitMs = 1000;
    timings.ConnectWaitMs = 200;
    timings.TransferIdleMs = 300;
    timings.PumpIntervalMs = 10;
    return timings;
}

// Answers the probe, then the request with the reply and `first`, and then
// runs `after` (a stall, a trickle, an endless stream).
LoopbackServer::Script ReplyThen(std::string first, std::function<void(ServerSide&)> after) {
    return [first = std::move(first), after = std::move(after)](ServerSide& side) {
        if (side.ReceiveLine().empty()) {
            return;
        }
        side.Send(kReply + first);
        after(side);
    };
}

// Sends 64 KiB pieces until the client goes away (or 64 MiB have gone).
void Endless(ServerSide& side) {
    const std::string piece(64 * 1024, 'e');
    for (int i = 0; i < 1024; ++i) {
        side.Send(piece);
    }
}

class DownloadLimits : public WorkflowFixture {
  protected:
    void SetUp() override {
        WorkflowFixture::SetUp();
        workflow = std::make_unique<TUpdateWorkflow>(view, *steps, ShortLimits());
        dir.WriteFile("Browser.exe", kOldBrowser);
    }

    // Runs the download and returns how long it took.
    milliseconds TimedDownload(bool& result) {
        const auto start = Clock::now();
        result = RunDownload();
        return std::chrono::duration_cast<milliseconds>(Clock::now() - start);
    }

    void ExpectFailedAndCleanedUp(size_t boxes) {
        ASSERT_EQ(hooks.Boxes().size(), boxes);
        if (boxes > 0) {
            EXPECT_EQ(hooks.Boxes().back().text, kFailed);
        }
        EXPECT_FALSE(view.okEnabled);
        EXPECT_FALSE(FileExists(UpdateDir() + "Browser.zip")) << "the partial package is deleted";
        EXPECT_EQ(TempDir::ReadFile(dir.Path() + "Browser.exe"), kOldBrowser);
        EXPECT_FALSE(steps->TcpClient1->IsConnected());
    }
};

}  // namespace

// A server that replies, sends a little and then nothing, without closing.
TEST_F(DownloadLimits, AStalledTransferFailsAfterTheIdleLimit) {
    LoopbackServer server(
        ReplyThen(std::string(5000, 's'), [](ServerSide& side) { side.WaitForClientClose(5000); }),
        2);
    UseLoopbackServer(server.Port());
    bool result = true;
    const milliseconds took = TimedDownload(result);
    EXPECT_FALSE(result);
    EXPECT_GE(took, milliseconds(ShortLimits().TransferIdleMs));
    EXPECT_LT(took, milliseconds(ShortLimits().TransferIdleMs + 1000));
    ExpectFailedAndCleanedUp(1);
}

// A byte well within each wait keeps a transfer going: the idle limit is
// about silence, not speed.
TEST_F(DownloadLimits, ASlowButSteadyTransferIsNotCutOff) {
    LoopbackServer server(ReplyThen("",
                                    [](ServerSide& side) {
                                        for (int i = 0; i < 6; ++i) {
                                            side.Pause(ShortLimits().TransferIdleMs / 2);
                                            side.Send("b");
                                        }
                                        side.Close();
                                    }),
                          2);
    UseLoopbackServer(server.Port());
    EXPECT_TRUE(RunDownload());
    server.Join();
    EXPECT_EQ(PackageBytes(), "bbbbbb");
}

// The reply trickles in a byte at a time, each well within the wait: the
// whole line still has to come within it.
TEST_F(DownloadLimits, ATricklingReplyEndsAtTheReplyWait) {
    LoopbackServer server(
        [](ServerSide& side) {
            if (side.ReceiveLine().empty()) {
                return;
            }
            for (const char c : kReply.substr(0, 12)) {
                side.Send(std::string(1, c));
                side.Pause(ShortLimits().ReplyWaitMs / 8);
            }
        },
        2);
    UseLoopbackServer(server.Port());
    bool result = true;
    const milliseconds took = TimedDownload(result);
    EXPECT_FALSE(result);
    EXPECT_LT(took, milliseconds(ShortLimits().ReplyWaitMs + 700));
    ExpectFailedAndCleanedUp(1);
}

TEST_F(DownloadLimits, AnEndlessStreamStopsAtTheSizeLimit) {
    steps->PackageLimits.MaxBytes = 1024 * 1024;
    LoopbackServer server(ReplyThen("", Endless), 2);
    UseLoopbackServer(server.Port());
    EXPECT_FALSE(RunDownload());
    ExpectFailedAndCleanedUp(1);
}

// A package of exactly the limit is accepted; the limit is on what is kept.
TEST_F(DownloadLimits, APackageOfExactlyTheLimitIsKept) {
    steps->PackageLimits.MaxBytes = 300000;
    LoopbackServer server(
        ReplyThen(std::string(300000, 'x'), [](ServerSide& side) { side.Close(); }), 2);
    UseLoopbackServer(server.Port());
    EXPECT_TRUE(RunDownload());
    server.Join();
    EXPECT_EQ(PackageBytes().size(), 300000u);
}

// The disk fills as the package grows: the free space is asked again while
// the bytes arrive, not only at the start.
TEST_F(DownloadLimits, AnEndlessStreamStopsBeforeTheDiskFills) {
    const std::string package = UpdateDir() + "Browser.zip";
    const int64_t roomAtStart = steps->PackageLimits.MinFreeBytes + 500000;
    int asked = 0;
    steps->FreeSpace = [&](const std::string& where) -> std::optional<int64_t> {
        ++asked;
        EXPECT_EQ(where + "/", UpdateDir());
        return roomAtStart - PathStatus(package, TLinks::Follow).Size;
    };
    LoopbackServer server(ReplyThen("", Endless), 2);
    UseLoopbackServer(server.Port());
    EXPECT_FALSE(RunDownload());
    EXPECT_GT(asked, 1);
    ExpectFailedAndCleanedUp(1);
}

// The same on a real small file system, where root may mount one.
TEST_F(DownloadLimits, AnEndlessStreamOnASmallFileSystemLeavesTheMarginFree) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "mounting a small tmpfs needs root; the injected free-space test covers it";
    }
    const std::string mountPoint = dir.Path() + "small/";
    ASSERT_TRUE(MakeDirectory(mountPoint) == TMakeDirectoryResult::Made);
    if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=72m") != 0) {
        GTEST_SKIP() << "no tmpfs could be mounted here (a container without the right)";
    }
    steps->ProgramDirOverride = mountPoint;
    LoopbackServer server(ReplyThen("", Endless), 2);
    UseLoopbackServer(server.Port());
    EXPECT_FALSE(RunDownload());
    const std::optional<int64_t> free = FreeSpaceAt(mountPoint);
    ::umount(mountPoint.c_str());
    ASSERT_TRUE(free.has_value());
    EXPECT_GE(*free, steps->PackageLimits.MinFreeBytes);
    ASSERT_EQ(hooks.Boxes().size(), 1u);
    EXPECT_EQ(hooks.Boxes()[0].text, kFailed);
}

// Cancel clicked while the server has stopped sending: the transfer ends at
// once, without a box, and the window is closed.
TEST_F(DownloadLimits, CancelDuringAStalledTransferEndsAtOnce) {
    TWorkflowTimings patient = ShortLimits();
    patient.TransferIdleMs = 60000;
    workflow = std::make_unique<TUpdateWorkflow>(view, *steps, patient);
    LoopbackServer server(
        ReplyThen(std::string(5000, 's'), [](ServerSide& side) { side.WaitForClientClose(5000); }),
        2);
    UseLoopbackServer(server.Port());
    const std::string package = UpdateDir() + "Browser.zip";
    Clock::time_point clicked{};
    hooks.OnPump = [&] {
        // Once the first bytes are on disk, and the server has gone quiet.
        const bool started = PathStatus(package, TLinks::Follow).Size > 0;
        if (started && clicked == Clock::time_point{}) {
            std::this_thread::sleep_for(milliseconds(200));
            clicked = Clock::now();
            workflow->btnCancelClick();
        }
    };
    EXPECT_FALSE(RunDownload());
    EXPECT_LT(Clock::now() - clicked, milliseconds(300)) << "the transfer outlived Cancel";
    EXPECT_EQ(view.closes, 1);
    ExpectFailedAndCleanedUp(0);
}

// The window processes messages throughout a long transfer, also after the
// bar has filled, at most once per interval.
TEST_F(DownloadLimits, MessagesArePumpedUntilTheEndOfALongTransfer) {
    LoopbackServer server(ReplyThen("",
                                    [](ServerSide& side) {
                                        for (int i = 0; i < 500; ++i) {
                                            side.Send(std::string(100, 'p'));
                                            side.Pause(1);
                                        }
                                        side.Close();
                                    }),
                          2);
    UseLoopbackServer(server.Port());
    int pumpsAfterFullBar = 0;
    hooks.OnPump = [&] {
        if (workflow->WorkCount > TUpdateWorkflow::kFullBar) {
            ++pumpsAfterFullBar;
        }
    };
    const auto start = Clock::now();
    EXPECT_TRUE(RunDownload());
    const auto took = std::chrono::duration_cast<milliseconds>(Clock::now() - start);
    server.Join();
    ASSERT_GT(workflow->WorkCount, TUpdateWorkflow::kFullBar) << "too few receives to test";
    EXPECT_GT(pumpsAfterFullBar, 0);
    EXPECT_LE(hooks.Pumps(), took.count() / ShortLimits().PumpIntervalMs + 4)
        << "pumped more often than the interval allows";
}

// A host that swallows the connect request: every connect ends at the
// connect limit (simulated in the socket table: the connect never finishes).
TEST_F(DownloadLimits, AHostThatNeverAnswersCostsTheConnectLimitPerTry) {
    EntryPointSwap swap;
    swap.Entries().Connect = [](TSocketId, int, const TIPv4Address&, uint16_t) {
        return static_cast<int>(WSAEINPROGRESS);
    };
    swap.Entries().Wait = [](TSocketWait* sockets, size_t count, int ms, int& ready) {
        for (size_t i = 0; i < count; ++i) {
            if ((sockets[i].Wanted & srWritable) != 0) {
                std::this_thread::sleep_for(milliseconds(ms == SocketWaitForever ? 5000 : ms));
                sockets[i].Ready = 0;
                ready = 0;
                return 0;
            }
        }
        return EntryPointSwap::Real().Wait(sockets, count, ms, ready);
    };
    steps->ServerHosts = {"127.0.0.2", "127.0.0.3"};
    steps->ServerPort = 10290;
    bool result = true;
    const milliseconds took = TimedDownload(result);
    EXPECT_FALSE(result);
    // Two probes and the download's own connect.
    EXPECT_GE(took, milliseconds(3 * ShortLimits().ConnectWaitMs));
    EXPECT_LT(took, milliseconds(3 * ShortLimits().ConnectWaitMs + 1000));
    ASSERT_EQ(hooks.Boxes().size(), 2u);
    EXPECT_EQ(hooks.Boxes()[0].caption, "zuvo");
    ExpectFailedAndCleanedUp(2);
}

// Cancel while a connect hangs: no second host, no box.
TEST_F(DownloadLimits, CancelDuringAConnectEndsAtOnce) {
    EntryPointSwap swap;
    swap.Entries().Connect = [](TSocketId, int, const TIPv4Address&, uint16_t) {
        return static_cast<int>(WSAEINPROGRESS);
    };
    swap.Entries().Wait = [](TSocketWait* sockets, size_t, int ms, int& ready) {
        std::this_thread::sleep_for(milliseconds(ms));
        sockets[0].Ready = 0;
        ready = 0;
        return 0;
    };
    TWorkflowTimings patient = ShortLimits();
    patient.ConnectWaitMs = 10000;
    workflow = std::make_unique<TUpdateWorkflow>(view, *steps, patient);
    steps->ServerHosts = {"127.0.0.2", "127.0.0.3"};
    hooks.OnPump = [&] { workflow->btnCancelClick(); };
    bool result = true;
    const milliseconds took = TimedDownload(result);
    EXPECT_FALSE(result);
    EXPECT_LT(took, milliseconds(500));
    EXPECT_EQ(steps->TcpClient1->Host, "127.0.0.2") << "the second host was tried";
    ExpectFailedAndCleanedUp(0);
}

// Unattended, a package file that cannot be created still ends the run
// with a failure status (here: updateFile is a file).
TEST_F(DownloadLimits, UnattendedFailsWhenThePackageCannotBeCreated) {
    dir.WriteFile("updateFile", "a file where the folder should be");
    TUnattendedRun driver(*workflow, view);
    workflow->Timer1Timer();
    EXPECT_THROW(workflow->Timer1Timer(), EFCreateError);
    view.RunDeferred();
    EXPECT_EQ(view.closes, 1);
    EXPECT_EQ(driver.ExitStatus(), 1);
}

// Unattended, every failure of the road ends with a failure status.
TEST_F(DownloadLimits, UnattendedFailsWhenTheDownloadFails) {
    steps->PackageLimits.MaxBytes = 1000;
    LoopbackServer server(ReplyThen(std::string(5000, 'x'), [](ServerSide& side) { side.Close(); }),
                          2);
    UseLoopbackServer(server.Port());
    TUnattendedRun driver(*workflow, view);
    workflow->Timer1Timer();
    workflow->Timer1Timer();
    view.RunDeferred();
    EXPECT_EQ(view.closes, 1);
    EXPECT_EQ(driver.ExitStatus(), 1);
    ExpectFailedAndCleanedUp(1);
}
