// Letter case of names: only A-Z and a-z fold; every other byte stays, UTF-8 included.
#include <gtest/gtest.h>

#include "AsciiCase.h"

TEST(AsciiCase, OnlyTheLettersAToZFold)
{
    EXPECT_EQ(LowerAscii('A'), 'a');
    EXPECT_EQ(LowerAscii('Z'), 'z');
    EXPECT_EQ(LowerAscii('a'), 'a');
    EXPECT_EQ(LowerAscii('@'), '@');
    EXPECT_EQ(LowerAscii('['), '[');
    EXPECT_EQ(LowerAscii('\xC4'), '\xC4');
    EXPECT_EQ(LowerAscii(std::string("Software\\Quillon \xC3\x84Z")),
              "software\\quillon \xC3\x84z");
}

TEST(AsciiCase, EqualityIgnoresTheCaseOfAToZAlone)
{
    EXPECT_TRUE(EqualIgnoringAsciiCase("/SETUP", "/setup"));
    EXPECT_TRUE(EqualIgnoringAsciiCase("TrUe", "TRUE"));
    EXPECT_TRUE(EqualIgnoringAsciiCase("", ""));
    EXPECT_FALSE(EqualIgnoringAsciiCase("TRUE ", "TRUE"));
    EXPECT_FALSE(EqualIgnoringAsciiCase("@", "`"));
    EXPECT_FALSE(EqualIgnoringAsciiCase("\xC3\xA4", "\xC3\x84")); // "ä" and "Ä"
}
