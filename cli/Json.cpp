#include "Json.h"

std::string JsonString(const std::string& text)
{
    static const char digits[] = "0123456789abcdef";
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (byte < 0x20) {
                out += "\\u00";
                out.push_back(digits[byte >> 4]);
                out.push_back(digits[byte & 0xF]);
            } else {
                out.push_back(c);
            }
        }
    }
    return out + "\"";
}
