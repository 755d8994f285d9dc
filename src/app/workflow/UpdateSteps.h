#pragma once

class TUpdateWorkflow;

// The two long steps of an update, apart from the window logic that starts
// them, so that tests, the picture renderer and the benchmark can put their
// own in place of the real network and installation road (TPackageSteps).
class IUpdateSteps {
  public:
    virtual ~IUpdateSteps() = default;

    // Fetches the package; blocks until the transfer has ended or failed.
    // Its progress reaches `workflow` through TcpClient1Work and
    // TcpClient1WorkEnd; a failure calls DownloadFailed. True on success.
    virtual bool DownloadPackage(TUpdateWorkflow& workflow) = 0;
    // Unpacks the package and puts the new browser in place and starts it;
    // true only when that all happened. Failures are shown here.
    virtual bool InstallPackage(TUpdateWorkflow& workflow) = 0;
};
