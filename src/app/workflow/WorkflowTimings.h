#pragma once

// Every delay and time limit of the update workflow, in milliseconds. The
// defaults are the program's; tests shorten them so they need not wait.
struct TWorkflowTimings {
    // Between two ticks of the start-up timer; the second tick downloads.
    int TickIntervalMs = 1000;
    // The pause after the transfer's end, before OK is enabled.
    int WorkEndPauseMs = 500;
    // The longest wait for each further piece of the server's reply line.
    int ReplyWaitMs = 10000;
};
