#include <iconv.h>

#include <cerrno>
#include <vector>

#include "platform/CodePage.h"

namespace {

class Converter {
  public:
    explicit Converter(const std::string& codePage) : cd_(iconv_open("UTF-8", codePage.c_str())) {}
    ~Converter() {
        if (Ok()) {
            iconv_close(cd_);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool Ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t Handle() const { return cd_; }

  private:
    iconv_t cd_;
};

}  // namespace

std::string CodePageToUtf8(const std::string& text, const std::string& codePage) {
    if (text.empty()) {
        return text;
    }
    Converter converter(codePage);
    if (!converter.Ok()) {
        return text;
    }
    std::vector<char> in(text.begin(), text.end());
    // Four output bytes per input byte cover every single-byte code page;
    // multi-byte ones never grow more than that.
    std::vector<char> out(in.size() * 4 + 4);
    char* inPtr = in.data();
    size_t inLeft = in.size();
    char* outPtr = out.data();
    size_t outLeft = out.size();
    std::string result;
    while (inLeft > 0) {
        const size_t rc = iconv(converter.Handle(), &inPtr, &inLeft, &outPtr, &outLeft);
        if (rc != static_cast<size_t>(-1)) {
            break;
        }
        if (errno == E2BIG) {
            result.append(out.data(), static_cast<size_t>(outPtr - out.data()));
            outPtr = out.data();
            outLeft = out.size();
            continue;
        }
        // An undefined or cut-off sequence: one replacement per bad byte.
        result.append(out.data(), static_cast<size_t>(outPtr - out.data()));
        outPtr = out.data();
        outLeft = out.size();
        result += "\xEF\xBF\xBD";
        ++inPtr;
        --inLeft;
        iconv(converter.Handle(), nullptr, nullptr, nullptr, nullptr);
    }
    result.append(out.data(), static_cast<size_t>(outPtr - out.data()));
    return result;
}
