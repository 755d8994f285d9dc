#include <gtest/gtest.h>

#include <string>

#include "net/NetBuffer.h"
#include "net/NetExceptions.h"

// The queue discipline the line reader relies on: append at the end, take
// from the front, never more than is there.
TEST(NetBuffer, AppendsAtTheEndAndRemovesFromTheFront) {
    TNetBuffer buffer;
    buffer.Append("abc", 3);
    buffer.Seek(0, TSeekOrigin::soBeginning);  // a reader moved the position
    buffer.Append("def", 3);
    EXPECT_EQ(buffer.Head(6), "abcdef");
    buffer.Remove(2);
    EXPECT_EQ(buffer.Size(), 4);
    EXPECT_EQ(buffer.Head(4), "cdef");
    buffer.Remove(4);
    EXPECT_EQ(buffer.Size(), 0);
}

TEST(NetBuffer, RemovingMoreThanHeldRaisesAndKeepsTheBytes) {
    TNetBuffer buffer;
    buffer.Append("ab", 2);
    try {
        buffer.Remove(3);
        FAIL() << "no exception";
    } catch (const ENotEnoughDataInBuffer& e) {
        EXPECT_EQ(e.Message(), "Not enough data in buffer.");
    }
    EXPECT_EQ(buffer.Head(2), "ab");
}

TEST(NetBuffer, FindStartsAtTheGivenOffset) {
    TNetBuffer buffer;
    buffer.Append("a\r\nb\r\n", 6);
    EXPECT_EQ(buffer.Find("\r\n"), 1);
    EXPECT_EQ(buffer.Find("\r\n", 2), 4);
    EXPECT_EQ(buffer.Find("\r\n", 5), -1);
    EXPECT_EQ(buffer.Find("x"), -1);
    EXPECT_EQ(buffer.Find("\r\n", 7), -1);
}
