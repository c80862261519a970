#include "AliasRegFile.h"

#include <algorithm>
#include <memory>

#include "AliasNameOrder.h"
#include "AsciiCase.h"
#include "RegistryStore.h"
#include "TRegistry.h"

namespace
{

// A registry path is never deeper than this, on Windows or in the file store; a tree that
// claims more is not walked further.
constexpr int MaximumDepth = 512;

const char* RootName(AliasScope scope)
{
    return scope == AliasScope::Global ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

const char* ShortRootName(AliasScope scope)
{
    return scope == AliasScope::Global ? "HKLM" : "HKCU";
}

RegistryRoot RootOf(AliasScope scope)
{
    return scope == AliasScope::Global ? HKEY_LOCAL_MACHINE_ROOT : HKEY_CURRENT_USER_ROOT;
}

AliasScope OtherScope(AliasScope scope)
{
    return scope == AliasScope::Global ? AliasScope::CurrentUser : AliasScope::Global;
}

// The Aliases key below the root, without the leading backslash.
std::string AliasesSubKey()
{
    return std::string(AliasesKeyPath).substr(1);
}

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

// ---- Writing ----------------------------------------------------------------------------

void AppendQuoted(std::string& out, const std::string& text)
{
    out.push_back('"');
    for (const char c : text) {
        if (c == '\\' || c == '"')
            out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
}

void AppendHexByte(std::string& out, unsigned char byte)
{
    static const char digits[] = "0123456789abcdef";
    out.push_back(digits[byte >> 4]);
    out.push_back(digits[byte & 0xF]);
}

// One value line as regedit writes it. A text takes the quoted form only when it has exactly one
// final NUL and no line break or NUL before it; anything else is kept byte for byte as hex.
std::string ValueLine(const std::string& name, std::uint32_t type, const std::string& data)
{
    if (name.find_first_of("\r\n") != std::string::npos)
        throw ERegistryException("The value name '" + name +
                                 "' holds a line break and cannot be written to a REGEDIT4 file");
    std::string out;
    if (name.empty())
        out = "@";
    else
        AppendQuoted(out, name);
    out.push_back('=');
    const bool quotable = type == REG_TYPE_SZ && !data.empty() && data.back() == '\0' &&
                          data.find_first_of(std::string("\r\n\0", 3)) == data.size() - 1;
    if (quotable) {
        AppendQuoted(out, data.substr(0, data.size() - 1));
        return out;
    }
    if (type == REG_TYPE_DWORD && data.size() == 4) {
        out += "dword:";
        for (int i = 3; i >= 0; --i)
            AppendHexByte(out, static_cast<unsigned char>(data[static_cast<std::size_t>(i)]));
        return out;
    }
    if (type == REG_TYPE_BINARY) {
        out += "hex:";
    } else {
        static const char digits[] = "0123456789abcdef";
        std::string code;
        std::uint32_t rest = type;
        do {
            code.insert(code.begin(), digits[rest & 0xF]);
            rest >>= 4;
        } while (rest != 0);
        out += "hex(" + code + "):";
    }
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (i)
            out.push_back(',');
        AppendHexByte(out, static_cast<unsigned char>(data[i]));
    }
    return out;
}

class Exporter
{
public:
    Exporter(RegistryStore& store, AliasScope scope) : store_(store), scope_(scope) {}

    void Key(const RegistryKey& key, const std::string& path, int depth, std::string& out)
    {
        if (depth > MaximumDepth)
            throw ERegistryException("The key " + Full(path) + " lies too deep to be exported");
        out += "[" + Full(path) + "]\r\n";
        std::string name;
        for (std::uint32_t index = 0;; ++index) {
            const StoreStatus status = store_.EnumValue(key, index, name);
            if (status == StoreStatus::NoMoreItems)
                break;
            if (status != StoreStatus::Ok)
                throw ERegistryException("Failed to list the values of " + Full(path));
            std::uint32_t type = 0;
            std::string data;
            if (store_.QueryValue(key, name, type, data) != StoreStatus::Ok)
                throw ERegistryException("Failed to get data for '" + name + "'");
            out += ValueLine(name, type, data) + "\r\n";
        }
        out += "\r\n";
        for (const std::string& child : Subkeys(key, path)) {
            std::unique_ptr<RegistryKey> childKey;
            if (store_.OpenKey(RootOf(scope_), &key, child, KeyAccess::Read, childKey) !=
                StoreStatus::Ok)
                throw ERegistryException("Failed to open " + Full(path + "\\" + child));
            Key(*childKey, path + "\\" + child, depth + 1, out);
        }
    }

    std::vector<std::string> Subkeys(const RegistryKey& key, const std::string& path)
    {
        std::vector<std::string> names;
        std::string name;
        for (std::uint32_t index = 0;; ++index) {
            const StoreStatus status = store_.EnumKey(key, index, name);
            if (status == StoreStatus::NoMoreItems)
                return names;
            if (status != StoreStatus::Ok)
                throw ERegistryException("Failed to list the subkeys of " + Full(path));
            names.push_back(name);
        }
    }

    std::string Full(const std::string& path) const
    {
        return std::string(RootName(scope_)) + "\\" + path;
    }

private:
    RegistryStore& store_;
    AliasScope scope_;
};

// ---- Reading ----------------------------------------------------------------------------

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string TrimBlanks(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

bool StartsWithIgnoringCase(const std::string& text, const std::string& prefix)
{
    return text.size() >= prefix.size() &&
           EqualIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

// A quoted string at text[at] == '"' with the escapes \\ and \" of REGEDIT4; `at` moves past the
// closing quote. Empty optional on an unknown escape or a missing closing quote.
std::optional<std::string> ReadQuoted(const std::string& text, std::size_t& at)
{
    std::string out;
    for (std::size_t i = at + 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            at = i + 1;
            return out;
        }
        if (c == '\\') {
            if (i + 1 >= text.size() || (text[i + 1] != '\\' && text[i + 1] != '"'))
                return std::nullopt;
            out.push_back(text[++i]);
            continue;
        }
        out.push_back(c);
    }
    return std::nullopt;
}

std::optional<std::string> ReadHexList(const std::string& text)
{
    std::string out;
    const std::string list = TrimBlanks(text);
    if (list.empty())
        return out;
    for (const std::string& item : Split(list, ',')) {
        const std::string byte = TrimBlanks(item);
        if (byte.empty() || byte.size() > 2 || HexDigit(byte[0]) < 0 ||
            (byte.size() == 2 && HexDigit(byte[1]) < 0))
            return std::nullopt;
        int value = HexDigit(byte[0]);
        if (byte.size() == 2)
            value = value * 16 + HexDigit(byte[1]);
        out.push_back(static_cast<char>(value));
    }
    return out;
}

std::optional<std::uint32_t> ReadHexNumber(const std::string& digits)
{
    if (digits.empty() || digits.size() > 8)
        return std::nullopt;
    std::uint32_t value = 0;
    for (const char c : digits) {
        if (HexDigit(c) < 0)
            return std::nullopt;
        value = value * 16 + static_cast<std::uint32_t>(HexDigit(c));
    }
    return value;
}

} // namespace

std::string ExportAliases(AliasScope scope, const std::vector<std::string>& names,
                          std::vector<std::string>& missing)
{
    missing.clear();
    std::unique_ptr<RegistryStore> store = CreateRegistryStore();
    Exporter exporter(*store, scope);
    std::string out = "REGEDIT4\r\n\r\n";

    std::unique_ptr<RegistryKey> aliasesKey;
    const StoreStatus opened =
        store->OpenKey(RootOf(scope), nullptr, AliasesSubKey(), KeyAccess::Read, aliasesKey);
    if (opened != StoreStatus::Ok && opened != StoreStatus::NotFound)
        throw ERegistryException("Failed to open " + exporter.Full(AliasesSubKey()));
    std::vector<std::string> stored;
    if (aliasesKey)
        stored = exporter.Subkeys(*aliasesKey, AliasesSubKey());

    std::vector<std::string> chosen;
    if (names.empty()) {
        chosen = stored;
    } else {
        for (const std::string& name : names) {
            const auto found =
                std::find_if(stored.begin(), stored.end(),
                             [&](const std::string& s) { return EqualIgnoringAsciiCase(s, name); });
            if (found == stored.end())
                missing.push_back(name);
            else if (std::find(chosen.begin(), chosen.end(), *found) == chosen.end())
                chosen.push_back(*found);
        }
    }
    std::sort(chosen.begin(), chosen.end(), [](const std::string& a, const std::string& b) {
        return CompareAliasNames(a, b) < 0;
    });

    for (const std::string& name : chosen) {
        std::unique_ptr<RegistryKey> key;
        if (store->OpenKey(RootOf(scope), aliasesKey.get(), name, KeyAccess::Read, key) !=
            StoreStatus::Ok)
            throw ERegistryException("Failed to open " +
                                     exporter.Full(AliasesSubKey() + "\\" + name));
        exporter.Key(*key, AliasesSubKey() + "\\" + name, 1, out);
    }
    return out;
}

bool AliasImport::Fail(std::size_t line, std::string message)
{
    problem_.line = line;
    problem_.message = std::move(message);
    steps_.clear();
    aliases_.clear();
    return false;
}

bool AliasImport::Parse(const std::string& text, AliasScope scope)
{
    scope_ = scope;
    steps_.clear();
    aliases_.clear();
    problem_ = AliasFileProblem();

    if (text.size() >= 2 &&
        ((text[0] == '\xFF' && text[1] == '\xFE') || (text[0] == '\xFE' && text[1] == '\xFF')))
        return Fail(1, "the file is UTF-16 text; save it as a REGEDIT4 file (regedit's "
                       "\"Win9x/NT4 Registration Files\") and import that");

    const std::vector<std::string> aliasesPath = Split(AliasesSubKey(), '\\');
    const std::vector<std::string> lines = Split(text, '\n');
    bool sawSignature = false;
    bool haveKey = false;       // values may follow
    bool afterDeletion = false; // the last header deleted a key
    std::size_t headerLine = 0;
    std::string logical;
    std::size_t logicalLine = 0;

    for (std::size_t index = 0; index < lines.size(); ++index) {
        const std::size_t number = index + 1;
        std::string line = lines[index];
        if (index == 0 && line.compare(0, 3, "\xEF\xBB\xBF") == 0)
            line.erase(0, 3);
        line = TrimBlanks(line);

        // A value line ending in a backslash goes on in the next line (long hex lists).
        const bool continuing = !logical.empty();
        if (!continuing && (line.empty() || line[0] == ';'))
            continue;
        if (!continuing)
            logicalLine = number;
        if (!line.empty() && line.back() == '\\' &&
            (continuing || line[0] == '"' || line[0] == '@')) {
            logical += line.substr(0, line.size() - 1);
            if (index + 1 < lines.size())
                continue;
            return Fail(logicalLine, "the value goes on past the end of the file");
        }
        logical += line;
        line.swap(logical);
        logical.clear();

        if (!sawSignature) {
            if (line == "REGEDIT4") {
                sawSignature = true;
                continue;
            }
            if (line.compare(0, 23, "Windows Registry Editor") == 0)
                return Fail(number, "the file is a regedit 5 export; save it as a REGEDIT4 file "
                                    "(regedit's \"Win9x/NT4 Registration Files\") and import that");
            return Fail(number, "the file does not begin with the line REGEDIT4");
        }

        if (line[0] == '[') {
            if (line.back() != ']')
                return Fail(logicalLine, "key header without its closing ]");
            std::string inside = line.substr(1, line.size() - 2);
            const bool deletion = !inside.empty() && inside[0] == '-';
            if (deletion)
                inside.erase(0, 1);
            const std::vector<std::string> parts = Split(inside, '\\');
            const auto outside = [&] {
                return Fail(logicalLine, "the key " + inside + " lies outside " + RootName(scope) +
                                             "\\" + AliasesSubKey() +
                                             "; an alias file may only hold alias keys below it");
            };
            if (parts.size() < aliasesPath.size() + 2)
                return outside();
            for (std::size_t i = 0; i < aliasesPath.size(); ++i)
                if (!EqualIgnoringAsciiCase(parts[i + 1], aliasesPath[i]))
                    return outside();
            for (std::size_t i = 1; i < parts.size(); ++i) {
                if (parts[i].empty())
                    return Fail(logicalLine,
                                "the key " + inside + " has an empty name in its path");
                if (parts[i].size() > 255)
                    return Fail(logicalLine,
                                "the key " + inside + " has a name longer than 255 characters");
            }
            if (!EqualIgnoringAsciiCase(parts[0], RootName(scope)) &&
                !EqualIgnoringAsciiCase(parts[0], ShortRootName(scope))) {
                const AliasScope other = OtherScope(scope);
                outside();
                if (EqualIgnoringAsciiCase(parts[0], RootName(other)) ||
                    EqualIgnoringAsciiCase(parts[0], ShortRootName(other)))
                    problem_.otherScope = other;
                return false;
            }
            if (parts.size() - 1 > MaximumDepth)
                return Fail(logicalLine, "the key " + inside + " lies too deep");
            std::string key = parts[1];
            for (std::size_t i = 2; i < parts.size(); ++i)
                key += "\\" + parts[i];
            const std::string& alias = parts[aliasesPath.size() + 1];
            if (std::none_of(aliases_.begin(), aliases_.end(), [&](const std::string& a) {
                    return EqualIgnoringAsciiCase(a, alias);
                }))
                aliases_.push_back(alias);
            steps_.push_back({deletion ? Step::DeleteKey : Step::OpenKey, key, {}, 0, {}});
            haveKey = !deletion;
            afterDeletion = deletion;
            headerLine = logicalLine;
            continue;
        }

        if (line[0] != '"' && line[0] != '@')
            return Fail(logicalLine, "the line is neither a key header nor a value");
        if (!haveKey)
            return Fail(logicalLine, afterDeletion
                                         ? "a value follows the key deletion on line " +
                                               std::to_string(headerLine)
                                         : std::string("a value comes before any key header"));
        std::size_t at = 1;
        std::string name;
        if (line[0] == '"') {
            at = 0;
            const std::optional<std::string> quoted = ReadQuoted(line, at);
            if (!quoted)
                return Fail(logicalLine,
                            "the value name is not a quoted string (only \\\\ and \\\" "
                            "may follow a backslash)");
            name = *quoted;
        }
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
            ++at;
        if (at >= line.size() || line[at] != '=')
            return Fail(logicalLine, "the value name is not followed by =");
        const std::string data = TrimBlanks(line.substr(at + 1));

        Step step{Step::SetValue, steps_.back().key, name, 0, {}};
        if (data == "-") {
            step.kind = Step::DeleteValue;
        } else if (!data.empty() && data[0] == '"') {
            std::size_t end = 0;
            const std::optional<std::string> text = ReadQuoted(data, end);
            if (!text || end != data.size())
                return Fail(logicalLine, "the text value is not one quoted string (only \\\\ and "
                                         "\\\" may follow a backslash)");
            step.type = REG_TYPE_SZ;
            step.data = *text + std::string(1, '\0');
        } else if (StartsWithIgnoringCase(data, "dword:")) {
            const std::optional<std::uint32_t> value = ReadHexNumber(TrimBlanks(data.substr(6)));
            if (!value)
                return Fail(logicalLine, "a dword value needs 1 to 8 hex digits");
            step.type = REG_TYPE_DWORD;
            for (int i = 0; i < 4; ++i)
                step.data.push_back(static_cast<char>((*value >> (8 * i)) & 0xFF));
        } else if (StartsWithIgnoringCase(data, "hex:") || StartsWithIgnoringCase(data, "hex(")) {
            std::size_t listStart = 4;
            step.type = REG_TYPE_BINARY;
            if (data[3] == '(') {
                const std::size_t close = data.find("):");
                const std::optional<std::uint32_t> type =
                    close == std::string::npos ? std::nullopt
                                               : ReadHexNumber(data.substr(4, close - 4));
                if (!type)
                    return Fail(logicalLine, "a hex(type) value needs a hex type code");
                step.type = *type;
                listStart = close + 2;
            }
            const std::optional<std::string> bytes = ReadHexList(data.substr(listStart));
            if (!bytes)
                return Fail(logicalLine, "the hex value is not a list of bytes like 0a,ff,00");
            step.data = *bytes;
        } else {
            return Fail(logicalLine, "the value's data is none of \"text\", dword:, hex:, hex(n): "
                                     "or -");
        }
        steps_.push_back(std::move(step));
    }
    if (!sawSignature)
        return Fail(lines.size(),
                    "the file is empty; a REGEDIT4 file begins with the line REGEDIT4");
    return true;
}

namespace
{

void RemoveTree(RegistryStore& store, RegistryRoot root, const RegistryKey* parent,
                const std::string& subKey, int depth)
{
    std::unique_ptr<RegistryKey> key;
    if (store.OpenKey(root, parent, subKey, KeyAccess::All, key) != StoreStatus::Ok)
        return;
    if (depth < MaximumDepth) {
        std::string child;
        // Deleting shifts the indexes: always take the first one left.
        while (store.EnumKey(*key, 0, child) == StoreStatus::Ok) {
            const std::string name = child;
            RemoveTree(store, root, key.get(), name, depth + 1);
            std::unique_ptr<RegistryKey> probe;
            if (store.OpenKey(root, key.get(), name, KeyAccess::Read, probe) == StoreStatus::Ok)
                throw ERegistryException("Failed to delete the key " + name);
        }
    }
    key.reset();
    store.DeleteKey(root, parent, subKey);
}

} // namespace

void AliasImport::Apply() const
{
    std::unique_ptr<RegistryStore> store = CreateRegistryStore();
    const RegistryRoot root = RootOf(scope_);
    std::unique_ptr<RegistryKey> current;
    for (const Step& step : steps_) {
        switch (step.kind) {
        case Step::OpenKey:
            current.reset();
            if (store->CreateKey(root, nullptr, step.key, KeyAccess::ReadWrite, current) !=
                StoreStatus::Ok)
                throw ERegistryException("Failed to create the key " +
                                         std::string(RootName(scope_)) + "\\" + step.key);
            break;
        case Step::DeleteKey: {
            current.reset();
            RemoveTree(*store, root, nullptr, step.key, 0);
            std::unique_ptr<RegistryKey> probe;
            if (store->OpenKey(root, nullptr, step.key, KeyAccess::Read, probe) == StoreStatus::Ok)
                throw ERegistryException("Failed to delete the key " +
                                         std::string(RootName(scope_)) + "\\" + step.key);
            break;
        }
        case Step::SetValue:
            if (store->SetValue(*current, step.name, step.type, step.data) != StoreStatus::Ok)
                throw ERegistryException("Failed to set data for '" + step.name + "'");
            break;
        case Step::DeleteValue:
            store->DeleteValue(*current, step.name);
            break;
        }
    }
}
