#ifndef _WIN32

#include "WineRegistryFile.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace WineRegistry
{

namespace
{

constexpr char Signature[] = "WINE REGISTRY Version 2";
// 100 ns ticks from 1601-01-01 to 1970-01-01.
constexpr std::uint64_t TicksTo1970 = 116444736000000000ULL;
constexpr std::uint64_t TicksPerSecond = 10000000ULL;

char16_t FoldUnit(char16_t c)
{
    if (c < 0x80)
        return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 0x20) : c;
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7) || (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) ||
        (c >= 0x430 && c <= 0x44F))
        return static_cast<char16_t>(c - 0x20);
    if (c == 0xFF)
        return 0x178;
    if (c == 0x3C2)
        return 0x3A3;
    if (c >= 0x450 && c <= 0x45F)
        return static_cast<char16_t>(c - 0x50);
    // Latin Extended-A and the Cyrillic letters beyond the basic ones come in pairs, the
    // capital first (in two runs of Latin Extended-A the capital is the odd one).
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177) || (c >= 0x460 && c <= 0x481) ||
        (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F))
        return static_cast<char16_t>(c & ~1u);
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E) || (c >= 0x4C1 && c <= 0x4CE))
        return (c & 1u) ? c : static_cast<char16_t>(c - 1);
    return c;
}

std::u16string FoldedUnits(std::u16string_view text)
{
    std::u16string folded(text);
    for (char16_t& c : folded)
        c = FoldUnit(c);
    return folded;
}

bool IsHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return c - 'A' + 10;
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// Decodes one UTF-8 sequence at text[i] (advancing i): the code point, or U+FFFD for a byte
// that starts no valid sequence. Encoded surrogates are accepted, so lone ones survive.
char32_t DecodeUtf8(std::string_view text, std::size_t& i)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char b = byte(i);
    if (b < 0x80) {
        ++i;
        return b;
    }
    std::size_t extra = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if (b >= 0xC2 && b <= 0xDF) {
        extra = 1;
        cp = b & 0x1F;
        minimum = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        extra = 2;
        cp = b & 0x0F;
        minimum = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        extra = 3;
        cp = b & 0x07;
        minimum = 0x10000;
    } else {
        ++i;
        return 0xFFFD;
    }
    for (std::size_t k = 1; k <= extra; ++k) {
        if (i + k >= text.size() || (byte(i + k) & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF) {
        ++i;
        return 0xFFFD;
    }
    i += extra + 1;
    return cp;
}

void AppendUtf16(std::u16string& out, char32_t cp)
{
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(cp));
    }
}

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Reads an escaped string as Wine's server does, up to the unescaped `end` character. Answers
// the position after it, or npos when it is missing. Bytes beyond ASCII (Wine never writes
// them) are read as UTF-8.
std::size_t Unescape(std::string_view text, std::size_t i, char end, std::u16string& out)
{
    out.clear();
    while (i < text.size() && text[i] != end) {
        const char c = text[i];
        if (static_cast<unsigned char>(c) >= 0x80) {
            AppendUtf16(out, DecodeUtf8(text, i));
            continue;
        }
        if (c != '\\') {
            out.push_back(static_cast<char16_t>(c));
            ++i;
            continue;
        }
        ++i;
        if (i >= text.size())
            return std::string_view::npos;
        const char e = text[i];
        switch (e) {
        case 'a':
            out.push_back(u'\a');
            ++i;
            break;
        case 'b':
            out.push_back(u'\b');
            ++i;
            break;
        case 'e':
            out.push_back(0x1B);
            ++i;
            break;
        case 'f':
            out.push_back(u'\f');
            ++i;
            break;
        case 'n':
            out.push_back(u'\n');
            ++i;
            break;
        case 'r':
            out.push_back(u'\r');
            ++i;
            break;
        case 't':
            out.push_back(u'\t');
            ++i;
            break;
        case 'v':
            out.push_back(u'\v');
            ++i;
            break;
        case 'x': {
            ++i;
            if (i >= text.size() || !IsHex(text[i])) {
                out.push_back(u'x');
                break;
            }
            unsigned value = 0;
            for (int n = 0; n < 4 && i < text.size() && IsHex(text[i]); ++n, ++i)
                value = value * 16 + static_cast<unsigned>(HexValue(text[i]));
            out.push_back(static_cast<char16_t>(value));
            break;
        }
        default:
            if (e >= '0' && e <= '7') {
                unsigned value = 0;
                for (int n = 0; n < 3 && i < text.size() && text[i] >= '0' && text[i] <= '7';
                     ++n, ++i)
                    value = value * 8 + static_cast<unsigned>(text[i] - '0');
                out.push_back(static_cast<char16_t>(value));
            } else if (static_cast<unsigned char>(e) >= 0x80) {
                AppendUtf16(out, DecodeUtf8(text, i));
            } else {
                out.push_back(static_cast<char16_t>(e));
                ++i;
            }
            break;
        }
    }
    return i < text.size() ? i + 1 : std::string_view::npos;
}

// Writes UTF-16 text as Wine's server does: characters beyond ASCII as \x escapes, control
// characters as C or octal escapes, the backslash and the two given characters escaped, a NUL
// that ends the text left out. Answers the characters written.
std::size_t Escape(std::string& out, std::u16string_view text, char e1, char e2)
{
    static const char escapes[33] = ".......abtnvfr.............e....";
    const std::size_t start = out.size();
    char buffer[16];
    for (std::size_t k = 0; k < text.size(); ++k) {
        const char16_t c = text[k];
        const bool more = k + 1 < text.size();
        if (c > 127) {
            const char16_t next = more ? text[k + 1] : 0;
            const bool hexFollows = more && next < 128 && IsHex(static_cast<char>(next));
            std::snprintf(buffer, sizeof buffer, hexFollows ? "\\x%04x" : "\\x%x",
                          static_cast<unsigned>(c));
            out += buffer;
            continue;
        }
        if (c < 32) {
            if (c == 0 && !more)
                continue;
            if (escapes[c] != '.') {
                out.push_back('\\');
                out.push_back(escapes[c]);
            } else {
                const bool octalFollows = more && text[k + 1] >= u'0' && text[k + 1] <= u'7';
                std::snprintf(buffer, sizeof buffer, octalFollows ? "\\%03o" : "\\%o",
                              static_cast<unsigned>(c));
                out += buffer;
            }
            continue;
        }
        if (c == u'\\' || c == static_cast<char16_t>(e1) || c == static_cast<char16_t>(e2))
            out.push_back('\\');
        out.push_back(static_cast<char>(c));
    }
    return out.size() - start;
}

std::string_view TrimSpace(std::string_view text)
{
    while (!text.empty() && IsSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

bool IsStringType(std::uint32_t type)
{
    return type == 1 || type == 2 || type == 7;
}

std::vector<std::unique_ptr<Node>>::iterator LowerBound(std::vector<std::unique_ptr<Node>>& list,
                                                        std::u16string_view folded)
{
    return std::lower_bound(list.begin(), list.end(), folded,
                            [](const std::unique_ptr<Node>& node, std::u16string_view key) {
                                return node->folded < key;
                            });
}

// The first block in a subtree, in file order as Wine writes it (a key before its subkeys).
Block* FirstBlockIn(Node& top)
{
    Node* node = &top;
    while (true) {
        if (node->block)
            return node->block;
        if (node->children.empty())
            return nullptr;
        node = node->children.front().get();
    }
}

} // namespace

std::u16string Utf16FromUtf8(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            out.push_back(static_cast<char16_t>(text[i++]));
            continue;
        }
        AppendUtf16(out, DecodeUtf8(text, i));
    }
    return out;
}

std::string Utf8FromUtf16(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t k = 0; k < text.size(); ++k) {
        const char16_t c = text[k];
        if (c >= 0xD800 && c <= 0xDBFF && k + 1 < text.size() && text[k + 1] >= 0xDC00 &&
            text[k + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) +
                                (static_cast<char32_t>(text[k + 1]) - 0xDC00));
            ++k;
            continue;
        }
        AppendUtf8(out, c);
    }
    return out;
}

std::string BytesFromUtf16(std::u16string_view text)
{
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (const char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

std::u16string Utf16FromBytes(std::string_view bytes)
{
    std::u16string text;
    text.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                             (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    return text;
}

std::u16string Folded(std::string_view utf8Name)
{
    return FoldedUnits(Utf16FromUtf8(utf8Name));
}

Value* Block::FindValue(std::u16string_view folded)
{
    for (Value& value : values)
        if (value.folded == folded)
            return &value;
    return nullptr;
}

Node* Node::Child(std::u16string_view foldedName) const
{
    auto& list = const_cast<std::vector<std::unique_ptr<Node>>&>(children);
    const auto at = LowerBound(list, foldedName);
    return (at != list.end() && (*at)->folded == foldedName) ? at->get() : nullptr;
}

std::string EscapedPath(const Node& node)
{
    std::vector<const Node*> chain;
    for (const Node* n = &node; n && n->parent; n = n->parent)
        chain.push_back(n);
    std::string out;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (it != chain.rbegin())
            out += "\\\\";
        Escape(out, Utf16FromUtf8((*it)->name), '[', ']');
    }
    return out;
}

std::string ValueText(const Value& value)
{
    std::string out;
    std::size_t count = 0;
    if (value.name.empty()) {
        out = "@=";
        count = 2;
    } else {
        out.push_back('"');
        count = 1 + Escape(out, Utf16FromUtf8(value.name), '"', '"');
        out += "\"=";
        count += 2;
    }
    const std::string& data = value.data;
    if (IsStringType(value.type) && data.size() >= 2 && data.size() % 2 == 0 &&
        data[data.size() - 1] == 0 && data[data.size() - 2] == 0) {
        if (value.type != 1) {
            char prefix[24];
            std::snprintf(prefix, sizeof prefix, "str(%x):", static_cast<unsigned>(value.type));
            out += prefix;
        }
        out.push_back('"');
        Escape(out, Utf16FromBytes(data), '"', '"');
        out.push_back('"');
        return out;
    }
    if (value.type == 4 && data.size() == 4) {
        const std::uint32_t number =
            static_cast<unsigned char>(data[0]) |
            (static_cast<std::uint32_t>(static_cast<unsigned char>(data[1])) << 8) |
            (static_cast<std::uint32_t>(static_cast<unsigned char>(data[2])) << 16) |
            (static_cast<std::uint32_t>(static_cast<unsigned char>(data[3])) << 24);
        char text[24];
        std::snprintf(text, sizeof text, "dword:%08x", static_cast<unsigned>(number));
        out += text;
        return out;
    }
    char prefix[24];
    if (value.type == 3)
        std::snprintf(prefix, sizeof prefix, "hex:");
    else
        std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(value.type));
    out += prefix;
    count += std::char_traits<char>::length(prefix);
    static const char digits[] = "0123456789abcdef";
    for (std::size_t i = 0; i < data.size(); ++i) {
        const auto byte = static_cast<unsigned char>(data[i]);
        out.push_back(digits[byte >> 4]);
        out.push_back(digits[byte & 15]);
        count += 2;
        if (i + 1 < data.size()) {
            out.push_back(',');
            if (++count > 76) {
                out += "\\\n  ";
                count = 2;
            }
        }
    }
    return out;
}

std::uint64_t File::Now()
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return TicksTo1970 + static_cast<std::uint64_t>(now.tv_sec) * TicksPerSecond +
           static_cast<std::uint64_t>(now.tv_nsec) / 100;
}

bool File::Fail(std::uint64_t line, std::string message)
{
    errorLine_ = line;
    error_ = std::move(message);
    return false;
}

bool File::Parse(std::string text)
{
    source_ = std::move(text);
    const std::string_view src(source_);
    std::size_t pos = 0;
    std::uint64_t line = 0;
    std::size_t contentEnd = 0; // end of the last line that belongs to a key (or the preamble)
    bool inPreamble = true;
    Block* block = nullptr;
    std::u16string scratch;
    std::vector<std::u16string> names;
    std::vector<std::u16string> lastNames; // the path of the header before
    std::vector<Node*> lastNodes;          // and its keys

    while (pos < src.size()) {
        const std::size_t start = pos;
        std::size_t newline = src.find('\n', pos);
        std::size_t next = newline == std::string_view::npos ? src.size() : newline + 1;
        std::string_view content =
            src.substr(start, (newline == std::string_view::npos ? src.size() : newline) - start);
        if (!content.empty() && content.back() == '\r')
            content.remove_suffix(1);
        ++line;
        pos = next;

        if (line == 1) {
            if (content != Signature)
                return Fail(line,
                            "the file does not begin with the line \"WINE REGISTRY Version 2\"");
            contentEnd = next;
            continue;
        }
        const std::string_view trimmed = TrimSpace(content);
        if (trimmed.empty())
            continue;
        const char first = content.front();
        if (first == ';') {
            if (inPreamble)
                contentEnd = next;
            continue;
        }
        if (first == '#') {
            if (!block) {
                if (content.substr(0, 6) == "#arch=")
                    arch_ = std::string(TrimSpace(content.substr(6)));
                else
                    return Fail(line, "unknown option \"" + std::string(content) + "\"");
                contentEnd = next;
                continue;
            }
            if (content.substr(0, 6) == "#time=") {
                std::uint64_t ticks = 0;
                std::string_view digits = TrimSpace(content.substr(6));
                if (digits.empty() || digits.size() > 16)
                    return Fail(line, "a modification time that is not a number");
                for (const char c : digits) {
                    if (!IsHex(c))
                        return Fail(line, "a modification time that is not a number");
                    ticks = ticks * 16 + static_cast<std::uint64_t>(HexValue(c));
                }
                block->modified = ticks;
            } else {
                block->options.emplace_back(content);
            }
            block->body = src.substr(block->body.data() - src.data(),
                                     next - (block->body.data() - src.data()));
            contentEnd = next;
            continue;
        }
        if (first == '[') {
            const std::size_t close = Unescape(content, 1, ']', scratch);
            if (close == std::string_view::npos)
                return Fail(line, "a key header without its closing \"]\"");
            names.clear();
            if (!scratch.empty()) {
                std::size_t from = 0;
                while (true) {
                    const std::size_t slash = scratch.find(u'\\', from);
                    names.emplace_back(scratch.substr(from, slash - from));
                    if (names.back().empty())
                        return Fail(line, "a key path with an empty name in it");
                    if (slash == std::u16string::npos)
                        break;
                    from = slash + 1;
                }
            }
            if (names.size() > MaxKeyDepth)
                return Fail(line,
                            "a key path deeper than " + std::to_string(MaxKeyDepth) + " levels");
            // Headers come in tree order: most share their first keys with the one before.
            std::size_t shared = 0;
            while (shared < names.size() && shared < lastNames.size() &&
                   names[shared] == lastNames[shared])
                ++shared;
            Node* node = shared ? lastNodes[shared - 1] : &root_;
            lastNodes.resize(shared);
            for (std::size_t k = shared; k < names.size(); ++k) {
                const std::u16string& name = names[k];
                std::u16string folded = FoldedUnits(name);
                auto at = LowerBound(node->children, folded);
                if (at == node->children.end() || (*at)->folded != folded) {
                    auto child = std::make_unique<Node>();
                    child->name = Utf8FromUtf16(name);
                    child->folded = std::move(folded);
                    child->parent = node;
                    at = node->children.insert(at, std::move(child));
                }
                node = at->get();
                lastNodes.push_back(node);
            }
            lastNames.swap(names);
            if (node->block)
                return Fail(line, "the key [" + EscapedPath(*node) + "] appears twice");
            if (inPreamble)
                preamble_ = src.substr(0, contentEnd);
            inPreamble = false;
            blocks_.emplace_back();
            block = &blocks_.back();
            block->node = node;
            block->lead = src.substr(contentEnd, start - contentEnd);
            block->body = src.substr(start, next - start);
            // The header's seconds are what Wine reads when a key has no #time line.
            std::uint64_t seconds = 0;
            const std::string_view rest = TrimSpace(content.substr(close));
            for (const char c : rest) {
                if (c < '0' || c > '9')
                    break;
                seconds = seconds * 10 + static_cast<std::uint64_t>(c - '0');
            }
            block->modified = TicksTo1970 + seconds * TicksPerSecond;
            node->block = block;
            contentEnd = next;
            continue;
        }
        if (first == '@' || first == '"') {
            if (!block)
                return Fail(line, "a value before the first key");
            Value value;
            std::size_t at = 1;
            if (first == '"') {
                at = Unescape(content, 1, '"', scratch);
                if (at == std::string_view::npos)
                    return Fail(line, "a value name without its closing quote");
                value.name = Utf8FromUtf16(scratch);
                value.folded = FoldedUnits(scratch);
            }
            if (at >= content.size() || content[at] != '=')
                return Fail(line, "a value without \"=\"");
            ++at;
            std::string_view rest = content.substr(at);
            std::uint32_t type = 0;
            bool quoted = false;
            if (rest.substr(0, 1) == "\"") {
                type = 1;
                quoted = true;
                rest.remove_prefix(1);
            } else if (rest.substr(0, 5) == "str:\"") {
                type = 1;
                quoted = true;
                rest.remove_prefix(5);
            } else if (rest.substr(0, 8) == "str(2):\"" || rest.substr(0, 8) == "str(7):\"") {
                type = static_cast<std::uint32_t>(rest[4] - '0');
                quoted = true;
                rest.remove_prefix(8);
            } else if (rest.substr(0, 6) == "dword:") {
                type = 4;
                rest.remove_prefix(6);
                const std::string_view digits = TrimSpace(rest);
                if (digits.empty() || digits.size() > 8)
                    return Fail(line, "a dword: value that is not a number");
                std::uint32_t number = 0;
                for (const char c : digits) {
                    if (!IsHex(c))
                        return Fail(line, "a dword: value that is not a number");
                    number = number * 16 + static_cast<std::uint32_t>(HexValue(c));
                }
                for (int k = 0; k < 4; ++k)
                    value.data.push_back(static_cast<char>((number >> (8 * k)) & 0xFF));
            } else if (rest.substr(0, 4) == "hex:" || rest.substr(0, 4) == "hex(") {
                type = 3;
                if (rest[3] == '(') {
                    rest.remove_prefix(4);
                    std::uint64_t number = 0;
                    std::size_t k = 0;
                    while (k < rest.size() && IsHex(rest[k]) && k < 8)
                        number = number * 16 + static_cast<std::uint64_t>(HexValue(rest[k++]));
                    if (k == 0 || rest.substr(k, 2) != "):")
                        return Fail(line, "a hex(...) value whose type is not a number");
                    type = static_cast<std::uint32_t>(number);
                    rest.remove_prefix(k + 2);
                } else {
                    rest.remove_prefix(4);
                }
                // Pairs of hex digits separated by commas, continued on the next line after a
                // final backslash.
                while (true) {
                    std::size_t k = 0;
                    while (k < rest.size() && IsSpace(rest[k]))
                        ++k;
                    while (k < rest.size() && IsHex(rest[k])) {
                        unsigned byte = static_cast<unsigned>(HexValue(rest[k++]));
                        if (k < rest.size() && IsHex(rest[k]))
                            byte = byte * 16 + static_cast<unsigned>(HexValue(rest[k++]));
                        if (k < rest.size() && IsHex(rest[k]))
                            return Fail(line, "a hex value with a byte of more than two digits");
                        value.data.push_back(static_cast<char>(byte));
                        while (k < rest.size() && IsSpace(rest[k]))
                            ++k;
                        if (k < rest.size() && rest[k] == ',')
                            ++k;
                        while (k < rest.size() && IsSpace(rest[k]))
                            ++k;
                    }
                    if (k == rest.size())
                        break;
                    if (rest[k] != '\\' || !TrimSpace(rest.substr(k + 1)).empty())
                        return Fail(line, "a hex value with something other than hex digits");
                    if (pos >= src.size())
                        return Fail(line, "a hex value continued past the end of the file");
                    newline = src.find('\n', pos);
                    next = newline == std::string_view::npos ? src.size() : newline + 1;
                    rest = src.substr(
                        pos, (newline == std::string_view::npos ? src.size() : newline) - pos);
                    if (!rest.empty() && rest.back() == '\r')
                        rest.remove_suffix(1);
                    pos = next;
                    ++line;
                }
            } else {
                return Fail(line, "a value of a kind this file format does not have");
            }
            if (quoted) {
                const std::size_t end = Unescape(rest, 0, '"', scratch);
                if (end == std::string_view::npos)
                    return Fail(line, "a text value without its closing quote");
                if (!TrimSpace(rest.substr(end)).empty())
                    return Fail(line, "something after the closing quote of a text value");
                scratch.push_back(0);
                value.data = BytesFromUtf16(scratch);
            }
            value.type = type;

            std::size_t textEnd = newline == std::string_view::npos ? src.size() : newline;
            if (textEnd > start && src[textEnd - 1] == '\r')
                --textEnd;
            value.text = src.substr(start, textEnd - start);
            if (block->FindValue(value.folded))
                return Fail(line, "a value named twice in one key");
            block->values.push_back(std::move(value));
            const std::size_t bodyStart = block->body.data() - src.data();
            block->body = src.substr(bodyStart, next - bodyStart);
            contentEnd = next;
            continue;
        }
        return Fail(line, "a line that is neither a key, a value, an option nor a comment");
    }
    if (line == 0)
        return Fail(1, "the file is empty");
    if (inPreamble)
        preamble_ = src.substr(0, contentEnd);
    trailer_ = src.substr(contentEnd);
    return true;
}

Node* File::Find(const std::vector<std::string>& path)
{
    Node* node = &root_;
    for (const std::string& name : path) {
        node = node->Child(Folded(name));
        if (!node)
            return nullptr;
    }
    return node;
}

Block& File::AddBlock(Node& node)
{
    // In front of the next key in Wine's order that has a block: the first below this key,
    // else the first below a later sibling of this key or of one of its parents.
    Block* before = nullptr;
    for (const auto& child : node.children)
        if ((before = FirstBlockIn(*child)))
            break;
    for (Node* n = &node; !before && n->parent; n = n->parent) {
        auto& siblings = n->parent->children;
        auto at = LowerBound(siblings, n->folded);
        for (++at; at != siblings.end() && !before; ++at)
            before = FirstBlockIn(**at);
    }
    auto where = blocks_.end();
    if (before)
        for (auto it = blocks_.begin(); it != blocks_.end(); ++it)
            if (&*it == before) {
                where = it;
                break;
            }
    Block& block = *blocks_.emplace(where);
    block.node = &node;
    block.lead = "\n";
    block.touched = true;
    node.block = &block;
    return block;
}

void File::Touch(Node& node, std::uint64_t now)
{
    Block& block = node.block ? *node.block : AddBlock(node);
    block.touched = true;
    block.modified = now;
}

Node& File::CreatePath(const std::vector<std::string>& path, std::uint64_t now)
{
    Node* node = &root_;
    Node* created = nullptr;
    for (const std::string& name : path) {
        std::u16string folded = Folded(name);
        auto at = LowerBound(node->children, folded);
        if (at == node->children.end() || (*at)->folded != folded) {
            auto child = std::make_unique<Node>();
            child->name = name;
            child->folded = std::move(folded);
            child->parent = node;
            at = node->children.insert(at, std::move(child));
            created = at->get();
        }
        node = at->get();
    }
    if (created)
        Touch(*node, now);
    return *node;
}

void File::SetValue(Node& key, std::string_view name, std::uint32_t type, std::string data,
                    std::uint64_t now)
{
    Touch(key, now);
    Block& block = *key.block;
    std::u16string folded = Folded(name);
    if (Value* value = block.FindValue(folded)) {
        value->type = type;
        value->data = std::move(data);
        value->text = {};
        return;
    }
    Value value;
    value.name = std::string(name);
    value.folded = std::move(folded);
    value.type = type;
    value.data = std::move(data);
    const auto at = std::find_if(block.values.begin(), block.values.end(),
                                 [&](const Value& v) { return v.folded > value.folded; });
    block.values.insert(at, std::move(value));
}

bool File::DeleteValue(Node& key, std::string_view name, std::uint64_t now)
{
    if (!key.block)
        return false;
    const std::u16string folded = Folded(name);
    auto& values = key.block->values;
    const auto at = std::find_if(values.begin(), values.end(),
                                 [&](const Value& v) { return v.folded == folded; });
    if (at == values.end())
        return false;
    values.erase(at);
    Touch(key, now);
    return true;
}

void File::DeleteKey(Node& key, std::uint64_t now)
{
    Node* parent = key.parent;
    if (!parent || !key.children.empty())
        return;
    if (key.block)
        for (auto it = blocks_.begin(); it != blocks_.end(); ++it)
            if (&*it == key.block) {
                blocks_.erase(it);
                break;
            }
    auto& siblings = parent->children;
    const auto at = LowerBound(siblings, key.folded);
    if (at != siblings.end() && at->get() == &key)
        siblings.erase(at);
    // A key left without subkeys needs a block of its own, or it would vanish from the file.
    if (parent->parent && (parent->block || parent->children.empty()))
        Touch(*parent, now);
}

std::string File::BlockText(const Block& block) const
{
    std::string out = "[";
    out += EscapedPath(*block.node);
    char line[64];
    const std::uint64_t seconds =
        block.modified > TicksTo1970 ? (block.modified - TicksTo1970) / TicksPerSecond : 0;
    std::snprintf(line, sizeof line, "] %u\n#time=%x%08x\n", static_cast<unsigned>(seconds),
                  static_cast<unsigned>(block.modified >> 32),
                  static_cast<unsigned>(block.modified & 0xFFFFFFFFu));
    out += line;
    for (const std::string& option : block.options) {
        out += option;
        out.push_back('\n');
    }
    for (const Value& value : block.values) {
        if (!value.text.empty())
            out += value.text;
        else
            out += ValueText(value);
        out.push_back('\n');
    }
    return out;
}

std::string File::Text() const
{
    std::string out;
    out.reserve(source_.size() + 4096);
    out += preamble_;
    for (const Block& block : blocks_) {
        out += block.lead;
        if (block.touched)
            out += BlockText(block);
        else
            out += block.body;
    }
    out += trailer_;
    return out;
}

} // namespace WineRegistry

#endif
