#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

// Peak resident memory (VmHWM) in KiB of the process `pid` ("self" for this
// one), -1 when unknown.
long PeakKiBOf(const std::string& pid);
// CPU time the process `pid` (its main thread) has used so far, from the
// scheduler's own count in nanoseconds: finer than the clock ticks of
// /proc/<pid>/stat.
double CpuSecondsOf(pid_t pid);

// zuvo-update-server started as its own process on a port the system chooses,
// its standard error in a log file; stopped with SIGTERM when this goes away.
class TServerProcess {
  public:
    TServerProcess(const std::string& exe, const std::string& package, const std::string& log);
    ~TServerProcess();
    TServerProcess(const TServerProcess&) = delete;
    TServerProcess& operator=(const TServerProcess&) = delete;

    std::uint16_t Port() const { return port_; }
    // Peak resident memory (VmHWM) in KiB, -1 when unknown.
    long PeakKiB() const;
    double CpuSeconds() const { return CpuSecondsOf(pid_); }

  private:
    std::uint16_t WaitForPort() const;

    std::string log_;
    pid_t pid_ = -1;
    std::uint16_t port_ = 0;
};
