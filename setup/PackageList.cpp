// Reading the package mapping list: which engine file goes where in the environment, and which
// of the environment's own files must be kept aside while the engine's file is in place.
#include "PackageList.h"

#include "AsciiCase.h"
#include "QtsTools.h"

namespace
{

// Codes 1 to 32 end an unquoted item and are skipped between items; a NUL ends the text.
bool IsBlank(char c)
{
    const unsigned char code = static_cast<unsigned char>(c);
    return code >= 1 && code <= 32;
}

} // namespace

std::vector<std::string> SplitCommaText(const std::string& text)
{
    std::vector<std::string> items;
    const std::size_t end = text.find('\0') == std::string::npos ? text.size() : text.find('\0');
    std::size_t at = 0;
    while (at < end && IsBlank(text[at]))
        ++at;
    while (at < end) {
        std::string item;
        if (text[at] == '"') {
            // Runs to the closing quote; two quotes in a row stand for one.
            ++at;
            while (at < end) {
                if (text[at] == '"') {
                    if (at + 1 < end && text[at + 1] == '"') {
                        item += '"';
                        at += 2;
                        continue;
                    }
                    ++at;
                    break;
                }
                item += text[at++];
            }
        } else {
            const std::size_t start = at;
            while (at < end && !IsBlank(text[at]) && text[at] != ',')
                ++at;
            item = text.substr(start, at - start);
        }
        items.push_back(item);
        while (at < end && IsBlank(text[at]))
            ++at;
        if (at < end && text[at] == ',') {
            ++at;
            while (at < end && IsBlank(text[at]))
                ++at;
        }
    }
    return items;
}

std::vector<PackageItem> ReadPackageList(const EnvironmentProfile& profile)
{
    struct Pair {
        std::string source;
        std::string target;
    };
    std::vector<Pair> pairs;
    for (const std::string& item : SplitCommaText(profile.PackageList)) {
        const std::size_t equals = item.find('=');
        Pair pair{item.substr(0, equals),
                  equals == std::string::npos ? std::string() : item.substr(equals + 1)};
        // A source named twice maps to the target it was given first.
        for (const Pair& earlier : pairs) {
            if (EqualIgnoringAsciiCase(earlier.source, pair.source)) {
                pair.target = earlier.target;
                break;
            }
        }
        pairs.push_back(pair);
    }

    std::vector<PackageItem> items;
    for (const Pair& pair : pairs) {
        // Expanded per item, after splitting, so folders with blanks or commas are safe.
        auto expand = [&profile](const std::string& text) {
            return ReplaceAll(ReplaceAll(text, "%borland", profile.EnvironmentDir), "%quillon",
                              profile.ProductDir);
        };
        PackageItem item;
        item.source = expand(pair.source);
        item.target = expand(pair.target);
        if (!item.target.empty() && item.target.back() == '+') {
            item.target.pop_back();
            item.marked = true;
            item.backup = item.target + ".old";
        }
        items.push_back(item);
    }
    return items;
}
