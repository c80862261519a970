// Wine's registry file format: what Wine wrote is read and written back byte for byte, values
// are written exactly as Wine writes them, and a change touches nothing but its own key.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "WineRegistryFile.h"

namespace
{

using WineRegistry::File;
using WineRegistry::Value;

// A piece of a system.reg as Wine 8 wrote it, with the features its files have.
const std::string WineText = "WINE REGISTRY Version 2\n"
                             ";; All keys relative to REGISTRY\\\\Machine\n"
                             "\n"
                             "#arch=win64\n"
                             "\n"
                             "[Software\\\\Borland\\\\Database Engine] 1796698985\n"
                             "#time=1dd86c0a547c4a0\n"
                             "\"CONFIGFILE01\"=\"C:\\\\Program Files\\\\IDAPI32.CFG\"\n"
                             "\n"
                             "[Software\\\\Classes\\\\Wow6432Node\\\\AppId] 1796698981\n"
                             "#time=1dd86c0a2b9fa28\n"
                             "#link\n"
                             "\"SymbolicLinkValue\"=hex(6):5c,00,52,00\n"
                             "\n"
                             "[Software\\\\Filters] 1796698985\n"
                             "#time=1dd86c0a537869e\n"
                             "\"FilterData\"=hex:02,00,00,00,00,00,60,00,02,00,00,00,00,00,00,00,"
                             "30,70,69,33,\\\n"
                             "  00,00,00,00,00,00,00,00,01\n"
                             "\n"
                             "[Software\\\\Wow6432Node\\\\Quillon\\\\Tessarium] 1796699183\n"
                             "#time=1dd86c11b10ade6\n"
                             "\"N\\xe4me[]\\\"\\\\x\"=str(7):\"a\\0b\\0\"\n"
                             "\"RootDir\"=\"C:\\\\Q\\xfc\\x20ac\\xd83d\\xde00x\"\n"
                             "\n"
                             "[Software\\\\Wow6432Node\\\\Registered Applications] 1796698981\n"
                             "#time=1dd86c0a2bb955e\n"
                             "@=\"\"\n"
                             "\"B\"=hex:00,ff,10\n"
                             "\"D\"=dword:12345678\n"
                             "\"E\"=str(2):\"%PATH%;x\"\n";

std::unique_ptr<File> Parsed(const std::string& text)
{
    auto file = std::make_unique<File>();
    EXPECT_TRUE(file->Parse(text)) << "line " << file->ErrorLine() << ": " << file->Error();
    return file;
}

std::string ProgramText(const Value& value)
{
    return WineRegistry::Utf8FromUtf16(WineRegistry::Utf16FromBytes(value.data));
}

// The file with the modification times of touched keys made fixed, for comparison.
std::string WithoutFreshTimes(const std::string& text, std::uint64_t now)
{
    char stamp[40];
    std::snprintf(stamp, sizeof stamp, "#time=%x%08x", static_cast<unsigned>(now >> 32),
                  static_cast<unsigned>(now & 0xFFFFFFFFu));
    std::string out = std::regex_replace(text, std::regex(stamp), "#time=NOW");
    const std::uint64_t seconds = (now - 116444736000000000ULL) / 10000000ULL;
    return std::regex_replace(out, std::regex("\\] " + std::to_string(seconds) + "\n"), "] NOW\n");
}

TEST(WineRegistryFile, WhatWineWroteIsReadAndWrittenBackByteForByte)
{
    auto file = Parsed(WineText);
    EXPECT_EQ(file->Text(), WineText);
    EXPECT_EQ(file->Arch(), "win64");

    WineRegistry::Node* key = file->Find({"software", "WOW6432NODE", "Quillon", "Tessarium"});
    ASSERT_TRUE(key && key->block);
    ASSERT_EQ(key->block->values.size(), 2u);
    const Value& multi = key->block->values[0];
    EXPECT_EQ(multi.name, "N\xC3\xA4me[]\"\\x");
    EXPECT_EQ(multi.type, 7u);
    EXPECT_EQ(ProgramText(multi), std::string("a\0b\0\0", 5));
    const Value& root = key->block->values[1];
    EXPECT_EQ(ProgramText(root), std::string("C:\\Q\xC3\xBC\xE2\x82\xAC\xF0\x9F\x98\x80x\0", 15));
    // Names compare ignoring the case of letters beyond ASCII too.
    EXPECT_NE(key->block->FindValue(WineRegistry::Folded("N\xC3\x84ME[]\"\\X")), nullptr);

    WineRegistry::Node* other = file->Find({"Software", "Wow6432Node", "Registered Applications"});
    ASSERT_TRUE(other && other->block);
    const auto& values = other->block->values;
    ASSERT_EQ(values.size(), 4u);
    EXPECT_EQ(values[0].name, "");
    EXPECT_EQ(values[0].data, std::string(2, '\0'));
    EXPECT_EQ(values[1].data, std::string("\x00\xff\x10", 3));
    EXPECT_EQ(values[2].data, "\x78\x56\x34\x12");
    EXPECT_EQ(values[3].type, 2u);
    WineRegistry::Node* filters = file->Find({"Software", "Filters"});
    ASSERT_TRUE(filters && filters->block);
    EXPECT_EQ(filters->block->values[0].data.size(), 29u);
    // Keys without a block of their own exist because their subkeys do.
    ASSERT_NE(file->Find({"Software", "Classes"}), nullptr);
    EXPECT_EQ(file->Find({"Software", "Classes"})->block, nullptr);
    EXPECT_EQ(file->Find({"Software", "Missing"}), nullptr);
}

TEST(WineRegistryFile, ValuesAreWrittenAsWineWritesThem)
{
    const auto text = [](const std::string& name, std::uint32_t type, const std::string& data) {
        Value value;
        value.name = name;
        value.type = type;
        value.data = data;
        return WineRegistry::ValueText(value);
    };
    const auto wide = [](const std::string& utf8) {
        return WineRegistry::BytesFromUtf16(WineRegistry::Utf16FromUtf8(utf8));
    };
    // Lines Wine 8 wrote for values set with "reg add".
    EXPECT_EQ(text("N\xC3\xA4me[]\"\\x", 7, wide(std::string("a\0b\0\0", 5))),
              "\"N\\xe4me[]\\\"\\\\x\"=str(7):\"a\\0b\\0\"");
    EXPECT_EQ(
        text("RootDir", 1, wide(std::string("C:\\Q\xC3\xBC\xE2\x82\xAC\xF0\x9F\x98\x80x\0", 15))),
        "\"RootDir\"=\"C:\\\\Q\\xfc\\x20ac\\xd83d\\xde00x\"");
    EXPECT_EQ(text("B", 3, std::string("\x00\xff\x10", 3)), "\"B\"=hex:00,ff,10");
    EXPECT_EQ(text("D", 4, "\x78\x56\x34\x12"), "\"D\"=dword:12345678");
    EXPECT_EQ(text("E", 2, wide(std::string("%PATH%;x\0", 9))), "\"E\"=str(2):\"%PATH%;x\"");
    EXPECT_EQ(text("", 1, wide(std::string(1, '\0'))), "@=\"\"");
    // A long value wraps where Wine wraps it (system.reg of a fresh prefix).
    const std::string filter("\x02\0\0\0\0\0\x60\0\x02\0\0\0\0\0\0\0\x30\x70\x69\x33"
                             "\0\0\0\0\0\0\0\0\x01\0\0\0\0\0\0\0\0\0\0\0\x30\x74\x79\x33\0",
                             45);
    EXPECT_EQ(text("FilterData", 3, filter),
              "\"FilterData\"=hex:02,00,00,00,00,00,60,00,02,00,00,00,00,00,00,00,30,70,69,33,\\\n"
              "  00,00,00,00,00,00,00,00,01,00,00,00,00,00,00,00,00,00,00,00,30,74,79,33,00");
    // A hex digit after a character beyond ASCII takes the four-digit escape, an octal digit
    // after a control character the three-digit one; texts without their final NUL, odd-sized
    // ones and dwords of another size are written as bytes.
    EXPECT_EQ(text("x", 1,
                   wide(std::string("\xC3\xA9"
                                    "a\x01"
                                    "7\x01z\x1b\0",
                                    9))),
              "\"x\"=\"\\x00e9a\\0017\\1z\\e\"");
    EXPECT_EQ(text("t", 1, wide("ab")), "\"t\"=hex(1):61,00,62,00");
    EXPECT_EQ(text("o", 2, std::string("a\0\0", 3)), "\"o\"=hex(2):61,00,00");
    EXPECT_EQ(text("d", 4, "\x01\x02"), "\"d\"=hex(4):01,02");
    EXPECT_EQ(text("n", 0, ""), "\"n\"=hex(0):");
}

TEST(WineRegistryFile, EveryValueComesBackAsItWasWritten)
{
    const std::string wideControl = WineRegistry::BytesFromUtf16(
        std::u16string{u'\t', u'\n', u'\r', 0x7F, 0x80, 0x1B, u'0', 0x01, u'8', 0xD800, 0});
    const std::vector<Value> values = {
        {"plain", {}, 1, WineRegistry::BytesFromUtf16(u"C:\\Program Files\\\"x\"[y]"), {}},
        {"control", {}, 1, wideControl, {}},
        {"expand", {}, 2, WineRegistry::BytesFromUtf16(std::u16string(u"%A%\0", 4)), {}},
        {"multi", {}, 7, WineRegistry::BytesFromUtf16(std::u16string(u"a\0b\0\0", 5)), {}},
        {"odd", {}, 1, std::string("a\0b", 3), {}},
        {"dword", {}, 4, std::string("\0\0\0\x80", 4), {}},
        {"empty", {}, 3, "", {}},
        {"long", {}, 3, std::string(300, '\xAB'), {}},
        {"type", {}, 0x20000, "\x01", {}},
        {"\xE2\x82\xAC\xF0\x9F\x98\x80", {}, 3, "\x01", {}},
    };
    std::string text = "WINE REGISTRY Version 2\n\n[Key] 0\n";
    for (const Value& value : values)
        text += WineRegistry::ValueText(value) + "\n";
    auto file = Parsed(text);
    WineRegistry::Node* key = file->Find({"Key"});
    ASSERT_TRUE(key && key->block);
    ASSERT_EQ(key->block->values.size(), values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        SCOPED_TRACE(values[i].name);
        EXPECT_EQ(key->block->values[i].name, values[i].name);
        EXPECT_EQ(key->block->values[i].type, values[i].type);
        // A text that Wine writes quoted gets back the final NUL the quotes leave out.
        EXPECT_EQ(key->block->values[i].data, values[i].data);
    }
    EXPECT_EQ(file->Text(), text);
}

TEST(WineRegistryFile, AChangeRewritesOnlyTheKeysItTouches)
{
    auto file = Parsed(WineText);
    const std::uint64_t now = File::Now();
    // A new value in a key, a new key between two others, a new key in a new branch, and a
    // deleted key whose parent is left without subkeys.
    WineRegistry::Node* tessarium = file->Find({"Software", "Wow6432Node", "Quillon", "Tessarium"});
    ASSERT_NE(tessarium, nullptr);
    file->SetValue(*tessarium, "Added", 4, std::string("\x01\0\0\0", 4), now);
    file->CreatePath({"Software", "Wow6432Node", "Quillon", "Tessarium", "Configuration"}, now);
    file->CreatePath({"Software", "Zeta", "Inner"}, now);
    file->DeleteKey(*file->Find({"Software", "Borland", "Database Engine"}), now);

    const std::string expected =
        "WINE REGISTRY Version 2\n"
        ";; All keys relative to REGISTRY\\\\Machine\n"
        "\n"
        "#arch=win64\n"
        "\n"
        "[Software\\\\Borland] NOW\n"
        "#time=NOW\n"
        "\n"
        "[Software\\\\Classes\\\\Wow6432Node\\\\AppId] 1796698981\n"
        "#time=1dd86c0a2b9fa28\n"
        "#link\n"
        "\"SymbolicLinkValue\"=hex(6):5c,00,52,00\n"
        "\n"
        "[Software\\\\Filters] 1796698985\n"
        "#time=1dd86c0a537869e\n"
        "\"FilterData\"=hex:02,00,00,00,00,00,60,00,02,00,00,00,00,00,00,00,30,70,69,33,\\\n"
        "  00,00,00,00,00,00,00,00,01\n"
        "\n"
        "[Software\\\\Wow6432Node\\\\Quillon\\\\Tessarium] NOW\n"
        "#time=NOW\n"
        "\"Added\"=dword:00000001\n"
        "\"N\\xe4me[]\\\"\\\\x\"=str(7):\"a\\0b\\0\"\n"
        "\"RootDir\"=\"C:\\\\Q\\xfc\\x20ac\\xd83d\\xde00x\"\n"
        "\n"
        "[Software\\\\Wow6432Node\\\\Quillon\\\\Tessarium\\\\Configuration] NOW\n"
        "#time=NOW\n"
        "\n"
        "[Software\\\\Wow6432Node\\\\Registered Applications] 1796698981\n"
        "#time=1dd86c0a2bb955e\n"
        "@=\"\"\n"
        "\"B\"=hex:00,ff,10\n"
        "\"D\"=dword:12345678\n"
        "\"E\"=str(2):\"%PATH%;x\"\n"
        "\n"
        "[Software\\\\Zeta\\\\Inner] NOW\n"
        "#time=NOW\n";
    EXPECT_EQ(WithoutFreshTimes(file->Text(), now), expected);
    // What was written reads back as the same keys and values.
    auto again = Parsed(file->Text());
    EXPECT_NE(again->Find({"Software", "Zeta", "Inner"}), nullptr);
    EXPECT_EQ(again->Find({"Software", "Borland", "Database Engine"}), nullptr);
    ASSERT_NE(again->Find({"Software", "Borland"}), nullptr);
    EXPECT_EQ(again->Text(), file->Text());
}

TEST(WineRegistryFile, AFileThatDoesNotParseIsRefusedWithItsLine)
{
    const std::string head = "WINE REGISTRY Version 2\n\n[Key] 1\n";
    const struct {
        std::string text;
        std::uint64_t line;
    } cases[] = {
        {"REGEDIT4\n", 1},
        {"", 1},
        {"WINE REGISTRY Version 2\n\"v\"=\"x\"\n", 2},
        {"WINE REGISTRY Version 2\n#unknown=1\n", 2},
        {head + "\"v\"=\"unterminated\n", 4},
        {head + "\"v\"=dword:123456789\n", 4},
        {head + "\"v\"=dword:xyz\n", 4},
        {head + "\"v\"=hex:01,zz\n", 4},
        {head + "\"v\"=hex:01,\\\n", 4},
        {head + "\"v\"=hex(:01\n", 4},
        {head + "\"v\"=str(9):\"a\"\n", 4},
        {head + "\"v\"\n", 4},
        {head + "\"v\"=\"a\"\n\"V\"=\"b\"\n", 5},
        {head + "stray text\n", 4},
        {head + "[Key\\\\\\\\Double] 1\n", 4},
        {head + "[Unclosed 1\n", 4},
        {head + "[KEY] 2\n", 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        File file;
        EXPECT_FALSE(file.Parse(c.text));
        EXPECT_EQ(file.ErrorLine(), c.line) << file.Error();
        EXPECT_FALSE(file.Error().empty());
    }
    // Deeper than the registry allows.
    std::string deep = "WINE REGISTRY Version 2\n\n[k";
    for (std::size_t i = 0; i < WineRegistry::MaxKeyDepth; ++i)
        deep += "\\\\k";
    File file;
    EXPECT_FALSE(file.Parse(deep + "] 1\n"));
    EXPECT_EQ(file.ErrorLine(), 3u);
}

TEST(WineRegistryFile, TextsConvertBetweenUtf8AndUtf16WithoutLoss)
{
    const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    EXPECT_EQ(WineRegistry::Utf16FromUtf8(text),
              (std::u16string{u'a', 0xE9, 0x20AC, 0xD83D, 0xDE00}));
    EXPECT_EQ(WineRegistry::Utf8FromUtf16(WineRegistry::Utf16FromUtf8(text)), text);
    // A lone surrogate (a name Wine may hold) survives the round trip; bytes that are not UTF-8
    // read as the replacement character.
    const std::u16string lone{u'x', 0xDC00, u'y'};
    EXPECT_EQ(WineRegistry::Utf16FromUtf8(WineRegistry::Utf8FromUtf16(lone)), lone);
    EXPECT_EQ(WineRegistry::Utf16FromUtf8("\xFF"
                                          "a\xC3"),
              (std::u16string{0xFFFD, u'a', 0xFFFD}));
    EXPECT_EQ(WineRegistry::Folded("Stra\xC3\x9F"
                                   "e \xC3\xA4\xCE\xB1\xD0\xB6\xC4\x87"),
              WineRegistry::Folded("STRA\xC3\x9F"
                                   "E \xC3\x84\xCE\x91\xD0\x96\xC4\x86"));
}

} // namespace
