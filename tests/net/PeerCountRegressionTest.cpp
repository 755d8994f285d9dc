// Faults found by fuzzing the connection's readers, kept as unit tests.
#include <gtest/gtest.h>

#include <string>

#include "LoopbackClient.h"
#include "LoopbackServer.h"
#include "SizeRecordingStream.h"
#include "net/NetExceptions.h"
#include "net/TcpClient.h"
#include "platform/MemoryStream.h"

// Four bytes from the peer claiming 2 GB used to size the stream to 2 GB
// before a single data byte had arrived.
TEST(PeerCountRegression, AClaimedCountDoesNotSizeTheStreamBeforeTheBytesArrive) {
    LoopbackServer server(SendThenClose(std::string("\x7f\xff\xff\xff", 4) + "abc"));
    TTcpClient client;
    Connect(client, server);
    SizeRecordingStream stream;
    EXPECT_THROW(client.ReadToStream(stream, -1, false), EConnClosedGracefully);
    EXPECT_LE(stream.largest, 1 << 20);
    EXPECT_EQ(stream.Size(), 3);
}

// A count the peer sends and then honours still arrives whole.
TEST(PeerCountRegression, AnHonouredCountStillEndsTheStreamAtItsBytes) {
    LoopbackServer server(SendThenWait(std::string("\x00\x00\x00\x05", 4) + "hello" + "tail"));
    TTcpClient client;
    Connect(client, server);
    TMemoryStream stream;
    client.ReadToStream(stream, -1, false);
    ASSERT_EQ(stream.Size(), 5);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(stream.Memory()), 5), "hello");
    EXPECT_EQ(client.TakeInputBytes(client.InputBufferSize()), "tail");
}
