#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

// Everything the server needs to know before it starts. The defaults are the
// ones the command line starts from.
struct TServerSettings {
    // Loopback unless told otherwise: the server hands its package to anyone
    // who asks, so reaching it from other machines is a deliberate choice.
    std::string bindAddress = "127.0.0.1";
    std::uint16_t port = 10290;  // 0 lets the system choose (tests)
    std::string packagePath;
    bool once = false;  // stop after the first accepted request has ended

    // The whole request line must arrive within this time after the connect.
    std::chrono::milliseconds requestTimeout{10000};
    // A client that takes no package bytes for this long is dropped.
    std::chrono::milliseconds stallTimeout{120000};
    // After the last byte the server waits this long for the client's close
    // before it closes its end itself.
    std::chrono::milliseconds lingerTimeout{10000};
    // Connections held at once; further ones wait in the listen queue.
    std::size_t maxClients = 4096;
};
