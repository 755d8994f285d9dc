#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

// Directions of a transfer ("work").
enum TWorkMode { wkRead = 0, wkWrite = 1 };

// What a client reports through OnStatus.
enum TNetStatus {
    stResolving = 0,
    stConnecting = 1,
    stConnected = 2,
    stDisconnecting = 3,
    stDisconnected = 4,
    stText = 5,
};

class TNetComponent;

// Events of the TCP components. The sender is always the component that
// raises them. An empty slot is simply not called.
using TWorkBeginEvent =
    std::function<void(TNetComponent* Sender, TWorkMode AWorkMode, int64_t AWorkCountMax)>;
using TWorkEvent =
    std::function<void(TNetComponent* Sender, TWorkMode AWorkMode, int64_t AWorkCount)>;
using TWorkEndEvent = std::function<void(TNetComponent* Sender, TWorkMode AWorkMode)>;
using TNetStatusEvent = std::function<void(TNetComponent* axSender, TNetStatus axStatus,
                                           const std::string& asStatusText)>;
using TNetNotifyEvent = std::function<void(TNetComponent* Sender)>;

// The counters of one work direction: bytes counted since the outermost
// open, the size announced then, and how many opens are not yet finished.
struct TWorkInfo {
    int64_t Total = 0;
    int64_t Expected = 0;
    int Depth = 0;
};

// Base of every TCP component. Keeps the process-wide socket stack alive
// (the first component creates GlobalStack, the last one destroys it) and
// reports transfers: works nest, only the outermost open raises
// OnWorkBegin and only its finish raises OnWorkEnd; each count inside an
// open work raises OnWork with the running total.
class TNetComponent {
  public:
    TNetComponent();
    TNetComponent(const TNetComponent&) = delete;
    TNetComponent& operator=(const TNetComponent&) = delete;
    virtual ~TNetComponent();

    TNetStatusEvent OnStatus;
    TWorkBeginEvent OnWorkBegin;
    TWorkEvent OnWork;
    TWorkEndEvent OnWorkEnd;

    virtual void StartWork(TWorkMode mode, int64_t expected);
    virtual void AddWork(TWorkMode mode, int64_t count);
    virtual void FinishWork(TWorkMode mode);

    const TWorkInfo& WorkInfo(TWorkMode mode) const { return work_[mode]; }

    // Formats the status text and raises OnStatus, only when it is assigned.
    void ReportStatus(TNetStatus status, const std::string& argument);

  protected:
    // The status's template with `argument` in place of its "%s".
    virtual std::string FormatStatusText(TNetStatus status, const std::string& argument);

  private:
    std::array<TWorkInfo, 2> work_;
};
