// How key and value names compare; the file store keeps its keys in this order, and key
// moves use it to tell a target inside its own source.
#include "RegistryNames.h"

#ifndef _WIN32
#include <locale.h>
#include <wctype.h>
#endif

namespace
{

// Bytes that are not part of well-formed UTF-8 stand for themselves above the range of Unicode.
constexpr char32_t StrayByte = 0x110000;

#ifndef _WIN32
// The locale whose case mapping names use, whatever locale the process has set.
locale_t CaseLocale()
{
    static const locale_t locale = [] {
        for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"})
            if (const locale_t found = ::newlocale(LC_CTYPE_MASK, name, locale_t(0)))
                return found;
        return locale_t(0);
    }();
    return locale;
}
#endif

// The character at text[at] (a code point of well-formed UTF-8, else one stray byte); moves
// `at` past it.
char32_t NextCharacter(std::string_view text, std::size_t& at)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;
    char32_t code = 0;
    char32_t least = 0;
    if (lead < 0x80) {
        ++at;
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, code = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, code = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, code = lead & 0x07, least = 0x10000;
    }
    bool wellFormed = length != 0 && at + length <= text.size();
    for (std::size_t k = 1; wellFormed && k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[at + k]);
        wellFormed = (next & 0xC0) == 0x80;
        code = (code << 6) | (next & 0x3F);
    }
    if (!wellFormed || code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        ++at;
        return StrayByte + lead;
    }
    at += length;
    return code;
}

char32_t FoldedAscii(char32_t c)
{
    return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c;
}

// What a character compares as: upper-cased, except that A-Z (whatever they come from, such as
// a dotless i) take the places of a-z, which keeps the order of ASCII names.
char32_t Folded(char32_t c)
{
    if (c < 0x80)
        return FoldedAscii(c);
#ifdef _WIN32
    // Windows names are bytes of the system's code page, which the registry folds itself.
    return c;
#else
    // The Windows registry upper-cases UTF-16 units: characters beyond the BMP keep their case.
    const locale_t locale = CaseLocale();
    if (c > 0xFFFF || !locale)
        return c;
    return FoldedAscii(static_cast<char32_t>(::towupper_l(static_cast<wint_t>(c), locale)));
#endif
}

} // namespace

int CompareRegistryNames(std::string_view a, std::string_view b)
{
    // Equal bytes are equal characters: start at the character where the bytes first differ.
    // Every byte that does not continue a UTF-8 sequence begins a character of its own, so
    // going back over continuation bytes finds where that character begins in both names.
    std::size_t same = 0;
    const std::size_t common = a.size() < b.size() ? a.size() : b.size();
    while (same < common && a[same] == b[same])
        ++same;
    const auto continues = [](std::string_view text, std::size_t at) {
        return at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80;
    };
    while (same > 0 && (continues(a, same) || continues(b, same)))
        --same;
    std::size_t i = same;
    std::size_t j = same;
    while (i < a.size() && j < b.size()) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[j]);
        char32_t foldedX;
        char32_t foldedY;
        if (x < 0x80 && y < 0x80) {
            foldedX = FoldedAscii(x), foldedY = FoldedAscii(y);
            ++i, ++j;
        } else {
            foldedX = Folded(NextCharacter(a, i));
            foldedY = Folded(NextCharacter(b, j));
        }
        if (foldedX != foldedY)
            return foldedX < foldedY ? -1 : 1;
    }
    if (i < a.size())
        return 1;
    return j < b.size() ? -1 : 0;
}

bool IsSameOrBelowRegistryPath(std::string_view path, std::string_view ancestor)
{
    while (!ancestor.empty()) {
        const std::size_t a = ancestor.find('\\');
        const std::size_t p = path.find('\\');
        if (CompareRegistryNames(ancestor.substr(0, a), path.substr(0, p)) != 0)
            return false;
        if (a == std::string_view::npos)
            return true;
        if (p == std::string_view::npos)
            return false;
        ancestor.remove_prefix(a + 1);
        path.remove_prefix(p + 1);
    }
    return true;
}
