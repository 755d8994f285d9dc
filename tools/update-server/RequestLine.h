#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The one request the server answers, and the line it answers with. The
// updater sends the request followed by CR LF and accepts the reply only when
// the text before the first CR LF is exactly the reply text.
inline constexpr std::string_view kRequestText = "down_load_update_browser";
inline constexpr std::string_view kReplyLine = "ok_down_load_update_browser\r\n";

// Longest request line a client may send before the server gives up on it.
inline constexpr std::size_t kMaxRequestLine = 256;

enum class TRequestVerdict {
    NeedMore,  // no line end yet, still within the cap
    Accepted,  // the line is the update request
    Refused,   // a complete line with any other text
    TooLong,   // the cap was reached without a line end
};

// Collects the first line a client sends, a few bytes at a time, in a buffer
// that never grows past kMaxRequestLine. The line ends at LF; one CR before the
// LF is dropped, so a bare LF is taken as well as CR LF. Bytes after the line
// end are not part of the request and are ignored.
class TRequestLineReader {
  public:
    // Feeds the next bytes received. Once a verdict other than NeedMore has
    // been given, further calls repeat it and look at no more bytes.
    TRequestVerdict Feed(std::string_view bytes);

    TRequestVerdict Verdict() const { return verdict_; }
    std::size_t Buffered() const { return line_.size(); }

  private:
    TRequestVerdict Judge() const;

    std::string line_;
    TRequestVerdict verdict_ = TRequestVerdict::NeedMore;
};
