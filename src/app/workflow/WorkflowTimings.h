#pragma once

// Every delay and time limit of the update workflow, in milliseconds. The
// defaults are the program's; tests shorten them so they need not wait.
struct TWorkflowTimings {
    // Between two ticks of the start-up timer; the second tick downloads.
    int TickIntervalMs = 1000;
    // The pause after the transfer's end, before OK is enabled.
    int WorkEndPauseMs = 500;
    // The longest wait for the server's whole reply line, counted from the
    // request: a server trickling its reply cannot stretch it.
    int ReplyWaitMs = 10000;
    // The longest a connect to one host may take; a host that swallows the
    // request would otherwise cost the system's own limit (minutes).
    int ConnectWaitMs = 10000;
    // The package transfer fails when no byte has come for this long.
    int TransferIdleMs = 60000;
    // During the download window messages are processed at most this often
    // (repaints, moves, Cancel), so that a fast transfer is not slowed.
    int PumpIntervalMs = 30;
};
