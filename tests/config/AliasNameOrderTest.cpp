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

namespace
{

// The order written out step by step: significant characters compared by letter ignoring case,
// then by length, then by the first difference in case, then whole names.
int ReferenceOrder(const std::string& left, const std::string& right)
{
    const auto significant = [](const std::string& name) {
        std::string kept;
        for (const char c : name)
            if (c != '-' && c != '\'')
                kept += c;
        return kept;
    };
    const auto weight = [](unsigned char c) {
        if (c >= 'a' && c <= 'z')
            return 0x300 + (c - 'a');
        if (c >= 'A' && c <= 'Z')
            return 0x300 + (c - 'A');
        if (c >= '0' && c <= '9')
            return 0x200 + (c - '0');
        return c < 0x80 ? 0x100 + c : 0x400 + c;
    };
    const std::string a = significant(left);
    const std::string b = significant(right);
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        if (weight(static_cast<unsigned char>(a[i])) != weight(static_cast<unsigned char>(b[i])))
            return weight(static_cast<unsigned char>(a[i])) <
                           weight(static_cast<unsigned char>(b[i]))
                       ? -1
                       : 1;
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const bool capitalA = a[i] >= 'A' && a[i] <= 'Z';
        const bool capitalB = b[i] >= 'A' && b[i] <= 'Z';
        if (capitalA != capitalB)
            return capitalA ? 1 : -1;
    }
    if (left.size() != right.size())
        return left.size() < right.size() ? -1 : 1;
    return left < right ? -1 : (left == right ? 0 : 1);
}

} // namespace

TEST(AliasNameOrder, ComparingInPlaceOrdersEveryPairAsTheStepwiseRule)
{
    // Short names of few characters meet every tie: same letters in other case, hyphens and
    // apostrophes in other places, one name the start of the other.
    const std::string alphabet = "aAbB-'1_\xC3\xA9";
    unsigned seed = 7;
    const auto next = [&seed] { return seed = seed * 1103515245u + 12345u, seed >> 16; };
    std::vector<std::string> names;
    for (int n = 0; n < 400; ++n) {
        std::string name;
        for (unsigned length = next() % 6; length > 0; --length)
            name += alphabet[next() % alphabet.size()];
        names.push_back(name);
    }
    for (const auto& a : names)
        for (const auto& b : names) {
            const int expected = ReferenceOrder(a, b);
            const int got = CompareAliasNames(a, b);
            ASSERT_EQ((got > 0) - (got < 0), expected) << '"' << a << "\" vs \"" << b << '"';
        }
}
