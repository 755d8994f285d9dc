#pragma once

#include "LoopbackServer.h"
#include "net/TcpClient.h"

// Points `client` at the loopback server and connects it.
inline void Connect(TTcpClient& client, const LoopbackServer& server) {
    client.Host = "127.0.0.1";
    client.Port = server.Port();
    client.ConnectToHost();
}
