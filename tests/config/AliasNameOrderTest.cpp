// The order in which alias names are listed.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "AliasNameOrder.h"

TEST(AliasNameOrder, LettersIgnoreCaseAndTheSmallLetterWinsATie)
{
    const auto sorted = [](std::vector<std::string> names) {
        std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
            return CompareAliasNames(a, b) < 0;
        });
        return names;
    };
    using Names = std::vector<std::string>;
    EXPECT_EQ(sorted({"b", "A", "a", "B"}), Names({"a", "A", "b", "B"}));
    EXPECT_EQ(sorted({"Sales", "sales2", "SALES", "sales"}),
              Names({"sales", "Sales", "SALES", "sales2"}));
    // Case only decides when the letters are equal throughout.
    EXPECT_LT(CompareAliasNames("Ab", "ac"), 0);
    EXPECT_LT(CompareAliasNames("aB", "Ab"), 0);
    // Hyphens and apostrophes only break ties; punctuation, digits, then letters.
    EXPECT_EQ(sorted({"coop", "co-op", "cook", "Coordinates", "o'neil", "onions"}),
              Names({"cook", "coop", "co-op", "Coordinates", "o'neil", "onions"}));
    EXPECT_EQ(sorted({"zeta", "2nd", "_tmp", "Alpha", "10"}),
              Names({"_tmp", "10", "2nd", "Alpha", "zeta"}));
}
