// Aliases written as a REGEDIT4 file and read back: a round trip through an empty store keeps
// every key, value type and byte, and a file that reaches outside the Aliases key is refused
// before anything is written.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <tuple>

#include "AliasRegFile.h"
#include "RegistryStore.h"
#include "TestEnvironment.h"

namespace
{

const std::string Aliases = "Software\\Quillon\\Tessarium\\Configuration\\Aliases";
const std::string MachineAliases = "[HKEY_LOCAL_MACHINE\\" + Aliases;

std::string Text(const std::string& text)
{
    return text + std::string(1, '\0');
}

// Raw access below the root, as another program would write and read the registry.
void Put(RegistryRoot root, const std::string& key, const std::string& name, std::uint32_t type,
         const std::string& data)
{
    std::unique_ptr<RegistryStore> store = CreateRegistryStore();
    std::unique_ptr<RegistryKey> handle;
    ASSERT_EQ(store->CreateKey(root, nullptr, key, KeyAccess::ReadWrite, handle), StoreStatus::Ok);
    ASSERT_EQ(store->SetValue(*handle, name, type, data), StoreStatus::Ok);
}

bool KeyExists(RegistryRoot root, const std::string& key)
{
    std::unique_ptr<RegistryStore> store = CreateRegistryStore();
    std::unique_ptr<RegistryKey> handle;
    return store->OpenKey(root, nullptr, key, KeyAccess::Read, handle) == StoreStatus::Ok;
}

// Every value below a key, by "subkey path|value name", with its type and bytes.
using Dump = std::map<std::string, std::pair<std::uint32_t, std::string>>;
void DumpTree(RegistryStore& store, RegistryRoot root, const RegistryKey& key,
              const std::string& path, Dump& dump)
{
    std::string name;
    for (std::uint32_t i = 0; store.EnumValue(key, i, name) == StoreStatus::Ok; ++i) {
        std::uint32_t type = 0;
        std::string data;
        EXPECT_EQ(store.QueryValue(key, name, type, data), StoreStatus::Ok);
        dump[path + "|" + name] = {type, data};
    }
    for (std::uint32_t i = 0; store.EnumKey(key, i, name) == StoreStatus::Ok; ++i) {
        std::unique_ptr<RegistryKey> child;
        ASSERT_EQ(store.OpenKey(root, &key, name, KeyAccess::Read, child), StoreStatus::Ok);
        dump[path + "\\" + name] = {};
        DumpTree(store, root, *child, path + "\\" + name, dump);
    }
}

Dump DumpAliases(RegistryRoot root)
{
    Dump dump;
    std::unique_ptr<RegistryStore> store = CreateRegistryStore();
    std::unique_ptr<RegistryKey> key;
    if (store->OpenKey(root, nullptr, Aliases, KeyAccess::Read, key) == StoreStatus::Ok)
        DumpTree(*store, root, *key, "", dump);
    return dump;
}

std::string Export(AliasScope scope, const std::vector<std::string>& names = {})
{
    std::vector<std::string> missing;
    std::string text = ExportAliases(scope, names, missing);
    EXPECT_TRUE(missing.empty());
    return text;
}

void SeedVariedAliases()
{
    const RegistryRoot root = RegistryRoot::LocalMachine;
    Put(root, Aliases + "\\Sales", "Path", REG_TYPE_SZ, Text("C:\\db\\\"quoted\"\\sales.mdb"));
    Put(root, Aliases + "\\Sales", "Read Only", REG_TYPE_SZ, Text("tRUE"));
    Put(root, Aliases + "\\Sales", "SystemDb", REG_TYPE_EXPAND_SZ, Text("%SYSTEMROOT%\\s.mdw"));
    Put(root, Aliases + "\\Sales", "Connect", REG_TYPE_SZ, Text("ODBC;a=1\r\nb=2"));
    Put(root, Aliases + "\\Sales", "", REG_TYPE_SZ, Text("default value"));
    Put(root, Aliases + "\\Sales", "Owner's count", REG_TYPE_DWORD, std::string("\x2a\0\0\x80", 4));
    Put(root, Aliases + "\\Sales", "Blob", REG_TYPE_BINARY, std::string("\0\xff\x10", 3));
    Put(root, Aliases + "\\Sales", "No end", REG_TYPE_SZ, "without its NUL");
    Put(root, Aliases + "\\Sales\\Deeper\\Still", "Note", REG_TYPE_SZ, Text("kept"));
    Put(root, Aliases + "\\co-op", "Path", REG_TYPE_SZ, Text(""));
    Put(root, Aliases + "\\Empty", "x", REG_TYPE_SZ, Text("y"));
    Put(RegistryRoot::CurrentUser, Aliases + "\\UserOnly", "Path", REG_TYPE_SZ, Text("u"));
}

} // namespace

TEST(AliasFile, ExportImportIntoAnEmptyStoreGivesTheSameAliasesByteForByte)
{
    std::string exported;
    Dump original;
    {
        TestEnvironment machine;
        SeedVariedAliases();
        original = DumpAliases(RegistryRoot::LocalMachine);
        exported = Export(AliasScope::Global);
        // Only the scope asked for.
        EXPECT_EQ(exported.find("UserOnly"), std::string::npos);
    }
    TestEnvironment empty;
    AliasImport import;
    ASSERT_TRUE(import.Parse(exported, AliasScope::Global)) << import.Problem().message;
    import.Apply();

    EXPECT_EQ(DumpAliases(RegistryRoot::LocalMachine), original);
    EXPECT_EQ(Export(AliasScope::Global), exported);
    EXPECT_EQ(original.at("\\Sales|Owner's count").first, REG_TYPE_DWORD);
    EXPECT_EQ(original.count("\\Sales\\Deeper\\Still|Note"), 1u);
}

TEST(AliasFile, ExportWritesRegeditTextInTheAliasWindowsOrder)
{
    TestEnvironment environment;
    Put(RegistryRoot::CurrentUser, Aliases + "\\beta", "Path", REG_TYPE_SZ, Text("b\\\"x\""));
    Put(RegistryRoot::CurrentUser, Aliases + "\\Alpha", "Flag", REG_TYPE_EXPAND_SZ, Text("%A%"));
    Put(RegistryRoot::CurrentUser, Aliases + "\\alpha2", "n", REG_TYPE_DWORD,
        std::string("\x01\x02\x03\x04", 4));
    const std::string user = "[HKEY_CURRENT_USER\\" + Aliases;
    EXPECT_EQ(Export(AliasScope::CurrentUser),
              "REGEDIT4\r\n\r\n" + user + "\\Alpha]\r\n\"Flag\"=hex(2):25,41,25,00\r\n\r\n" + user +
                  "\\alpha2]\r\n\"n\"=dword:04030201\r\n\r\n" + user +
                  "\\beta]\r\n\"Path\"=\"b\\\\\\\"x\\\"\"\r\n\r\n");

    std::vector<std::string> missing;
    const std::string some =
        ExportAliases(AliasScope::CurrentUser, {"BETA", "nobody", "beta"}, missing);
    EXPECT_EQ(missing, std::vector<std::string>({"nobody"}));
    EXPECT_EQ(some, "REGEDIT4\r\n\r\n" + user + "\\beta]\r\n\"Path\"=\"b\\\\\\\"x\\\"\"\r\n\r\n");
}

TEST(AliasFile, ImportCreatesChangesAndDeletesAliasesInFileOrder)
{
    TestEnvironment environment;
    Put(RegistryRoot::LocalMachine, Aliases + "\\Old", "Path", REG_TYPE_SZ, Text("o"));
    Put(RegistryRoot::LocalMachine, Aliases + "\\Old\\Sub", "x", REG_TYPE_SZ, Text("o"));
    Put(RegistryRoot::LocalMachine, Aliases + "\\Keep", "Gone", REG_TYPE_SZ, Text("g"));
    const std::string file = "\xEF\xBB\xBFREGEDIT4\n"
                             "; provisioning\n" +
                             MachineAliases + "\\old]\n" + "[-" + MachineAliases.substr(1) +
                             "\\old]\n" + MachineAliases + "\\Keep]\n\"Gone\"=-\n" +
                             "\"Long\"=hex:01,\\\n   02,03\n" + "[HKLM\\" + Aliases +
                             "\\New]\n@=\"d\"\n\"Path\" = \"C:\\\\n.mdb\"\n";
    AliasImport import;
    ASSERT_TRUE(import.Parse(file, AliasScope::Global))
        << import.Problem().line << ": " << import.Problem().message;
    EXPECT_EQ(import.AliasNames(), std::vector<std::string>({"old", "Keep", "New"}));
    import.Apply();

    const Dump dump = DumpAliases(RegistryRoot::LocalMachine);
    const Dump expected = {{"\\Keep", {}},
                           {"\\Keep|Long", {REG_TYPE_BINARY, std::string("\x01\x02\x03", 3)}},
                           {"\\New", {}},
                           {"\\New|", {REG_TYPE_SZ, Text("d")}},
                           {"\\New|Path", {REG_TYPE_SZ, Text("C:\\n.mdb")}}};
    EXPECT_EQ(dump, expected);
}

TEST(AliasFile, AFileThatReachesElsewhereOrDoesNotParseIsRefusedWholeAndWritesNothing)
{
    const std::string good = MachineAliases + "\\Sales]\r\n\"Path\"=\"C:\\\\s.mdb\"\r\n";
    // The line of the problem, and (for an alias key of the other root) the scope it belongs to.
    const std::tuple<std::string, std::size_t, std::optional<AliasScope>> cases[] = {
        {"REGEDIT4\r\n" + good + "[HKEY_LOCAL_MACHINE\\Software\\Quillon]\r\n", 4, std::nullopt},
        {"REGEDIT4\r\n" + good + MachineAliases + "]\r\n\"x\"=\"y\"\r\n", 4, std::nullopt},
        {"REGEDIT4\r\n" + good + "[HKEY_CURRENT_USER\\" + Aliases + "\\U]\r\n", 4,
         AliasScope::CurrentUser},
        {"REGEDIT4\r\n" + good +
             "[HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Quillon\\Tessarium"
             "\\Configuration\\Aliases\\X]\r\n",
         4, std::nullopt},
        {"REGEDIT4\r\n" + good + MachineAliases + "\\\\X]\r\n", 4, std::nullopt},
        {"REGEDIT4\r\n" + good + "[-HKEY_LOCAL_MACHINE\\" + Aliases + "]\r\n", 4, std::nullopt},
        {"REGEDIT4\r\n" + good + "\"Stray\"=dword:123456789\r\n", 4, std::nullopt},
        {"REGEDIT4\r\n" + good + "\"Bad\"=\"unknown \\t escape\"\r\n", 4, std::nullopt},
        {"REGEDIT4\r\n" + good + "\"Open\"=\"no end\r\n", 4, std::nullopt},
        {"REGEDIT4\r\n" + good + "just text\r\n", 4, std::nullopt},
        {"REGEDIT4\r\n\"Before\"=\"any key\"\r\n" + good, 2, std::nullopt},
        {"REGEDIT4\r\n[-" + MachineAliases.substr(1) + "\\X]\r\n\"v\"=\"after\"\r\n", 3,
         std::nullopt},
        {"REGEDIT4\r\n" + good + "\"Cut\"=hex:01,\\\r\n", 4, std::nullopt},
        {good, 1, std::nullopt},
        {"Windows Registry Editor Version 5.00\r\n\r\n" + good, 1, std::nullopt},
        {std::string("\xFF\xFE", 2) + "R\0E\0", 1, std::nullopt},
        {"", 1, std::nullopt},
    };
    for (const auto& [file, line, otherScope] : cases) {
        TestEnvironment environment;
        AliasImport import;
        EXPECT_FALSE(import.Parse(file, AliasScope::Global)) << file;
        EXPECT_EQ(import.Problem().line, line) << file << import.Problem().message;
        EXPECT_EQ(import.Problem().otherScope, otherScope) << file;
        EXPECT_FALSE(import.Problem().message.empty());
        // A refused file has nothing left to apply.
        import.Apply();
        EXPECT_FALSE(KeyExists(RegistryRoot::LocalMachine, Aliases + "\\Sales")) << file;
    }
}
