#pragma once

#include <time.h>

#include <optional>

// The limit ppoll gets for a wait of `timeoutMs`: none for
// SocketWaitForever, otherwise the milliseconds split into seconds and the
// rest (a negative count gives a limit ppoll rejects as invalid).
std::optional<timespec> PollLimit(int timeoutMs);
