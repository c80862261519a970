// Telling an alias's database and system files apart by their header.
#include <gtest/gtest.h>

#include "FileSystem.h"
#include "JetFileCheck.h"
#include "TestEnvironment.h"

namespace
{

std::string Header(const char* format, char version)
{
    std::string header("\x00\x01\x00\x00", 4);
    header += std::string(format, 16);
    header.push_back(version);
    header += std::string(40, '\x5a');
    return header;
}

} // namespace

TEST(JetFileCheck, TheHeaderTellsJetVersionsAceAndOtherFiles)
{
    const char* jet = "Standard Jet DB\0";
    const char* ace = "Standard ACE DB\0";
    EXPECT_EQ(JetFileFromHeader(Header(jet, 0)).state, JetFileState::Jet3);
    EXPECT_EQ(JetFileFromHeader(Header(jet, 1)).state, JetFileState::Jet4);
    EXPECT_EQ(JetFileFromHeader(Header(ace, 2)).state, JetFileState::Ace);
    EXPECT_EQ(JetFileFromHeader(Header(ace, 5)).versionCode, 5);
    const JetFileCheck odd = JetFileFromHeader(Header(jet, 7));
    EXPECT_EQ(odd.state, JetFileState::UnknownVersion);
    EXPECT_EQ(DescribeJetFile(odd), "Jet, of an unknown version (code 7)");
    EXPECT_FALSE(IsJetFileProblem(odd.state));

    // Cut just before the version byte, a wrong first page, another name, text.
    EXPECT_EQ(JetFileFromHeader(Header(jet, 1).substr(0, 20)).state, JetFileState::NotJet);
    std::string page = Header(jet, 1);
    page[1] = '\x02';
    EXPECT_EQ(JetFileFromHeader(page).state, JetFileState::NotJet);
    EXPECT_EQ(JetFileFromHeader(Header("Standard Jet DX\0", 1)).state, JetFileState::NotJet);
    EXPECT_EQ(JetFileFromHeader("REGEDIT4\r\n").state, JetFileState::NotJet);
    EXPECT_EQ(JetFileFromHeader("").state, JetFileState::NotJet);
}

TEST(JetFileCheck, FilesAreFoundThroughTheirWindowsPaths)
{
    TestEnvironment environment;
    environment.WriteFile("C:\\db\\sales.mdb", Header("Standard Jet DB\0", 1));
    environment.WriteFile("C:\\db\\old.mdb", Header("Standard Jet DB\0", 0));
    environment.WriteFile("C:\\db\\notes.txt", "hello");
    ASSERT_TRUE(FileSystem::CreateFolder("C:\\db\\folder.mdb"));

    EXPECT_EQ(CheckJetFile("C:\\db\\sales.mdb").state, JetFileState::Jet4);
    EXPECT_EQ(CheckJetFile("C:\\DB\\OLD.MDB").state, JetFileState::Jet3);
    EXPECT_EQ(CheckJetFile("C:\\db\\notes.txt").state, JetFileState::NotJet);
    EXPECT_EQ(CheckJetFile("C:\\db\\folder.mdb").state, JetFileState::Folder);
    EXPECT_EQ(CheckJetFile("C:\\db\\missing.mdb").state, JetFileState::Missing);
    EXPECT_EQ(CheckJetFile("Q:\\no drive.mdb").state, JetFileState::Missing);
    for (const JetFileState state : {JetFileState::Missing, JetFileState::Folder,
                                     JetFileState::Unreadable, JetFileState::NotJet})
        EXPECT_TRUE(IsJetFileProblem(state));
}
