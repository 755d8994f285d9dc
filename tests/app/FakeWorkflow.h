#pragma once

#include <functional>

class TfrmUpdateMain;

// Test-only stand-ins for the window's download and installation steps:
// they count their calls and run what a test asks of them.
struct FakeWorkflow {
    static inline int downloads = 0;
    static inline int installs = 0;
    static inline std::function<void(TfrmUpdateMain&)> onDownload;
    static inline std::function<void(TfrmUpdateMain&)> onInstall;

    static void Reset() {
        downloads = 0;
        installs = 0;
        onDownload = nullptr;
        onInstall = nullptr;
    }
};
