#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>

#include "LoopbackServer.h"
#include "ServingThread.h"
#include "WorkflowFixture.h"
#include "platform/Exception.h"
#include "platform/FileOps.h"
#include "platform/ScopeExit.h"
#include "workflow/WorkflowTexts.h"

namespace {

// The texts are spelled out here on purpose: a changed text must fail.
const char* const kNoServer = "没有可用的服务器地址，请登录网站查看有效的地址！";
const char* const kFailed = "下载更新包失败，网络不正常或服务器忙！";

// A server that answers the probe and then one request with `reply`
// followed by `package`, in one segment, and closes.
LoopbackServer::Script Answer(std::string reply, std::string package) {
    return [reply = std::move(reply), package = std::move(package)](ServerSide& side) {
        const std::string request = side.ReceiveLine();
        if (request.empty()) {
            return;  // the probe: connect and close
        }
        EXPECT_EQ(request, "down_load_update_browser\r\n");
        side.Send(reply + package);
        side.Close();
    };
}

// A listener on another loopback address that only counts who knocks.
class CountingListener {
  public:
    CountingListener(const char* address, int port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_in where{};
        where.sin_family = AF_INET;
        where.sin_port = htons(static_cast<uint16_t>(port));
        ::inet_pton(AF_INET, address, &where.sin_addr);
        const int one = 1;
        ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        bound_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&where), sizeof where) == 0 &&
                 ::listen(fd_, 4) == 0;
    }
    CountingListener(const CountingListener&) = delete;
    CountingListener& operator=(const CountingListener&) = delete;
    ~CountingListener() { ::close(fd_); }

    bool Bound() const { return bound_; }
    bool Knocked() const {
        const int client = ::accept(fd_, nullptr, nullptr);
        if (client >= 0) {
            ::close(client);
            return true;
        }
        return false;
    }

  private:
    int fd_ = -1;
    bool bound_ = false;
};

class Download : public WorkflowFixture {};

}  // namespace

TEST_F(Download, ReplyAndFirstPackageBytesInOneSegmentStartTheFile) {
    const std::string package = std::string("PK\x03\x04", 4) + std::string(100000, 'z');
    LoopbackServer server(Answer(kReply, package), 2);
    UseLoopbackServer(server.Port());
    EXPECT_TRUE(RunDownload());
    server.Join();
    EXPECT_EQ(PackageBytes(), package);
    EXPECT_TRUE(view.okEnabled);
    EXPECT_EQ(view.caption, kDoneText);
    EXPECT_EQ(view.barWidth, TUpdateWorkflow::kFullBar);
    EXPECT_TRUE(hooks.Boxes().empty());
    EXPECT_FALSE(steps->TcpClient1->IsConnected());
}

TEST_F(Download, FirstHostDownSecondUp) {
    LoopbackServer server(Answer(kReply, "package"), 2);
    steps->ServerHosts = {"127.0.0.2", "127.0.0.1"};
    steps->ServerPort = server.Port();
    EXPECT_TRUE(RunDownload());
    server.Join();
    EXPECT_EQ(PackageBytes(), "package");
    EXPECT_EQ(steps->TcpClient1->Host, "127.0.0.1");
}

TEST_F(Download, FirstHostUpSecondNeverContacted) {
    LoopbackServer server(Answer(kReply, "package"), 2);
    CountingListener second("127.0.0.3", server.Port());
    ASSERT_TRUE(second.Bound());
    steps->ServerHosts = {"127.0.0.1", "127.0.0.3"};
    steps->ServerPort = server.Port();
    EXPECT_TRUE(RunDownload());
    server.Join();
    EXPECT_FALSE(second.Knocked());
}

TEST_F(Download, BothHostsDownShowTwoBoxesInOrder) {
    RefusingPort refusing;
    steps->ServerHosts = {"127.0.0.2", "127.0.0.3"};
    steps->ServerPort = refusing.Port();
    EXPECT_FALSE(RunDownload());
    ASSERT_EQ(hooks.Boxes().size(), 2u);
    EXPECT_EQ(hooks.Boxes()[0].text, kNoServer);
    EXPECT_EQ(hooks.Boxes()[0].caption, "zuvo");
    EXPECT_EQ(hooks.Boxes()[0].flags, 0x30u);
    EXPECT_EQ(hooks.Boxes()[1].text, kFailed);
    EXPECT_EQ(hooks.Boxes()[1].caption, "Vesk");
    EXPECT_EQ(hooks.Boxes()[1].flags, 0x30u);
    EXPECT_FALSE(view.okEnabled);
    EXPECT_EQ(steps->TcpClient1->Host, "127.0.0.3");
    EXPECT_FALSE(FileExists(UpdateDir() + "Browser.zip")) << "a failed download leaves no package";
}

TEST_F(Download, WrongOrMissingRepliesAreRefused) {
    for (const std::string reply :
         {"OK_DOWN_LOAD_UPDATE_BROWSER\r\n", "ok_down_load_update_browser \r\n", ""}) {
        RecordingHooks boxes;
        LoopbackServer server(Answer(reply, "data"), 2);
        UseLoopbackServer(server.Port());
        EXPECT_FALSE(RunDownload()) << reply;
        server.Join();
        ASSERT_EQ(boxes.Boxes().size(), 1u) << reply;
        EXPECT_EQ(boxes.Boxes()[0].text, kFailed);
        EXPECT_FALSE(view.okEnabled);
        EXPECT_EQ(workflow->LabelCaption(), kDownloadFailedLabel);
    }
}

// The reply wait bounds the whole line, not each wait: two pieces, each
// within the wait but together later than it, are no reply.
TEST_F(Download, AReplyTrickledPastTheWaitIsRefused) {
    const int piecePause = TestTimings().ReplyWaitMs * 3 / 5;
    LoopbackServer server(
        [piecePause](ServerSide& side) {
            if (side.ReceiveLine().empty()) {
                return;
            }
            side.Pause(piecePause);
            side.Send("ok_down_load_");
            side.Pause(piecePause);
            side.Send("update_browser\r\npkg");
            side.Close();
        },
        2);
    UseLoopbackServer(server.Port());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(RunDownload());
    EXPECT_LT(std::chrono::steady_clock::now() - start,
              std::chrono::milliseconds(TestTimings().ReplyWaitMs + 500));
    server.Join();
    ASSERT_EQ(hooks.Boxes().size(), 1u);
    EXPECT_EQ(hooks.Boxes()[0].text, kFailed);
    EXPECT_FALSE(FileExists(UpdateDir() + "Browser.zip"));
}

TEST_F(Download, AReplyLaterThanTheWaitIsRefused) {
    TWorkflowTimings impatient = TestTimings();
    impatient.ReplyWaitMs = 150;
    TUpdateWorkflow hurried(view, *steps, impatient);
    LoopbackServer server(
        [](ServerSide& side) {
            if (side.ReceiveLine().empty()) {
                return;
            }
            side.Pause(700);
            side.Send(kReply + "pkg");
            side.Close();
        },
        2);
    UseLoopbackServer(server.Port());
    EXPECT_FALSE(steps->DownloadPackage(hurried));
    server.Join();
    ASSERT_EQ(hooks.Boxes().size(), 1u);
    EXPECT_EQ(hooks.Boxes()[0].text, kFailed);
    EXPECT_EQ(PackageBytes(), "");
}

TEST_F(Download, ServerThatClosesAtOnceGivesAnEmptyPackageAndReady) {
    LoopbackServer server(Answer(kReply, ""), 2);
    UseLoopbackServer(server.Port());
    EXPECT_TRUE(RunDownload());
    server.Join();
    EXPECT_EQ(PackageBytes(), "");
    EXPECT_TRUE(view.okEnabled);
}

TEST_F(Download, ResetMidTransferSaysTheDownloadFailed) {
    LoopbackServer server(
        [](ServerSide& side) {
            if (side.ReceiveLine().empty()) {
                return;
            }
            side.Send(kReply + std::string(200000, 'x'));
            side.Pause(200);
            side.Reset();
        },
        2);
    UseLoopbackServer(server.Port());
    // What the window behind the box shows while the box is open.
    RecordingView atBox;
    const MessageBoxHook recording =
        SetMessageBoxHook([&](const std::string& text, const std::string&, unsigned) {
            EXPECT_EQ(text, kFailed);
            atBox = view;
            return IDOK;
        });
    ScopeExit restore([&recording] { SetMessageBoxHook(recording); });
    EXPECT_FALSE(RunDownload());
    server.Join();
    // The end handler had announced completion; the failure takes it back
    // before the box opens.
    EXPECT_FALSE(atBox.okEnabled);
    EXPECT_EQ(atBox.caption, kDownloadFailedLabel);
    EXPECT_EQ(atBox.barWidth, 1);
    EXPECT_FALSE(view.okEnabled);
    EXPECT_EQ(view.caption, kDownloadFailedLabel);
    EXPECT_FALSE(FileExists(UpdateDir() + "Browser.zip")) << "the partial package is deleted";
}

TEST_F(Download, AnOldPackageIsReplaced) {
    dir.WriteFile("updateFile/Browser.zip", std::string(5000, 'o'));
    LoopbackServer server(Answer(kReply, "new"), 2);
    UseLoopbackServer(server.Port());
    EXPECT_TRUE(RunDownload());
    server.Join();
    EXPECT_EQ(PackageBytes(), "new");
}

TEST_F(Download, PackageThatCannotBeCreatedRaisesBeforeAnyConnection) {
    dir.WriteFile("updateFile", "a file where the folder should be");
    steps->ServerHosts = {"127.0.0.1"};
    steps->ServerPort = 1;
    try {
        RunDownload();
        FAIL() << "no exception";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message(), "Cannot create file " + UpdateDir() + "Browser.zip");
    }
    EXPECT_TRUE(hooks.Boxes().empty());
    EXPECT_TRUE(steps->TcpClient1->Host.empty());
}

TEST_F(Download, FromTheProjectsServerByteForByte) {
    std::string package;
    for (int i = 0; i < 300000; ++i) {
        package.push_back(static_cast<char>(i * 7 + i / 256));
    }
    ServingThread server(dir.WriteFile("served.zip", package));
    UseLoopbackServer(server.Port());
    EXPECT_TRUE(RunDownload());
    EXPECT_EQ(PackageBytes(), package);
    EXPECT_GT(workflow->WorkCount, 0);
}
