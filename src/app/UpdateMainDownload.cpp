// The window's download step: find a server, ask for the package, and copy
// it into the update directory while the work events move the bar.
#include <memory>

#include "UpdateMain.h"
#include "WindowTexts.h"
#include "platform/Exception.h"
#include "platform/FileOps.h"
#include "platform/FileStream.h"
#include "platform/MessageHooks.h"

namespace {

const char* const kRequestLine = "down_load_update_browser";
const char* const kReplyLine = "ok_down_load_update_browser";
constexpr int kReplyWaitMs = 10000;

const char* const kNoServerText = "没有可用的服务器地址，请登录网站查看有效的地址！";
const char* const kDownloadFailedText = "下载更新包失败，网络不正常或服务器忙！";

// Closes the connection and the package file however the download ends.
class TransferGuard {
public:
    TransferGuard(TTcpClient& client, std::unique_ptr<TFileStream>& package)
        : client_(client), package_(package) {}
    TransferGuard(const TransferGuard&) = delete;
    TransferGuard& operator=(const TransferGuard&) = delete;
    ~TransferGuard() {
        try {
            client_.CloseConnection();
        } catch (...) {
            // Closing is best effort: the file must still be closed below.
        }
        package_.reset();
    }

private:
    TTcpClient& client_;
    std::unique_ptr<TFileStream>& package_;
};

}  // namespace

bool TfrmUpdateMain::FindServer() {
    const std::vector<std::string> hosts = ServerHosts;
    for (const std::string& host : hosts) {
        TcpClient1->Host = host;
        TcpClient1->Port = ServerPort;
        try {
            TcpClient1->ConnectToHost();
            if (TcpClient1->IsConnected()) {
                TcpClient1->CloseConnection();
                return true;
            }
        } catch (...) {
            // A host that cannot be reached is simply not the one: try the next.
            TcpClient1->CloseConnection();
            TcpClient1->CloseSocketHandle();
        }
    }
    AppMessageBox(kNoServerText, "zuvo", MB_OK | MB_ICONEXCLAMATION);
    return false;
}

bool TfrmUpdateMain::DownloadPackage() {
    const std::string updateDir = ProgramDir() + "updateFile";
    if (!DirectoryExists(updateDir)) {
        CreateDir(updateDir);
    }
    const std::string packagePath = updateDir + "/Browser.zip";
    if (FileExists(packagePath)) {
        DeleteFile(packagePath);
    }
    // Outside the guard below: a package that cannot be created is shown by
    // the exception display, not as a network failure.
    auto package = std::make_unique<TFileStream>(packagePath, TFileMode::fmCreate);
    TransferGuard closeAll(*TcpClient1, package);
    bool result = false;
    try {
        FindServer();
        TcpClient1->ConnectToHost();
        TcpClient1->WriteLine(kRequestLine);
        const std::string reply = TcpClient1->ReadLine("\r\n", kReplyWaitMs);
        if (reply != kReplyLine) {
            throw Exception("zuvo");
        }
        ProcessMessages();
        TcpClient1->ReadToStream(*package, -1, true);
        ProcessMessages();
        result = true;
    } catch (const Exception&) {
        AppMessageBox(kDownloadFailedText, "Vesk", MB_OK | MB_ICONEXCLAMATION);
        btnOk->setEnabled(false);
        // The end handler may already have said the download is complete.
        if (Label1->text() == QString::fromUtf8(kDoneText)) {
            SetLabelCaption(kDownloadFailedLabel);
        }
    }
    return result;
}
