#include "AliasNameOrder.h"

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

// The next character at or after `at` that takes part in the first two comparisons, or the
// end of the name; `at` moves past it.
bool NextSignificant(std::string_view name, std::size_t& at, unsigned char& c)
{
    while (at < name.size()) {
        c = static_cast<unsigned char>(name[at++]);
        if (!IsIgnored(c))
            return true;
    }
    return false;
}

int Sign(int value)
{
    return (value > 0) - (value < 0);
}

} // namespace

int CompareAliasNames(std::string_view left, std::string_view right)
{
    // Walks both names in place: the list compares names many times while it sorts.
    std::size_t i = 0;
    std::size_t j = 0;
    unsigned char a = 0;
    unsigned char b = 0;
    int capitals = 0; // the first difference in letter case, for the second comparison
    while (true) {
        const bool moreA = NextSignificant(left, i, a);
        const bool moreB = NextSignificant(right, j, b);
        if (!moreA || !moreB) {
            if (moreA != moreB)
                return moreA ? 1 : -1;
            break;
        }
        const int difference = PrimaryWeight(a) - PrimaryWeight(b);
        if (difference != 0)
            return Sign(difference);
        if (capitals == 0 && IsCapital(a) != IsCapital(b))
            capitals = IsCapital(a) ? 1 : -1;
    }
    if (capitals != 0)
        return capitals;
    // Equal but for hyphens and apostrophes: the name with fewer of them first, then plain
    // byte order, so that only identical names compare equal.
    if (left.size() != right.size())
        return left.size() < right.size() ? -1 : 1;
    return Sign(left.compare(right));
}
