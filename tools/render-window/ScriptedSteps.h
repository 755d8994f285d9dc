#pragma once

#include <functional>

#include "workflow/UpdateSteps.h"

// What the scripted download does when the window's timer starts it.
enum class TScript { Ready, Failed };

// The renderer's download and installation: a transfer played through the
// window logic's own work events, so the window moves through its states
// exactly as it does with a server, without one. The state pictures are
// taken from inside the scripted download.
class TScriptedSteps : public IUpdateSteps {
  public:
    // `snapshot` is called with a picture's name at the moment the window
    // shows that state.
    TScriptedSteps(TScript script, std::function<void(const char* name)> snapshot);

    bool DownloadPackage(TUpdateWorkflow& workflow) override;
    // The renderer never presses OK.
    bool InstallPackage(TUpdateWorkflow& workflow) override;

  private:
    TScript script_;
    std::function<void(const char* name)> snapshot_;
};
