#include <gtest/gtest.h>

#include <string>

#include "RequestLine.h"

namespace {

// Feeds `bytes` in pieces of `piece` bytes and returns the last verdict.
TRequestVerdict FeedInPieces(const std::string& bytes, std::size_t piece) {
    TRequestLineReader reader;
    TRequestVerdict verdict = TRequestVerdict::NeedMore;
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        verdict = reader.Feed(std::string_view(bytes).substr(at, piece));
    }
    return verdict;
}

}  // namespace

// The line may arrive in any split; the verdict must not depend on it.
TEST(RequestLineReader, AcceptsTheRequestInPiecesOfAnySize) {
    for (const std::size_t piece : {1U, 3U, 10U, 100U}) {
        EXPECT_EQ(FeedInPieces("down_load_update_browser\r\n", piece), TRequestVerdict::Accepted)
            << "pieces of " << piece;
        EXPECT_EQ(FeedInPieces("down_load_update_browser\n", piece), TRequestVerdict::Accepted);
    }
}

// Only the exact text is the request: case, blanks and a second CR matter.
TEST(RequestLineReader, RefusesAnyOtherLine) {
    for (const char* line : {"DOWN_LOAD_UPDATE_BROWSER\r\n", "down_load_update_browser \r\n",
                             " down_load_update_browser\r\n", "down_load_update_browser\r\r\n",
                             "down_load_update\r\n", "\r\n", "\n"}) {
        EXPECT_EQ(FeedInPieces(line, 100), TRequestVerdict::Refused) << line;
    }
}

TEST(RequestLineReader, WaitsForTheLineEnd) {
    TRequestLineReader reader;
    EXPECT_EQ(reader.Feed("down_load_update_browser\r"), TRequestVerdict::NeedMore);
    EXPECT_EQ(reader.Feed("\nanything after the line"), TRequestVerdict::Accepted);
    EXPECT_EQ(reader.Feed("more"), TRequestVerdict::Accepted);
}

// The buffer is capped: 256 bytes of line text are still judged, one more
// without a line end ends the request, and nothing past the cap is kept.
TEST(RequestLineReader, CapsTheLineLength) {
    const std::string full(kMaxRequestLine, 'a');
    EXPECT_EQ(FeedInPieces(full + "\n", 7), TRequestVerdict::Refused);
    EXPECT_EQ(FeedInPieces(full + "a", 7), TRequestVerdict::TooLong);

    TRequestLineReader reader;
    EXPECT_EQ(reader.Feed(std::string(10000, 'x')), TRequestVerdict::TooLong);
    EXPECT_LE(reader.Buffered(), kMaxRequestLine);
    EXPECT_EQ(reader.Feed("down_load_update_browser\r\n"), TRequestVerdict::TooLong);
}
