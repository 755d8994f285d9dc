#include "RequestLine.h"

TRequestVerdict TRequestLineReader::Feed(std::string_view bytes) {
    if (verdict_ != TRequestVerdict::NeedMore) {
        return verdict_;
    }
    const std::size_t end = bytes.find('\n');
    const std::string_view piece = bytes.substr(0, end);
    // The buffer holds at most kMaxRequestLine bytes of line text; one more
    // byte without a line end means the cap is broken.
    if (line_.size() + piece.size() > kMaxRequestLine) {
        verdict_ = TRequestVerdict::TooLong;
        return verdict_;
    }
    line_.append(piece);
    if (end != std::string_view::npos) {
        verdict_ = Judge();
    }
    return verdict_;
}

TRequestVerdict TRequestLineReader::Judge() const {
    std::string_view text = line_;
    if (!text.empty() && text.back() == '\r') {
        text.remove_suffix(1);
    }
    return text == kRequestText ? TRequestVerdict::Accepted : TRequestVerdict::Refused;
}
