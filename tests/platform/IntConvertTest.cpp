#include <gtest/gtest.h>

#include "platform/Exception.h"
#include "platform/IntConvert.h"

TEST(IntConvert, AcceptsBlanksSignsAndBothHexPrefixes) {
    EXPECT_EQ(StrToInt("17"), 17);
    EXPECT_EQ(StrToInt("   12"), 12);
    EXPECT_EQ(StrToInt("-4"), -4);
    EXPECT_EQ(StrToInt("+9"), 9);
    EXPECT_EQ(StrToInt("$1E"), 30);
    EXPECT_EQ(StrToInt("$1e"), 30);
    EXPECT_EQ(StrToInt("0x1F"), 31);
    EXPECT_EQ(StrToInt("-$10"), -16);
    EXPECT_EQ(StrToInt("2147483647"), 2147483647);
    EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
    EXPECT_EQ(StrToInt("$FFFFFFFF"), -1);
}

TEST(IntConvert, RejectsEverythingElse) {
    for (const char* bad : {"", " ", "abc", "7.5", "12 ", "1e3", "$", "0x", "-", "+-1", "$G",
                            "2147483648", "-2147483649", "$100000000", "\t5", "5x"}) {
        EXPECT_FALSE(TryStrToInt(bad).has_value()) << '"' << bad << '"';
    }
}

TEST(IntConvert, FailureCarriesTheTextInItsMessage) {
    try {
        StrToInt("abc");
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'abc' is not a valid integer value");
    }
}
