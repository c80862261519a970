// WineRegistryFile: one of Wine's registry files (system.reg, user.reg) in memory, changed in
// place and written back so that every key the program did not touch keeps its text byte for
// byte.
//
// The format, as Wine's server writes it:
//   WINE REGISTRY Version 2
//   ;; All keys relative to REGISTRY\\Machine
//
//   #arch=win64
//
//   [Software\\Borland\\Delphi\\3.0] 1796698985
//   #time=1dd86c0a547c4a0
//   @="default"
//   "RootDir"="C:\\Program Files\\Borland\\Delphi 3"
//   "Path"=str(2):"%SystemRoot%\\x"
//   "List"=str(7):"a\0b\0"
//   "Flag"=dword:00000001
//   "Blob"=hex:00,ff,10
//   "Other"=hex(5):01,02,03,04,05
// A long hex value goes on after a final backslash on lines indented by two spaces.
// Key paths and names are UTF-16 inside Wine; in the file, characters beyond ASCII are written
// as \x escapes and control characters as C or octal escapes. String values (types 1, 2 and 7)
// are held as Wine holds them (UTF-16LE with the final NUL); Utf8FromUtf16 and Utf16FromUtf8
// convert them to and from this program's UTF-8 texts.
//
// A key has a block in the file when it has values or no subkeys (Wine leaves out the others,
// which exist because their subkeys do). Blocks are kept in file order with the text before and
// in them; a touched block is written anew in Wine's own layout with a fresh modification time,
// and a new block goes where Wine would put it, in front of the next key in Wine's order.
#pragma once

#ifndef _WIN32

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace WineRegistry
{

// UTF-8 (invalid bytes read as U+FFFD; encoded lone surrogates kept) to UTF-16 and back (lone
// surrogates are encoded as three bytes, so that any name Wine holds comes back unchanged).
std::u16string Utf16FromUtf8(std::string_view text);
std::string Utf8FromUtf16(std::u16string_view text);

// Little-endian UTF-16 bytes, as Wine stores string data, and back (an odd last byte is
// dropped).
std::string BytesFromUtf16(std::u16string_view text);
std::u16string Utf16FromBytes(std::string_view bytes);

// The form in which names compare: upper case for the letters of the Latin, Greek and Cyrillic
// alphabets, as Wine compares key and value names.
std::u16string Folded(std::string_view utf8Name);

// Deepest key path a file may hold (the Windows registry's limit).
constexpr std::size_t MaxKeyDepth = 512;

struct Value {
    std::string name; // UTF-8, as written
    std::u16string folded;
    std::uint32_t type = 0;
    std::string data;      // as Wine holds it
    std::string_view text; // its lines in the file; empty when written anew
};

struct Node;

struct Block {
    Node* node = nullptr;
    std::string_view lead;            // blank lines and comments before the header
    std::string_view body;            // header to last line, verbatim while untouched
    bool touched = false;             // written anew at the next save
    std::uint64_t modified = 0;       // #time: 100 ns ticks since 1601
    std::vector<std::string> options; // other #-lines (#class=, #link), verbatim
    std::vector<Value> values;        // in file order

    Value* FindValue(std::u16string_view folded);
};

struct Node {
    std::string name; // UTF-8, as written
    std::u16string folded;
    Node* parent = nullptr;
    std::vector<std::unique_ptr<Node>> children; // sorted by folded name
    Block* block = nullptr;

    Node* Child(std::u16string_view foldedName) const;
};

class File
{
public:
    // Reads a whole file; false with Error() and ErrorLine() when it does not parse. The text is
    // kept: untouched blocks are written back from it.
    bool Parse(std::string text);
    const std::string& Error() const { return error_; }
    std::uint64_t ErrorLine() const { return errorLine_; }

    // "win64" or "win32" from the #arch line; empty when there is none.
    const std::string& Arch() const { return arch_; }

    Node& Root() { return root_; }
    // The key at a path of names (compared folded); null when missing.
    Node* Find(const std::vector<std::string>& path);

    // Changes. Each marks what it changes as touched; `now` is the modification time to give.
    // Creates the missing keys of a path; answers the key.
    Node& CreatePath(const std::vector<std::string>& path, std::uint64_t now);
    void SetValue(Node& key, std::string_view name, std::uint32_t type, std::string data,
                  std::uint64_t now);
    bool DeleteValue(Node& key, std::string_view name, std::uint64_t now);
    // Deletes a key without subkeys (never the root).
    void DeleteKey(Node& key, std::uint64_t now);

    // The whole file as it is to be written.
    std::string Text() const;

    // The time Wine gives a key changed now.
    static std::uint64_t Now();

private:
    bool Fail(std::uint64_t line, std::string message);
    Block& AddBlock(Node& node);
    void Touch(Node& node, std::uint64_t now);
    std::string BlockText(const Block& block) const;

    std::string source_;
    std::string_view preamble_;
    std::string_view trailer_;
    std::string arch_;
    Node root_;
    std::list<Block> blocks_;
    std::string error_;
    std::uint64_t errorLine_ = 0;
};

// The text of one value line as Wine writes it (without the final line end), continued hex
// lines included.
std::string ValueText(const Value& value);
// A key path as a header writes it, components joined with "\\".
std::string EscapedPath(const Node& node);

} // namespace WineRegistry

#endif
