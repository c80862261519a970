#ifndef _WIN32

#include "FileRegistryStoreText.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>

#include "AsciiCase.h"
#include "RegistryNames.h"

namespace RegistryFile
{

const char* const Signature = "REGEDIT4\r\n\r\n";

namespace
{

std::string_view TrimLeft(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    return text;
}

std::string_view TrimRight(std::string_view text)
{
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

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

bool StartsWithFolded(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() &&
           EqualIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

// The position of the first quote or backslash in text from `at` on, else text.size(). Eight
// bytes at a time: the quoted names and texts of a store are most of its bytes.
std::size_t QuoteOrEscape(std::string_view text, std::size_t at)
{
#if defined(__GNUC__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    constexpr std::uint64_t Ones = 0x0101010101010101u;
    constexpr std::uint64_t Highs = 0x8080808080808080u;
    while (at + 8 <= text.size()) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + at, 8);
        const std::uint64_t quotes = word ^ (Ones * '"');
        const std::uint64_t escapes = word ^ (Ones * '\\');
        // A byte that was zero sets its high bit; bytes after it may too, never one before.
        const std::uint64_t found =
            (((quotes - Ones) & ~quotes) | ((escapes - Ones) & ~escapes)) & Highs;
        if (found)
            return at + static_cast<std::size_t>(__builtin_ctzll(found)) / 8;
        at += 8;
    }
#endif
    while (at < text.size() && text[at] != '"' && text[at] != '\\')
        ++at;
    return at;
}

// Reads a quoted string starting at text[0] == '"' and moves text past the closing quote. The
// escapes are \\ and \" (as regedit writes them) and \r, \n, \0. `bytes` is what the quotes
// hold: the spelling itself when it has no escapes, else the decoded bytes, written over the
// start of their spelling (which is never shorter) in the bytes the reader keeps.
bool ReadQuoted(std::string_view& text, std::string_view& bytes, std::string& error)
{
    std::size_t at = QuoteOrEscape(text, 1);
    if (at < text.size() && text[at] == '"') {
        bytes = text.substr(1, at - 1);
        text.remove_prefix(at + 1);
        return true;
    }
    // The reader's own bytes, reached through a view.
    char* const start = const_cast<char*>(text.data()) + 1;
    char* out = const_cast<char*>(text.data()) + at;
    while (at < text.size()) {
        const char c = text[at];
        if (c == '"') {
            bytes = std::string_view(start, static_cast<std::size_t>(out - start));
            text.remove_prefix(at + 1);
            return true;
        }
        if (c != '\\') {
            *out++ = c;
            ++at;
            continue;
        }
        if (at + 1 >= text.size())
            break;
        const char e = text[at + 1];
        switch (e) {
        case '\\':
        case '"':
            *out++ = e;
            break;
        case 'r':
            *out++ = '\r';
            break;
        case 'n':
            *out++ = '\n';
            break;
        case '0':
            *out++ = '\0';
            break;
        default:
            error = std::string("unknown escape \\") + e + " in a quoted string";
            return false;
        }
        at += 2;
    }
    error = "quoted string without its closing quote";
    return false;
}

bool ReadHexList(std::string_view text, std::string& out, std::string& error)
{
    out.clear();
    text = TrimLeft(TrimRight(text));
    while (!text.empty()) {
        std::size_t digits = 0;
        unsigned value = 0;
        while (digits < text.size() && HexDigit(text[digits]) >= 0) {
            value = value * 16 + static_cast<unsigned>(HexDigit(text[digits]));
            ++digits;
        }
        if (digits == 0 || digits > 2) {
            error = "malformed hex byte list";
            return false;
        }
        out.push_back(static_cast<char>(value));
        text = TrimLeft(text.substr(digits));
        if (text.empty())
            break;
        if (text.front() != ',') {
            error = "malformed hex byte list";
            return false;
        }
        text = TrimLeft(text.substr(1));
    }
    return true;
}

void AppendEscaped(std::string& out, std::string_view text)
{
    for (const char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\0':
            out += "\\0";
            break;
        default:
            out.push_back(c);
        }
    }
}

void AppendHex(std::string& out, std::uint32_t value, int minimumDigits)
{
    static const char digits[] = "0123456789abcdef";
    char buffer[8];
    int count = 0;
    do {
        buffer[count++] = digits[value & 0xF];
        value >>= 4;
    } while (value != 0);
    while (count < minimumDigits)
        buffer[count++] = '0';
    while (count > 0)
        out.push_back(buffer[--count]);
}

bool QuotedFormFits(std::uint32_t type, std::string_view data)
{
    if (type != 1 || data.empty() || data.back() != '\0')
        return false;
    return data.find_first_of(std::string_view("\0\r\n", 3)) == data.size() - 1;
}

std::string Header(const std::string& rootName, const std::string& path, bool deletion)
{
    std::string out;
    out.reserve(rootName.size() + path.size() + 8);
    out += deletion ? "[-" : "[";
    out += rootName;
    if (!path.empty()) {
        out.push_back('\\');
        out += path;
    }
    out += "]\r\n";
    return out;
}

void AppendKey(std::string& out, const Node& node, const std::string& header)
{
    out += '[';
    out += header;
    out += "]\r\n";
    node.EachValue([&out](const Value& value) {
        out += ValueLine(value.Name(), value.type, value.Data());
        out += "\r\n";
    });
    out += "\r\n";
}

// Every key below the root after its parent, siblings in name order; the root's own header only
// when it has values.
void AppendTree(std::string& out, const Node& root, const std::string& rootName)
{
    struct Level {
        const Node::Children* children;
        Node::Children::const_iterator next; // the child to write next
        std::size_t headerLength;            // of this node's header
    };
    std::string header = rootName;
    if (root.ValueCount() != 0)
        AppendKey(out, root, header);
    std::vector<Level> levels;
    if (const Node::Children* children = root.Subkeys())
        levels.push_back({children, children->begin(), header.size()});
    while (!levels.empty()) {
        Level& level = levels.back();
        if (level.next == level.children->end()) {
            levels.pop_back();
            continue;
        }
        const Node& child = *level.next++;
        header.resize(level.headerLength);
        header += '\\';
        header += child.name;
        AppendKey(out, child, header);
        if (const Node::Children* children = child.Subkeys())
            levels.push_back({children, children->begin(), header.size()});
    }
}

} // namespace

int CompareNames(std::string_view a, std::string_view b)
{
    // Most names differ in their first letter: that decides without the whole comparison.
    if (!a.empty() && !b.empty()) {
        const auto x = static_cast<unsigned char>(LowerAscii(a.front()));
        const auto y = static_cast<unsigned char>(LowerAscii(b.front()));
        if (x < 0x80 && y < 0x80 && x != y)
            return x < y ? -1 : 1;
    }
    return CompareRegistryNames(a, b);
}

bool IsStorableKeyName(std::string_view name)
{
    return !name.empty() && name.size() <= 255 &&
           name.find_first_of(std::string_view("\\\r\n\0", 4)) == std::string_view::npos;
}

Node::~Node()
{
    Clear();
}

void Node::Clear()
{
    // Subtrees are taken apart into one list and freed a key at a time: freeing a tree however
    // deep never nests calls. A key freed with its parent's set has no subkeys left by then.
    std::vector<std::unique_ptr<Extra>> doomed;
    if (extra_)
        doomed.push_back(std::move(extra_));
    ValueRow(few_.get_allocator()).swap(few_);
    while (!doomed.empty()) {
        const std::unique_ptr<Extra> extra = std::move(doomed.back());
        doomed.pop_back();
        // The set holds its keys as constants for the sake of their order, which no longer
        // matters once they all go.
        for (const Node& child : extra->children)
            if (child.extra_)
                doomed.push_back(std::move(const_cast<Node&>(child).extra_));
    }
}

Node::Extra& Node::Extended()
{
    if (!extra_)
        extra_ = std::make_unique<Extra>(few_.get_allocator().Arena());
    return *extra_;
}

Node* Node::Child(std::string_view childName) const
{
    if (!extra_)
        return nullptr;
    Extra& extra = *extra_;
    // A listing opens the subkeys it enumerated, in their order: each is found next to the last.
    if (extra.childOrder.size() == extra.children.size() &&
        extra.nextChild < extra.childOrder.size() &&
        extra.childOrder[extra.nextChild]->name == childName)
        return const_cast<Node*>(extra.childOrder[extra.nextChild++]);
    const auto it = extra.children.find(childName);
    if (it == extra.children.end())
        return nullptr;
    if (!extra.childOrder.empty() && extra.childOrder.size() == extra.children.size() &&
        extra.childOrder.front() == &*it)
        extra.nextChild = 1; // a listing that starts again from the top
    // A set's elements are reached as constants; all but the name, which orders them, may change.
    return const_cast<Node*>(&*it);
}

Node& Node::AddChild(std::string_view childName)
{
    Extra& extra = Extended();
    // Compacted files list keys in order, so most additions go at the end. There the order by
    // position grows with them: a listing of a key just read need not walk its subkeys.
    const bool ordered = extra.childOrder.size() == extra.children.size();
    const auto at =
        extra.children.emplace_hint(extra.children.end(), childName, few_.get_allocator().Arena());
    Node& added = const_cast<Node&>(*at);
    if (ordered && &*extra.children.rbegin() == &added) {
        extra.childOrder.push_back(&added);
        extra.longestChildName = std::max(extra.longestChildName, added.name.size());
    } else {
        extra.childOrder.clear();
    }
    return added;
}

std::uint64_t Node::RemoveChild(std::string_view childName)
{
    if (!extra_)
        return 0;
    Extra& extra = *extra_;
    const auto it = extra.children.find(childName);
    if (it == extra.children.end())
        return 0;
    const std::uint64_t bytes = it->SubtreeBytes();
    extra.children.erase(it);
    extra.childOrder.clear();
    // Without subkeys the order by position is complete as it is: it must say so.
    if (extra.children.empty())
        extra.longestChildName = 0;
    return bytes;
}

Node::ValueRow::iterator Node::FewLowerBound(std::string_view valueName)
{
    return std::lower_bound(few_.begin(), few_.end(), valueName,
                            [](const Value& value, std::string_view name) {
                                return CompareNames(value.Name(), name) < 0;
                            });
}

const Value* Node::FindValue(std::string_view valueName) const
{
    return const_cast<Node*>(this)->FindValue(valueName);
}

Value* Node::FindValue(std::string_view valueName)
{
    if (!extra_ || extra_->many.empty()) {
        // Names are mostly asked for as they were written: looking for the same bytes reads the
        // values, which lie together, and only names of the same length.
        for (Value& value : few_)
            if (value.Name().size() == valueName.size() && value.Name() == valueName)
                return &value;
        const auto at = FewLowerBound(valueName);
        return at != few_.end() && CompareNames(at->Name(), valueName) == 0 ? &*at : nullptr;
    }
    Values& many = extra_->many;
    const auto it = many.find(valueName);
    // A set's elements are reached as constants; all but the name, which orders them, may change.
    return it != many.end() ? const_cast<Value*>(&*it) : nullptr;
}

Value& Node::FindOrAddValue(std::string_view valueName, bool& added)
{
    const bool past = PastLastValue(valueName);
    added = true;
    if ((!extra_ || extra_->many.empty()) && few_.size() < FewValues) {
        if (past)
            return few_.emplace_back(valueName);
        const auto at = FewLowerBound(valueName);
        if (CompareNames(at->Name(), valueName) == 0) {
            added = false;
            return *at;
        }
        return *few_.emplace(at, valueName);
    }
    Extra& extra = Extended();
    extra.valueOrder.clear();
    Values& many = extra.many;
    if (!few_.empty()) {
        // One value too many to lie side by side: from now on the key keeps a tree.
        for (Value& value : few_)
            many.emplace_hint(many.end(), std::move(value));
        few_.clear();
        few_.shrink_to_fit();
    }
    auto at = many.end();
    if (!past) {
        at = many.lower_bound(valueName);
        if (at != many.end() && CompareNames(at->Name(), valueName) == 0) {
            added = false;
            return const_cast<Value&>(*at);
        }
    }
    at = many.emplace_hint(at, valueName);
    return const_cast<Value&>(*at);
}

std::uint64_t Node::OrderAppendedValues(FileValueOrder& order)
{
    const std::size_t count = few_.size();
    if (count < 2)
        return 0;
    bool known = order.names.size() == count;
    for (std::size_t i = 0; known && i < count; ++i)
        known = order.names[i] == few_[i].Name();
    order.scratch.assign(few_.begin(), few_.end());
    const std::vector<Value>& appended = order.scratch;
    if (known) {
        for (std::size_t i = 0; i < count; ++i)
            few_[order.places[i]] = appended[i];
        return 0;
    }
    // Positions in name order by binary insertion: stable, so that values of one name stay in
    // the order of the file.
    std::array<std::uint8_t, FewValues> sorted{};
    for (std::size_t i = 0; i < count; ++i) {
        const auto at = std::upper_bound(
            sorted.begin(), sorted.begin() + i, i, [&appended](std::size_t a, std::uint8_t b) {
                return CompareNames(appended[a].Name(), appended[b].Name()) < 0;
            });
        std::move_backward(at, sorted.begin() + i, sorted.begin() + i + 1);
        *at = static_cast<std::uint8_t>(i);
    }
    few_.clear();
    std::uint64_t replaced = 0;
    order.places.assign(count, 0);
    for (std::size_t k = 0; k < count; ++k) {
        const Value& value = appended[sorted[k]];
        if (!few_.empty() && CompareNames(few_.back().Name(), value.Name()) == 0) {
            replaced += few_.back().fileBytes;
            const std::string_view firstName = few_.back().Name();
            few_.back() = value;
            few_.back().SetName(firstName);
        } else {
            few_.push_back(value);
        }
        order.places[sorted[k]] = static_cast<std::uint8_t>(few_.size() - 1);
    }
    // Where names repeat, places no longer say it all.
    order.names.clear();
    if (few_.size() == count)
        for (const Value& value : appended)
            order.names.emplace_back(value.Name());
    return replaced;
}

void Node::ReserveValues(std::size_t count)
{
    if ((!extra_ || extra_->many.empty()) && count <= FewValues)
        few_.reserve(count);
}

bool Node::RemoveValue(std::string_view valueName)
{
    if (!extra_ || extra_->many.empty()) {
        const auto at = FewLowerBound(valueName);
        if (at == few_.end() || CompareNames(at->Name(), valueName) != 0)
            return false;
        few_.erase(at);
        return true;
    }
    Values& many = extra_->many;
    const auto it = many.find(valueName);
    if (it == many.end())
        return false;
    many.erase(it);
    extra_->valueOrder.clear();
    return true;
}

std::uint64_t Node::SubtreeBytes() const
{
    std::uint64_t bytes = 0;
    std::vector<const Node*> pending{this};
    while (!pending.empty()) {
        const Node* node = pending.back();
        pending.pop_back();
        bytes += node->fileBytes;
        node->EachValue([&bytes](const Value& value) { bytes += value.fileBytes; });
        if (const Children* children = node->Subkeys())
            for (const Node& child : *children)
                pending.push_back(&child);
    }
    return bytes;
}

void Node::OrderChildren() const
{
    if (!extra_)
        return;
    Extra& extra = *extra_;
    if (extra.childOrder.size() == extra.children.size())
        return;
    extra.nextChild = 0;
    extra.longestChildName = 0;
    extra.childOrder.clear();
    extra.childOrder.reserve(extra.children.size());
    for (const Node& child : extra.children) {
        extra.childOrder.push_back(&child);
        extra.longestChildName = std::max(extra.longestChildName, child.name.size());
    }
}

const Node& Node::ChildAt(std::size_t index) const
{
    OrderChildren();
    if (!extra_)
        throw std::out_of_range("no subkey at that position");
    return *extra_->childOrder.at(index);
}

std::size_t Node::LongestChildName() const
{
    OrderChildren();
    return extra_ ? extra_->longestChildName : 0;
}

const Value& Node::ValueAt(std::size_t index) const
{
    if (!extra_ || extra_->many.empty())
        return few_.at(index);
    std::vector<const Value*>& order = extra_->valueOrder;
    if (order.size() != extra_->many.size()) {
        order.clear();
        order.reserve(extra_->many.size());
        for (const Value& value : extra_->many)
            order.push_back(&value);
    }
    return *order.at(index);
}

Reader::Reader(std::string rootName, std::string shortName)
    : rootName_(std::move(rootName)), shortName_(std::move(shortName)), tree_(rootName_, arena_)
{
    Reset();
}

void Reader::Reset()
{
    ++generation_;
    tree_.Clear();
    arena_.Release();
    kept_.clear();
    keptLarge_.clear();
    tree_.name = rootName_;
    tree_.fileBytes = 0;
    current_ = nullptr;
    appending_ = nullptr;
    valueOrder_ = FileValueOrder();
    lastHeader_.clear();
    lastParent_ = nullptr;
    skipValues_ = false;
    pending_.clear();
    pendingActive_ = false;
    pendingLines_ = 0;
    pendingStart_ = 0;
    readEnd_ = 0;
    line_ = 0;
    sawSignature_ = false;
    liveBytes_ = std::strlen(Signature);
    errorLine_ = 0;
    error_.clear();
}

void Reader::DropPending()
{
    if (!pendingActive_)
        return;
    // The unfinished value's lines are cut off the file: count them out again.
    line_ -= pendingLines_;
    pending_.clear();
    pendingActive_ = false;
    pendingLines_ = 0;
    readEnd_ = pendingStart_;
}

bool Reader::Fail(std::string message)
{
    errorLine_ = line_;
    error_ = std::move(message);
    return false;
}

bool Reader::Feed(std::string kept)
{
    kept_.push_back(std::move(kept));
    return FeedKept(kept_.back());
}

bool Reader::Feed(PosixFile::LargeBuffer kept)
{
    keptLarge_.push_back(std::move(kept));
    return FeedKept(std::string_view(keptLarge_.back().Data(), keptLarge_.back().Size()));
}

bool Reader::FeedKept(std::string_view bytes)
{
    if (readEnd_ == 0)
        arena_.Expect(bytes.size());
    std::size_t position = 0;
    while (position < bytes.size()) {
        const void* found = std::memchr(bytes.data() + position, '\n', bytes.size() - position);
        if (!found)
            break;
        const std::size_t end =
            static_cast<std::size_t>(static_cast<const char*>(found) - bytes.data());
        ++line_;
        if (!ReadLine(bytes.substr(position, end - position), readEnd_ + position)) {
            OrderAppendedValues();
            return false;
        }
        position = end + 1;
    }
    readEnd_ += position;
    OrderAppendedValues();
    return true;
}

void Reader::OrderAppendedValues()
{
    if (!appending_)
        return;
    const std::uint64_t replaced = appending_->OrderAppendedValues(valueOrder_);
    liveBytes_ -= std::min(liveBytes_, replaced);
    appending_ = nullptr;
}

bool Reader::ReadLine(std::string_view line, std::uint64_t offset)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    if (!sawSignature_) {
        if (line.size() >= 3 && line.substr(0, 3) == "\xEF\xBB\xBF")
            line.remove_prefix(3);
        if (TrimRight(line) != "REGEDIT4")
            return Fail("the file does not begin with the line REGEDIT4");
        sawSignature_ = true;
        return true;
    }
    line = TrimRight(TrimLeft(line));
    const bool continuing = pendingActive_;
    if (!continuing) {
        if (line.empty() || line.front() == ';')
            return true;
        pendingStart_ = offset;
    }
    // A value line ending in a backslash goes on in the next line (long hex lists).
    if ((continuing || line.front() == '"' || line.front() == '@') && !line.empty() &&
        line.back() == '\\') {
        pending_.append(line.data(), line.size() - 1);
        pendingActive_ = true;
        ++pendingLines_;
        return true;
    }
    if (!continuing)
        return ReadLogicalLine(line);
    pending_.append(line.data(), line.size());
    // The values of the joined line look into it: it is kept with the file's bytes.
    kept_.push_back(std::move(pending_));
    pending_.clear();
    pendingActive_ = false;
    pendingLines_ = 0;
    return ReadLogicalLine(kept_.back());
}

bool Reader::ReadLogicalLine(std::string_view line)
{
    if (line.empty())
        return true;
    if (line.front() == '[') {
        if (line.back() != ']')
            return Fail("key header without its closing ]");
        return ReadHeader(line.substr(1, line.size() - 2));
    }
    if (line.front() == '"' || line.front() == '@')
        return ReadValue(line);
    return Fail("line is neither a key header nor a value");
}

bool Reader::ReadHeader(std::string_view inside)
{
    OrderAppendedValues();
    // Appended records name their key each time, mostly the key of the record before.
    if (current_ && inside == lastHeader_) {
        skipValues_ = false;
        return true;
    }
    if (current_)
        lastValueCount_ = current_->ValueCount();
    lastHeader_.clear();
    const bool deletion = !inside.empty() && inside.front() == '-';
    if (deletion)
        inside.remove_prefix(1);
    const std::size_t slash = inside.find('\\');
    const std::string_view top = inside.substr(0, slash);
    if (!SameName(top, rootName_) && !SameName(top, shortName_))
        return Fail("key outside " + rootName_);
    Node* node = &tree_;
    Node* parent = nullptr;
    std::string_view last;
    std::size_t pathBytes = rootName_.size();
    std::size_t depth = 0;
    if (slash != std::string_view::npos) {
        std::string_view rest = inside.substr(slash + 1);
        // Files list keys beside each other: the parent of the key before is found again by
        // the bytes of its path, without walking down to it.
        const std::string_view parentPath = lastParentPath_;
        if (!deletion && lastParent_ && lastParentGeneration_ == generation_ &&
            inside.size() > parentPath.size() + 1 && inside[parentPath.size()] == '\\' &&
            inside.substr(0, parentPath.size()) == parentPath &&
            inside.find('\\', parentPath.size() + 1) == std::string_view::npos) {
            node = lastParent_;
            depth = lastParentDepth_;
            pathBytes += parentPath.size() - top.size();
            rest = inside.substr(parentPath.size() + 1);
        }
        while (node) {
            const std::size_t next = rest.find('\\');
            const std::string_view name = rest.substr(0, next);
            if (name.empty())
                return Fail("empty key name");
            if (name.size() > 255)
                return Fail("key name longer than 255 characters");
            if (++depth > MaximumKeyDepth)
                return Fail("key path deeper than " + std::to_string(MaximumKeyDepth) + " levels");
            pathBytes += 1 + name.size();
            parent = node;
            last = name;
            Node* child = node->PastLastChild(name) ? nullptr : node->Child(name);
            if (!child && !deletion) {
                child = &node->AddChild(name);
                child->fileBytes = static_cast<std::uint32_t>(pathBytes + 6);
                liveBytes_ += child->fileBytes;
            }
            node = child;
            if (next == std::string_view::npos)
                break;
            rest = rest.substr(next + 1);
        }
    }
    if (deletion) {
        // Deleting the root itself is not something an import does: nothing happens.
        if (node && parent) {
            ++generation_;
            const std::uint64_t removed = parent->RemoveChild(last);
            liveBytes_ -= std::min(liveBytes_, removed);
        }
        current_ = nullptr;
        skipValues_ = true;
        return true;
    }
    if (parent) {
        lastParent_ = parent;
        lastParentPath_.assign(inside.data(), inside.size() - last.size() - 1);
        lastParentDepth_ = depth - 1;
        lastParentGeneration_ = generation_;
    }
    current_ = node;
    // Keys of one file mostly hold as many values as the key before.
    if (node->ValueCount() == 0) {
        node->ReserveValues(lastValueCount_);
        appending_ = node;
    }
    skipValues_ = false;
    lastHeader_.assign(inside.data(), inside.size());
    return true;
}

namespace
{

// Puts bytes decoded from a spelling over that spelling, which is never shorter.
std::string_view OverSpelling(std::string_view spelling, std::string_view bytes)
{
    // The reader's own bytes, reached through a view.
    char* at = const_cast<char*>(spelling.data());
    std::memmove(at, bytes.data(), bytes.size());
    return std::string_view(at, bytes.size());
}

} // namespace

bool Reader::ReadValue(std::string_view line)
{
    // `line` looks into bytes the reader keeps: names and texts without escapes stay views, and
    // decoded ones are written over their spelling there.
    const std::size_t lineBytes = line.size() + 2;
    std::string_view name;
    std::string error;
    if (line.front() == '@') {
        line.remove_prefix(1);
    } else if (!ReadQuoted(line, name, error)) {
        return Fail(error);
    }
    line = TrimLeft(line);
    if (line.empty() || line.front() != '=')
        return Fail("value name without =");
    line = TrimLeft(line.substr(1));
    const std::string_view dataSpelling = line;

    bool remove = false;
    std::uint32_t type = 0;
    std::string data;
    std::string_view text;
    bool quoted = false;
    if (line == "-") {
        remove = true;
    } else if (!line.empty() && line.front() == '"') {
        if (!ReadQuoted(line, text, error))
            return Fail(error);
        if (!TrimLeft(line).empty())
            return Fail("text after a quoted value");
        type = 1;
        quoted = true;
    } else if (StartsWithFolded(line, "dword:")) {
        const std::string_view digits = TrimRight(line.substr(6));
        if (digits.empty() || digits.size() > 8)
            return Fail("malformed dword value");
        std::uint32_t value = 0;
        for (const char c : digits) {
            const int d = HexDigit(c);
            if (d < 0)
                return Fail("malformed dword value");
            value = value * 16 + static_cast<std::uint32_t>(d);
        }
        type = 4;
        for (int i = 0; i < 4; ++i)
            data.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    } else if (StartsWithFolded(line, "hex:")) {
        type = 3;
        if (!ReadHexList(line.substr(4), data, error))
            return Fail(error);
    } else if (StartsWithFolded(line, "hex(")) {
        const std::size_t close = line.find("):");
        if (close == std::string_view::npos || close == 4 || close > 12)
            return Fail("malformed hex(type) value");
        std::uint64_t code = 0;
        for (const char c : line.substr(4, close - 4)) {
            const int d = HexDigit(c);
            if (d < 0)
                return Fail("malformed hex(type) value");
            code = code * 16 + static_cast<std::uint64_t>(d);
        }
        if (code > 0xFFFFFFFFu)
            return Fail("value type out of range");
        type = static_cast<std::uint32_t>(code);
        if (!ReadHexList(line.substr(close + 2), data, error))
            return Fail(error);
    } else {
        return Fail("unrecognised value data");
    }

    if (skipValues_)
        return true;
    if (!current_)
        return Fail("value before any key header");
    if (remove) {
        OrderAppendedValues();
        const Value* value = current_->PastLastValue(name) ? nullptr : current_->FindValue(name);
        if (value) {
            liveBytes_ -= std::min<std::uint64_t>(liveBytes_, value->fileBytes);
            current_->RemoveValue(name);
        }
        return true;
    }
    const std::size_t size = quoted ? text.size() + 1 : data.size();
    if (name.size() > MaximumValueSize || size > MaximumValueSize)
        return Fail("value larger than 4 GiB");
    Value* value = nullptr;
    if (appending_ && appending_->CanAppendValue()) {
        value = &appending_->AppendValue(name);
    } else {
        OrderAppendedValues();
        bool added = false;
        value = &current_->FindOrAddValue(name, added);
        if (!added)
            liveBytes_ -= std::min<std::uint64_t>(liveBytes_, value->fileBytes);
    }
    value->type = type;
    value->terminated = quoted;
    value->SetText(quoted ? text : OverSpelling(dataSpelling, data));
    value->fileBytes = static_cast<std::uint32_t>(std::min<std::size_t>(lineBytes, 0x7FFFFFFF));
    liveBytes_ += lineBytes;
    return true;
}

namespace
{

void AppendValueName(std::string& out, std::string_view name)
{
    if (name.empty()) {
        out.push_back('@');
    } else {
        out.push_back('"');
        AppendEscaped(out, name);
        out.push_back('"');
    }
    out.push_back('=');
}

} // namespace

std::string ValueLine(std::string_view name, std::uint32_t type, std::string_view data)
{
    std::string out;
    out.reserve(name.size() + data.size() * 3 + 16);
    AppendValueName(out, name);
    if (QuotedFormFits(type, data)) {
        out.push_back('"');
        AppendEscaped(out, std::string_view(data.data(), data.size() - 1));
        out.push_back('"');
        return out;
    }
    if (type == 4 && data.size() == 4) {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value |= static_cast<std::uint32_t>(static_cast<unsigned char>(data[i])) << (8 * i);
        out += "dword:";
        AppendHex(out, value, 8);
        return out;
    }
    if (type == 3) {
        out += "hex:";
    } else {
        out += "hex(";
        AppendHex(out, type, 1);
        out += "):";
    }
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (i)
            out.push_back(',');
        AppendHex(out, static_cast<unsigned char>(data[i]), 2);
    }
    return out;
}

std::string KeyRecord(const std::string& rootName, const std::string& path)
{
    return Header(rootName, path, false) + "\r\n";
}

std::string DeleteKeyRecord(const std::string& rootName, const std::string& path)
{
    return Header(rootName, path, true) + "\r\n";
}

std::string SetValueRecord(const std::string& rootName, const std::string& path,
                           const std::string& name, std::uint32_t type, const std::string& data)
{
    return Header(rootName, path, false) + ValueLine(name, type, data) + "\r\n\r\n";
}

std::string DeleteValueRecord(const std::string& rootName, const std::string& path,
                              const std::string& name)
{
    std::string out = Header(rootName, path, false);
    AppendValueName(out, name);
    out += "-\r\n\r\n";
    return out;
}

std::string WholeFile(const Node& tree, const std::string& rootName)
{
    std::string out = Signature;
    AppendTree(out, tree, rootName);
    return out;
}

} // namespace RegistryFile

#endif
