#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "LoopbackClient.h"
#include "TempDir.h"
#include "UpdateServer.h"

using namespace std::chrono_literals;

namespace {

const std::string kRequest = "down_load_update_browser\r\n";
const std::string kReply = "ok_down_load_update_browser\r\n";

// A server on 127.0.0.1, port chosen by the system, running on its own
// thread, with its log lines collected for the checks.
class UpdateServerTest : public ::testing::Test {
  protected:
    void TearDown() override { StopServer(); }

    void StartServer(TServerSettings settings = {}) {
        settings.bindAddress = "127.0.0.1";
        settings.port = 0;
        settings.packagePath = packagePath_;
        server_ = std::make_unique<TUpdateServer>(settings, [this](const std::string& line) {
            const std::lock_guard lock(mutex_);
            log_.push_back(line);
        });
        server_->Listen();
        run_ = std::async(std::launch::async, [this] { return server_->Run(); });
    }

    // True when Run returned within the time limit.
    bool WaitForRun(std::chrono::seconds limit = 10s) {
        return run_.valid() && run_.wait_for(limit) == std::future_status::ready;
    }

    void StopServer() {
        if (server_) {
            server_->Stop();
            ASSERT_TRUE(WaitForRun());
            run_.get();
            server_.reset();
        }
    }

    std::size_t LogCount(const std::string& text) {
        const std::lock_guard lock(mutex_);
        return static_cast<std::size_t>(std::count_if(log_.begin(), log_.end(), [&](auto& line) {
            return line.find(text) != std::string::npos;
        }));
    }

    // Log lines appear when the server has dealt with a connection, which may
    // be a moment after the client saw its end.
    bool WaitForLog(const std::string& text, std::size_t count = 1) {
        const auto limit = std::chrono::steady_clock::now() + 10s;
        while (LogCount(text) < count) {
            if (std::chrono::steady_clock::now() > limit) {
                return false;
            }
            std::this_thread::sleep_for(5ms);
        }
        return true;
    }

    void UseBigPackage() {
        package_ = PatternBytes(16 << 20, 2);
        dir_.WriteFile("Browser.zip", package_);
    }

    TempDir dir_;
    std::string package_ = PatternBytes(1 << 20, 1);
    std::string packagePath_ = dir_.WriteFile("Browser.zip", package_);
    std::unique_ptr<TUpdateServer> server_;
    std::future<bool> run_;
    std::mutex mutex_;
    std::vector<std::string> log_;
};

// Compares without printing megabytes on failure.
void ExpectSameBytes(const std::string& actual, const std::string& expected) {
    EXPECT_EQ(actual.size(), expected.size());
    EXPECT_TRUE(actual == expected) << "the received bytes differ";
}

}  // namespace

TEST_F(UpdateServerTest, ServesReplyLineThenWholePackageAndCloses) {
    StartServer();
    ExpectSameBytes(FetchPackage(server_->Port()), kReply + package_);
    EXPECT_TRUE(WaitForLog("sent 1048576 of 1048576 package bytes: complete"));
    EXPECT_EQ(LogCount("127.0.0.1:"), 1U);  // one line per connection
}

TEST_F(UpdateServerTest, EmptyPackageGivesReplyLineAndClose) {
    package_.clear();
    dir_.WriteFile("Browser.zip", package_);
    StartServer();
    EXPECT_EQ(FetchPackage(server_->Port()), kReply);
}

// Each byte in its own segment: the server must collect the line.
TEST_F(UpdateServerTest, AcceptsRequestSplitAcrossWrites) {
    StartServer();
    TLoopbackClient client(server_->Port());
    for (const char byte : kRequest) {
        client.Send(std::string(1, byte));
        std::this_thread::sleep_for(1ms);
    }
    ExpectSameBytes(client.ReadToClose(), kReply + package_);
}

TEST_F(UpdateServerTest, ClosesWithoutReplyOnWrongRequestLine) {
    StartServer();
    for (const char* line :
         {"DOWN_LOAD_UPDATE_BROWSER\r\n", "down_load_update_browser \r\n", "GET / HTTP/1.0\r\n"}) {
        TLoopbackClient client(server_->Port());
        client.Send(line);
        EXPECT_EQ(client.ReadToClose(), "") << line;
    }
    EXPECT_TRUE(WaitForLog("refused: wrong request line", 3));
}

TEST_F(UpdateServerTest, ClosesWithoutReplyOnOverLongLine) {
    StartServer();
    TLoopbackClient client(server_->Port());
    client.Send(std::string(300, 'd'));
    EXPECT_EQ(client.ReadToClose(), "");
    EXPECT_TRUE(WaitForLog("refused: no line end within 256 bytes"));
}

// The updater's probe connects and closes; the download follows at once.
TEST_F(UpdateServerTest, ToleratesProbeAndServesNextClient) {
    StartServer();
    TLoopbackClient(server_->Port()).Close();
    ExpectSameBytes(FetchPackage(server_->Port()), kReply + package_);
    EXPECT_TRUE(WaitForLog("probe: closed without a request"));
}

TEST_F(UpdateServerTest, ClosesClientThatSendsNoRequestInTime) {
    TServerSettings settings;
    settings.requestTimeout = 200ms;
    StartServer(settings);
    TLoopbackClient client(server_->Port());
    client.Send("down_load");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client.ReadToClose(), "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_TRUE(WaitForLog("timeout: no request line within 200 ms"));
}

TEST_F(UpdateServerTest, ServesFiftyConcurrentClientsByteForByte) {
    StartServer();
    std::vector<std::future<std::string>> fetches;
    for (int i = 0; i < 50; ++i) {
        fetches.push_back(std::async(std::launch::async, FetchPackage, server_->Port()));
    }
    int same = 0;
    for (auto& fetch : fetches) {
        same += fetch.get() == kReply + package_ ? 1 : 0;
    }
    EXPECT_EQ(same, 50);
    EXPECT_TRUE(WaitForLog(": complete", 50));
}

// One client that reads nothing must not hold up the others, and is dropped
// once it has taken nothing for the stall time.
TEST_F(UpdateServerTest, StalledClientNeitherBlocksOthersNorStaysForever) {
    UseBigPackage();
    TServerSettings settings;
    settings.stallTimeout = 1s;
    StartServer(settings);
    TLoopbackClient stalled(server_->Port(), 4096);
    stalled.Send(kRequest);
    ExpectSameBytes(FetchPackage(server_->Port()), kReply + package_);
    EXPECT_TRUE(WaitForLog("stalled: the client took no bytes for 1000 ms"));
    EXPECT_LT(stalled.ReadToClose().size(), kReply.size() + package_.size());
}

// A client that goes away mid-transfer costs only its own connection.
TEST_F(UpdateServerTest, ClientResetMidTransferIsLoggedAndOthersServed) {
    UseBigPackage();
    StartServer();
    TLoopbackClient leaving(server_->Port(), 4096);
    leaving.Send(kRequest);
    ASSERT_EQ(leaving.Receive(kReply.size()), kReply);
    leaving.Abort();
    EXPECT_TRUE(WaitForLog(": aborted: "));
    ExpectSameBytes(FetchPackage(server_->Port()), kReply + package_);
}

// Bytes a client sends during the transfer stay unread in the server's
// socket; closing over them would reset the connection and throw away the
// package's tail still on its way.
TEST_F(UpdateServerTest, BytesAfterRequestDoNotCutThePackage) {
    UseBigPackage();
    StartServer();
    TLoopbackClient client(server_->Port());
    client.Send(kRequest);
    const std::string head = client.Receive(kReply.size());
    ASSERT_EQ(head, kReply);
    client.Send("unexpected trailing bytes");
    ExpectSameBytes(head + client.ReadToClose(), kReply + package_);
    EXPECT_FALSE(client.Reset());
}

TEST_F(UpdateServerTest, ServesReplacedPackageToNextClient) {
    StartServer();
    ExpectSameBytes(FetchPackage(server_->Port()), kReply + package_);
    const std::string newer = PatternBytes(70000, 3);
    const std::string staged = dir_.WriteFile("staged.zip", newer);
    ASSERT_EQ(std::rename(staged.c_str(), packagePath_.c_str()), 0);
    ExpectSameBytes(FetchPackage(server_->Port()), kReply + newer);
}

// Without a package the request cannot be answered: no reply line, so the
// updater reports a failure instead of storing an empty package.
TEST_F(UpdateServerTest, MissingPackageClosesWithoutReply) {
    StartServer();
    ASSERT_EQ(std::remove(packagePath_.c_str()), 0);
    EXPECT_EQ(FetchPackage(server_->Port()), "");
    EXPECT_TRUE(WaitForLog("refused: cannot open the package"));
}

TEST_F(UpdateServerTest, StopEndsRunAndDropsOpenConnections) {
    StartServer();
    TLoopbackClient waiting(server_->Port());
    waiting.Send("down_");
    const auto start = std::chrono::steady_clock::now();
    StopServer();
    EXPECT_EQ(waiting.ReadToClose(), "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

// With `once` a probe does not count; the first transfer ends the run.
TEST_F(UpdateServerTest, OnceModeReturnsAfterFirstTransfer) {
    TServerSettings settings;
    settings.once = true;
    StartServer(settings);
    TLoopbackClient(server_->Port()).Close();
    ASSERT_TRUE(WaitForLog("probe"));
    EXPECT_FALSE(WaitForRun(0s));
    ExpectSameBytes(FetchPackage(server_->Port()), kReply + package_);
    ASSERT_TRUE(WaitForRun());
    EXPECT_TRUE(run_.get());
    server_.reset();
}

// At the client limit further connections wait in the listen queue and are
// taken as soon as a place is free.
TEST_F(UpdateServerTest, ClientsBeyondTheLimitWaitTheirTurn) {
    TServerSettings settings;
    settings.maxClients = 1;
    StartServer(settings);
    TLoopbackClient first(server_->Port());
    first.Send("down_load_update_");
    auto second = std::async(std::launch::async, FetchPackage, server_->Port());
    EXPECT_EQ(second.wait_for(200ms), std::future_status::timeout);
    first.Send("browser\r\n");
    ExpectSameBytes(first.ReadToClose(), kReply + package_);
    first.Close();  // the place is held until the client has closed too
    ExpectSameBytes(second.get(), kReply + package_);
}
