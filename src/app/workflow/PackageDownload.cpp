// The download step: find a server, ask for the package, and copy it into
// the update directory while the work events move the bar.
#include <memory>

#include "PackageSteps.h"
#include "UpdateWorkflow.h"
#include "WorkflowTexts.h"
#include "net/NetExceptions.h"
#include "platform/Exception.h"
#include "platform/FileOps.h"
#include "platform/FileStream.h"
#include "platform/MessageHooks.h"
#include "platform/ScopeExit.h"

namespace {

const char* const kRequestLine = "down_load_update_browser";
const char* const kReplyLine = "ok_down_load_update_browser";
const char* const kLineEnd = "\r\n";

}  // namespace

bool TPackageSteps::FindServer() {
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
        } catch (const EOperationAborted&) {
            // Cancel while probing: no next host, no box.
            throw;
        } catch (...) {
            // A host that cannot be reached is simply not the one: try the next.
            TcpClient1->CloseConnection();
            TcpClient1->CloseSocketHandle();
        }
    }
    AppMessageBox(kNoServerText, kNoServerCaption, MB_OK | MB_ICONEXCLAMATION);
    return false;
}

bool TPackageSteps::DownloadPackage(TUpdateWorkflow& workflow) {
    const std::string packagePath = PreparePackagePath();
    // Before the guards below: a package that cannot be created is shown by
    // the exception display, not as a network failure.
    auto package = std::make_unique<TFileStream>(packagePath, TFileMode::fmCreate);
    try {
        Fetch(std::move(package), workflow);
        return true;
    } catch (const EOperationAborted&) {
        // The window is closing and the program ends: nobody to tell.
    } catch (const Exception&) {
        // The window shows the failure before the box opens over it.
        workflow.DownloadFailed();
        AppMessageBox(kDownloadFailedText, kFailureCaption, MB_OK | MB_ICONEXCLAMATION);
    }
    return false;
}

std::string TPackageSteps::PreparePackagePath() {
    const std::string updateDir = UpdateDir();
    if (!DirectoryExists(updateDir)) {
        CreateDir(updateDir);
    }
    const std::string packagePath = updateDir + "/Browser.zip";
    if (FileExists(packagePath)) {
        DeleteFile(packagePath);
    }
    return packagePath;
}

void TPackageSteps::BindClient(TUpdateWorkflow& workflow) {
    const TWorkflowTimings& timings = workflow.Timings();
    TcpClient1->ConnectTimeoutMs = timings.ConnectWaitMs;
    TcpClient1->IdleLimitMs = timings.TransferIdleMs;
    TcpClient1->PollIntervalMs = timings.PumpIntervalMs;
    TcpClient1->OnPoll = [&workflow] { return workflow.TransferGoesOn(); };
    TcpClient1->OnWork = [&workflow](TNetComponent*, TWorkMode, int64_t) {
        workflow.TcpClient1Work();
    };
    TcpClient1->OnWorkEnd = [&workflow](TNetComponent*, TWorkMode) {
        workflow.TcpClient1WorkEnd();
    };
}

void TPackageSteps::UnbindClient() {
    TcpClient1->OnPoll = nullptr;
    TcpClient1->OnWork = nullptr;
    TcpClient1->OnWorkEnd = nullptr;
}

void TPackageSteps::Fetch(std::unique_ptr<TFileStream> package, TUpdateWorkflow& workflow) {
    const std::string packagePath = package->FileName();
    // Guards run in reverse order: the connection and the file are closed
    // first, then a package that did not arrive whole is deleted, so that
    // nothing half-written is ever unpacked or left filling the disk.
    ScopeExit dropPartial([&packagePath] { DeleteFile(packagePath); });
    ScopeExit closeAll([&] {
        try {
            TcpClient1->CloseConnection();
        } catch (...) {
            // Closing is best effort: the file must still be closed below.
        }
        package.reset();
        UnbindClient();
    });
    BindClient(workflow);
    TBoundedPackageStream bounded(*package, UpdateDir(), PackageLimits, FreeSpace);
    Transfer(bounded, workflow.Timings().ReplyWaitMs);
    dropPartial.Release();
}

void TPackageSteps::Transfer(TStream& package, int replyWaitMs) {
    // The probe's result is not looked at on purpose: the download goes on
    // with the host it tried last, and a dead one fails the connect below.
    FindServer();
    TcpClient1->ConnectToHost();
    TcpClient1->WriteLine(kRequestLine);
    const std::string reply = TcpClient1->ReadLineWithin(kLineEnd, replyWaitMs);
    if (reply != kReplyLine) {
        // Never shown: the download's guard turns any refusal into its own
        // box. The odd text is the released program's and is kept.
        throw Exception("zuvo");
    }
    ProcessMessages();
    TcpClient1->ReadToStream(package, -1, true);
    ProcessMessages();
}
