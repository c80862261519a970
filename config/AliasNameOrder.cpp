#include "AliasNameOrder.h"

#include <algorithm>

namespace
{

bool IsIgnored(unsigned char c)
{
    return c == '-' || c == '\'';
}

// Letter weight ignoring case; other characters keep their code order within their group.
int PrimaryWeight(unsigned char c)
{
    if (c >= 'a' && c <= 'z')
        return 0x300 + (c - 'a');
    if (c >= 'A' && c <= 'Z')
        return 0x300 + (c - 'A');
    if (c >= '0' && c <= '9')
        return 0x200 + (c - '0');
    if (c < 0x80)
        return 0x100 + c;
    return 0x400 + c;
}

bool IsCapital(unsigned char c)
{
    return c >= 'A' && c <= 'Z';
}

// The characters of a name that take part in the first two comparisons.
std::string Significant(const std::string& name)
{
    std::string result;
    for (const char c : name)
        if (!IsIgnored(static_cast<unsigned char>(c)))
            result += c;
    return result;
}

int Sign(int value)
{
    return (value > 0) - (value < 0);
}

} // namespace

int CompareAliasNames(const std::string& left, const std::string& right)
{
    const std::string a = Significant(left);
    const std::string b = Significant(right);
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const int difference = PrimaryWeight(static_cast<unsigned char>(a[i])) -
                               PrimaryWeight(static_cast<unsigned char>(b[i]));
        if (difference != 0)
            return Sign(difference);
    }
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    for (size_t i = 0; i < common; ++i) {
        const bool capitalA = IsCapital(static_cast<unsigned char>(a[i]));
        const bool capitalB = IsCapital(static_cast<unsigned char>(b[i]));
        if (capitalA != capitalB)
            return capitalA ? 1 : -1;
    }
    // Equal but for hyphens and apostrophes: the name with fewer of them first, then plain
    // byte order, so that only identical names compare equal.
    if (left.size() != right.size())
        return left.size() < right.size() ? -1 : 1;
    return Sign(left.compare(right));
}
