// The REGEDIT4 text of the file registry store: the in-memory key tree, the reader that applies
// a file (or the records appended to it) to that tree, and the writers of records and of the
// compacted whole file.
#pragma once

#ifndef _WIN32

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "PosixFile.h"
#include "TreeArena.h"

namespace RegistryFile
{

// Orders names ignoring letter case as the Windows registry compares them: names are UTF-8
// text, each character is compared upper-cased (the C library's case mapping in C.UTF-8, for
// characters of the Basic Multilingual Plane, as the Windows registry upper-cases UTF-16 units).
// Bytes that are not well-formed UTF-8 compare as themselves, after every character. ASCII
// names order as they would with their letters in lower case.
int CompareNames(std::string_view a, std::string_view b);
inline bool SameName(std::string_view a, std::string_view b)
{
    return CompareNames(a, b) == 0;
}

// The Windows registry's limit on the depth of a key below its root.
constexpr std::size_t MaximumKeyDepth = 512;

// The most bytes a value's name or data may have, as the registry's calls give their sizes in
// 32 bits.
constexpr std::size_t MaximumValueSize = 0xFFFFFFFF;

// A value. Its name and data are views into the bytes the reader keeps: the file's spelling
// where it holds them as they are (most names and texts), else the decoded bytes written over
// their own spelling, which is never shorter. A store holds one for every value of every key,
// so the sizes of the views take 32 bits each.
struct Value {
    Value() : fileBytes(0), terminated(0) {}
    explicit Value(std::string_view valueName) : fileBytes(0), terminated(0) { SetName(valueName); }

    // As first created.
    std::string_view Name() const { return std::string_view(name_, nameSize_); }
    // The data, less the final NUL of a text read from quotes.
    std::string_view Text() const { return std::string_view(text_, textSize_); }
    // Views of at most MaximumValueSize bytes.
    void SetName(std::string_view name)
    {
        name_ = name.data();
        nameSize_ = static_cast<std::uint32_t>(name.size());
    }
    void SetText(std::string_view text)
    {
        text_ = text.data();
        textSize_ = static_cast<std::uint32_t>(text.size());
    }

    std::uint32_t type = 0;
    std::uint32_t fileBytes : 31; // size of its line in the file, for the live-content estimate
    std::uint32_t terminated : 1; // the data is `Text()` and one NUL

    std::size_t Size() const { return std::size_t{textSize_} + (terminated ? 1 : 0); }
    std::string Data() const
    {
        std::string data;
        data.reserve(Size());
        data += Text();
        if (terminated)
            data.push_back('\0');
        return data;
    }
    bool HasData(std::string_view data) const
    {
        const std::string_view text = Text();
        return data.size() == Size() && data.substr(0, text.size()) == text &&
               (!terminated || data.back() == '\0');
    }

private:
    const char* name_ = nullptr;
    const char* text_ = nullptr;
    std::uint32_t nameSize_ = 0;
    std::uint32_t textSize_ = 0;
};
static_assert(sizeof(Value) <= 2 * sizeof(const char*) + 16, "a value grew");

struct Node;

// The order of a key's subkeys, held in the set itself: only a key's name orders it, so the rest
// of a key may change where it stands.
struct NodeByName {
    using is_transparent = void;
    bool operator()(const Node& a, const Node& b) const;
    bool operator()(const Node& a, std::string_view b) const;
    bool operator()(std::string_view a, const Node& b) const;
};

// The order of a key's values, held in the set itself: only a value's name orders it, so the
// rest of a value may change where it stands.
struct ValueByName {
    using is_transparent = void;
    bool operator()(const Value& a, const Value& b) const
    {
        return CompareNames(a.Name(), b.Name()) < 0;
    }
    bool operator()(const Value& a, std::string_view b) const
    {
        return CompareNames(a.Name(), b) < 0;
    }
    bool operator()(std::string_view a, const Value& b) const
    {
        return CompareNames(a, b.Name()) < 0;
    }
};

// Where the values of a key read in the order of its file went in name order, by their place in
// the file: the keys of one file mostly list the same names in the same order, and then need
// no comparing.
struct FileValueOrder {
    std::vector<std::string> names;   // as the file lists them
    std::vector<std::uint8_t> places; // where each of them goes in name order
    std::vector<Value> scratch;
};

// A key: its subkeys and values in name order. Adding, finding and removing cost log n in the
// number of them, whatever order they come in; enumeration by position is linear overall.
// Nothing here recurses over the depth of the tree, which a file decides. The values of a key
// with few of them lie side by side, without a block of memory each. Most keys of a store have
// a few values and no subkeys: what only the others need is allocated when first needed.
struct Node {
    using Children = std::set<Node, NodeByName, TreeAllocator<Node>>;
    using Values = std::set<Value, ValueByName>;
    using ValueRow = std::vector<Value, TreeAllocator<Value>>;

    // The name must live as long as the tree (in the bytes the reader keeps); the key and its
    // subkeys take their memory from the arena, which must outlive them.
    Node(std::string_view keyName, TreeArena& arena)
        : name(keyName), few_(TreeAllocator<Value>(arena))
    {
    }
    ~Node();
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;

    std::string_view name; // as first created
    std::uint32_t fileBytes = 0;

    Node* Child(std::string_view childName) const;
    // The name must not be there yet, and must live as long as the tree.
    Node& AddChild(std::string_view childName);
    // Removes a child with its subtree; answers the file bytes its subtree accounted for.
    std::uint64_t RemoveChild(std::string_view childName);
    // True when the name sorts after every subkey (or value): it is not there, and adding it
    // goes at the end. Files list keys and values in order, so their reader asks this first.
    bool PastLastChild(std::string_view childName) const;
    bool PastLastValue(std::string_view valueName) const;
    const Value* FindValue(std::string_view valueName) const;
    Value* FindValue(std::string_view valueName);
    // The value of that name, added when it is not there yet (`added`), in one search. A new
    // value's name must live as long as the tree (in the bytes the reader keeps).
    Value& FindOrAddValue(std::string_view valueName, bool& added);
    bool RemoveValue(std::string_view valueName);
    // For a reader that adds the values of a key in the order of its file: AppendValue adds one
    // after the others without comparing names, while CanAppendValue. Until OrderAppendedValues
    // the values are out of order and may repeat a name, and nothing else may be asked of them.
    bool CanAppendValue() const;
    Value& AppendValue(std::string_view valueName) { return few_.emplace_back(valueName); }
    // Puts the values in name order. Of values of the same name, the first keeps its name and
    // the last gives the rest, as when each is set in turn. Answers the file bytes of the values
    // the later ones replaced.
    std::uint64_t OrderAppendedValues(FileValueOrder& order);
    // Room for this many values, where they lie side by side.
    void ReserveValues(std::size_t count);
    std::uint64_t SubtreeBytes() const;
    // Removes every subkey and value.
    void Clear();

    // The subkeys in name order, or null for a key that never had any.
    const Children* Subkeys() const;
    // Calls `visit` with each value, in name order.
    template <typename Visit> void EachValue(Visit&& visit) const;
    // The subkey or value at a position of the name order (index below the count).
    std::size_t ChildCount() const;
    const Node& ChildAt(std::size_t index) const;
    // The length of the longest subkey name, 0 without subkeys.
    std::size_t LongestChildName() const;
    std::size_t ValueCount() const;
    const Value& ValueAt(std::size_t index) const;

private:
    // Up to this many values lie side by side; a key with more keeps them in a tree.
    static constexpr std::size_t FewValues = 32;
    struct Extra;

    Extra& Extended();
    void OrderChildren() const;
    ValueRow::iterator FewLowerBound(std::string_view valueName);

    ValueRow few_; // in name order, while there are not many values
    // Subkeys, and values past the few: null until the key first has either.
    std::unique_ptr<Extra> extra_;
};

// What keys with subkeys or many values hold besides.
struct Node::Extra {
    explicit Extra(TreeArena& arena) : children(TreeAllocator<Node>(arena)) {}

    Children children;
    Values many; // the values, once more than FewValues were there at a time
    // The name order by position, built on the first enumeration after a change.
    std::vector<const Node*> childOrder;
    std::vector<const Value*> valueOrder; // of `many`
    // Where the subkey after the last one found in order stands.
    std::size_t nextChild = 0;
    std::size_t longestChildName = 0;
};

inline bool NodeByName::operator()(const Node& a, const Node& b) const
{
    return CompareNames(a.name, b.name) < 0;
}
inline bool NodeByName::operator()(const Node& a, std::string_view b) const
{
    return CompareNames(a.name, b) < 0;
}
inline bool NodeByName::operator()(std::string_view a, const Node& b) const
{
    return CompareNames(a, b.name) < 0;
}

inline bool Node::PastLastChild(std::string_view childName) const
{
    return !extra_ || extra_->children.empty() ||
           CompareNames(extra_->children.rbegin()->name, childName) < 0;
}

inline bool Node::PastLastValue(std::string_view valueName) const
{
    const Value* last = extra_ && !extra_->many.empty() ? &*extra_->many.rbegin()
                        : !few_.empty()                 ? &few_.back()
                                                        : nullptr;
    return !last || CompareNames(last->Name(), valueName) < 0;
}

template <typename Visit> void Node::EachValue(Visit&& visit) const
{
    for (const Value& value : few_)
        visit(value);
    if (extra_)
        for (const Value& value : extra_->many)
            visit(value);
}

inline bool Node::CanAppendValue() const
{
    return (!extra_ || extra_->many.empty()) && few_.size() < FewValues;
}

inline const Node::Children* Node::Subkeys() const
{
    return extra_ ? &extra_->children : nullptr;
}

inline std::size_t Node::ChildCount() const
{
    return extra_ ? extra_->children.size() : 0;
}

inline std::size_t Node::ValueCount() const
{
    return few_.size() + (extra_ ? extra_->many.size() : 0);
}

// True when a key name can be stored: not empty, no backslash, CR, LF or NUL, at most 255 bytes.
bool IsStorableKeyName(std::string_view name);

// Reads REGEDIT4 text line by line into a tree, the way an import into the registry would. It can
// be fed in pieces: only complete lines are read, the rest waits for the next piece.
class Reader
{
public:
    // `rootName` is the predefined key the file holds (HKEY_CURRENT_USER, ...); `shortName` its
    // abbreviation (HKCU, ...), which headers may use as well.
    Reader(std::string rootName, std::string shortName);

    // Starts over on an empty tree.
    void Reset();
    // Applies the bytes that follow the ones already read (starting at file offset ReadEnd()).
    // False on a syntax error, described by ErrorLine() and Error(). The reader keeps the bytes:
    // the tree's values look into them.
    bool Feed(std::string bytes);
    bool Feed(PosixFile::LargeBuffer bytes);

    Node& Tree() { return tree_; }
    const Node& Tree() const { return tree_; }
    const std::string& RootName() const { return rootName_; }
    // File offset after the last complete line read.
    std::uint64_t ReadEnd() const { return readEnd_; }
    // File offset after the last complete entry: a writer cuts the file here before appending,
    // removing an unfinished line or an unfinished continued value.
    std::uint64_t SafeEnd() const { return pendingActive_ ? pendingStart_ : readEnd_; }
    bool HasPending() const { return pendingActive_; }
    // Forgets an unfinished continued value (the writer has cut it off).
    void DropPending();
    // Lines of the file read so far (for error messages).
    std::uint64_t Lines() const { return line_; }
    bool SawSignature() const { return sawSignature_; }
    // Estimated size of the live content in compacted form.
    std::uint64_t LiveBytes() const { return liveBytes_; }
    // Changes whenever a key of the tree may have been freed (a key deleted, the tree reset).
    std::uint64_t Generation() const { return generation_; }

    std::uint64_t ErrorLine() const { return errorLine_; }
    const std::string& Error() const { return error_; }

private:
    bool FeedKept(std::string_view bytes);
    bool ReadLine(std::string_view line, std::uint64_t offset);
    bool ReadLogicalLine(std::string_view line);
    bool ReadHeader(std::string_view inside);
    bool ReadValue(std::string_view line);
    bool Fail(std::string message);

    std::string rootName_;
    std::string shortName_;
    // The bytes read since the tree was last built afresh, where its values' views point.
    std::deque<std::string> kept_;
    std::deque<PosixFile::LargeBuffer> keptLarge_;
    TreeArena arena_; // the tree's memory
    Node tree_;
    void OrderAppendedValues();

    Node* current_ = nullptr; // key the following values go to
    // current_, while its values are added in file order (it had none at its header).
    Node* appending_ = nullptr;
    FileValueOrder valueOrder_;
    std::string lastHeader_;         // the header that chose current_
    std::size_t lastValueCount_ = 0; // values of the key before current_
    // The parent of the last key named in a header, while no key has been freed since.
    Node* lastParent_ = nullptr;
    std::string lastParentPath_; // as the header spelled it
    std::size_t lastParentDepth_ = 0;
    std::uint64_t lastParentGeneration_ = 0;
    bool skipValues_ = false; // values after a key deletion are ignored
    std::string pending_;     // a value continued over several lines
    bool pendingActive_ = false;
    std::uint64_t pendingLines_ = 0;
    std::uint64_t pendingStart_ = 0;
    std::uint64_t readEnd_ = 0;
    std::uint64_t line_ = 0;
    bool sawSignature_ = false;
    std::uint64_t liveBytes_ = 0;
    std::uint64_t generation_ = 0;
    std::uint64_t errorLine_ = 0;
    std::string error_;
};

// The file's first lines.
extern const char* const Signature; // "REGEDIT4\r\n\r\n"

// One record: a key header with at most one value line, ending with an empty line. `path` is
// the key below the root, components joined with backslashes (empty for the root itself).
std::string KeyRecord(const std::string& rootName, const std::string& path);
std::string DeleteKeyRecord(const std::string& rootName, const std::string& path);
std::string SetValueRecord(const std::string& rootName, const std::string& path,
                           const std::string& name, std::uint32_t type, const std::string& data);
std::string DeleteValueRecord(const std::string& rootName, const std::string& path,
                              const std::string& name);

// The line of one value, without its line end. Only a REG_SZ with exactly one final NUL and no
// CR, LF or NUL before it takes the quoted form; a 4-byte REG_DWORD the dword: form; everything
// else is written byte for byte as hex.
std::string ValueLine(std::string_view name, std::uint32_t type, std::string_view data);

// The whole tree as a compacted file, signature included.
std::string WholeFile(const Node& tree, const std::string& rootName);

} // namespace RegistryFile

#endif
