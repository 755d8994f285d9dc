#include <gtest/gtest.h>

#include "net/SocketErrors.h"

TEST(SocketErrors, MessagesCarryNumberCrLfAndTheTableText) {
    EXPECT_EQ(FormatSocketError(10054), "Socket Error # 10054\r\nConnection reset by peer.");
    EXPECT_EQ(FormatSocketError(10061), "Socket Error # 10061\r\nConnection refused.");
    EXPECT_EQ(FormatSocketError(10058),
              "Socket Error # 10058\r\nCannot send or receive after socket is closed.");
    // The two texts that break the pattern keep their quirks.
    EXPECT_EQ(SocketErrorText(10035), "Operation would block. ");
    EXPECT_EQ(SocketErrorText(10066), "Directory not empty");
    EXPECT_EQ(SocketErrorText(10047), "Address family not supported by protocol family.");
    // Numbers outside the table, the resolver's among them, have no text.
    EXPECT_EQ(FormatSocketError(11001), "Socket Error # 11001\r\n");
    EXPECT_EQ(FormatSocketError(0), "Socket Error # 0\r\n");
}

TEST(SocketErrors, EveryNumberOfTheTableHasText) {
    const int numbers[] = {10004, 10009, 10013, 10014, 10022, 10024, 10035, 10036, 10037, 10038,
                           10039, 10040, 10041, 10042, 10043, 10044, 10045, 10046, 10047, 10048,
                           10049, 10050, 10051, 10052, 10053, 10054, 10055, 10056, 10057, 10058,
                           10059, 10060, 10061, 10062, 10063, 10064, 10065, 10066};
    for (int number : numbers) {
        EXPECT_FALSE(SocketErrorText(number).empty()) << number;
    }
    EXPECT_TRUE(SocketErrorText(10067).empty());
    EXPECT_TRUE(SocketErrorText(10003).empty());
}
