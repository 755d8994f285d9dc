// Names in an OEM code page: the exact replacement for bytes the code page
// leaves undefined.
#include <gtest/gtest.h>

#include "platform/CodePage.h"

namespace {

// Catches: a changed replacement for undefined bytes. CP857 leaves 0xD5,
// 0xE7 and 0xF2 undefined; each becomes U+FFFD on its own, and the bytes
// around them convert as usual (0x80 is C-cedilla).
TEST(CodePageTest, UndefinedBytesBecomeOneReplacementCharacterEach) {
    EXPECT_EQ(CodePageToUtf8("A\xD5"
                             "B",
                             "CP857"),
              "A\xEF\xBF\xBD"
              "B");
    EXPECT_EQ(CodePageToUtf8("\xE7\xF2\x80", "CP857"), "\xEF\xBF\xBD\xEF\xBF\xBD\xC3\x87");
}

TEST(CodePageTest, UnknownCodePageLeavesTheTextAlone) {
    EXPECT_EQ(CodePageToUtf8("a\xD5", "NO-SUCH-PAGE"), "a\xD5");
}

}  // namespace
