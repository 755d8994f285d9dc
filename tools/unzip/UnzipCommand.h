#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "UnzipOptions.h"

class Exception;
class TUnZipper;

// How the command asks its user: one line of text, or a secret typed
// without echo. nullopt when nobody can answer (end of input).
struct TUnzipTerminal {
    std::function<std::optional<std::string>(const std::string& prompt)> askLine;
    std::function<std::optional<std::string>(const std::string& prompt)> askSecret;
};

// Exit statuses of zuvo-unzip.
enum TUnzipStatus : int {
    kUnzipOk = 0,
    kUnzipEntryErrors = 1,
    kUnzipArchiveError = 2,
    kUnzipUsageError = 3,
};

// One run of zuvo-unzip: lists, tests or extracts the archive that the
// options name, reporting progress on `out` and every problem on `err`.
class TUnzipCommand {
  public:
    TUnzipCommand(const TUnzipOptions& options, std::ostream& out, std::ostream& err,
                  TUnzipTerminal terminal);
    ~TUnzipCommand();
    TUnzipCommand(const TUnzipCommand&) = delete;
    TUnzipCommand& operator=(const TUnzipCommand&) = delete;

    // Returns the exit status.
    int Run();

  private:
    bool OpenArchive(TUnZipper& zip);
    int List(TUnZipper& zip);
    int Test(TUnZipper& zip);
    int Extract(TUnZipper& zip);
    void InstallMessageHandler(TUnZipper& zip);
    void InstallReporters(TUnZipper& zip);
    void InstallQuestions(TUnZipper& zip);
    bool Matches(const TUnZipper& zip, int32_t index) const;
    bool ReportUnmatchedPatterns(const TUnZipper& zip);
    void ReportFailure(const std::string& what);
    int ArchiveError(const std::string& message);
    int RunError(const TUnZipper& zip, const Exception& e);
    std::string DisplayName(const TUnZipper& zip, int32_t index) const;
    std::string CreateProblem(const TUnZipper& zip, int32_t index, const std::string& path) const;

    TUnzipOptions options_;
    std::ostream& out_;
    std::ostream& err_;
    TUnzipTerminal terminal_;
    int failures_ = 0;
    std::string currentEntry_;
    std::optional<bool> replaceAll_;
};
