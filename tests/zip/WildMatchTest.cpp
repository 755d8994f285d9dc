#include <gtest/gtest.h>

#include "zip/base/WildMatch.h"

namespace {

TEST(WildMatch, StarMatchesEverythingAlsoEmpty) {
    EXPECT_TRUE(IsMatch("*", ""));
    EXPECT_TRUE(IsMatch("*", "sub\\a.exe"));
}

TEST(WildMatch, QuestionMarkAndCase) {
    EXPECT_TRUE(IsMatch("a?c", "ABC"));
    EXPECT_EQ(matche("a?c", "abcd"), MATCH_END);
    EXPECT_EQ(matche("abc", "abd"), MATCH_LITERAL);
    EXPECT_EQ(matche("abcd", "abc"), MATCH_ABORT);
}

TEST(WildMatch, Sets) {
    EXPECT_TRUE(IsMatch("<a-c>x", "bx"));
    EXPECT_EQ(matche("<!a-c>x", "bx"), MATCH_RANGE);
    EXPECT_EQ(matche("<^a-c>x", "bx"), MATCH_RANGE);
    EXPECT_TRUE(IsMatch("<!a-c>x", "dx"));
    EXPECT_EQ(matche("<c-a>x", "bx"), MATCH_RANGE);
    EXPECT_TRUE(IsMatch("<xyz>", "y"));
}

TEST(WildMatch, MalformedPatterns) {
    EXPECT_EQ(matche("<>", "a"), MATCH_PATTERN);
    EXPECT_EQ(matche("<ab", "a"), MATCH_PATTERN);
    EXPECT_EQ(matche("<a-", "a"), MATCH_PATTERN);
    EXPECT_EQ(matche("<a->", "a"), MATCH_PATTERN);
    EXPECT_EQ(matche("<!", "a"), MATCH_PATTERN);
    EXPECT_FALSE(IsMatch("<ab", "a"));
}

TEST(WildMatch, StarSets) {
    EXPECT_TRUE(IsMatch("a*<bc>", "abcb"));
    EXPECT_EQ(matche("a*<bc>", "abd"), MATCH_ABORT);
    EXPECT_EQ(matche("a*<>", "abc"), MATCH_ABORT);
    EXPECT_TRUE(IsMatch("a*<!x>", "abc"));
}

TEST(WildMatch, BracketsAreOrdinary) {
    EXPECT_TRUE(IsMatch("[a]", "[a]"));
    EXPECT_TRUE(IsMatch("a\\*", "a\\b"));
}

TEST(WildMatch, StarAtTheEnd) {
    EXPECT_TRUE(IsMatch("a*", "a"));
    EXPECT_EQ(matche("a**", "a"), MATCH_ABORT);
}

TEST(WildMatch, WholeStoredPathMustMatch) {
    EXPECT_TRUE(IsMatch("*.exe", "sub\\a.exe"));
    EXPECT_FALSE(IsMatch("a.exe", "sub\\a.exe"));
    EXPECT_TRUE(IsMatch("*a*c", "xxabyc"));
    EXPECT_EQ(match_after_star("*", "abc"), MATCH_VALID);
    EXPECT_EQ(match_after_star("*?", ""), MATCH_ABORT);
}

}  // namespace
