#include "JetFileCheck.h"

#include <fstream>

#include "FileSystem.h"

namespace
{

// Bytes 0..3 are the first page's type and bytes 4..19 the format's name; byte 0x14 numbers the
// version within it.
constexpr std::size_t VersionOffset = 0x14;
const std::string PageStart("\x00\x01\x00\x00", 4);
const std::string JetName("Standard Jet DB\0", 16);
const std::string AceName("Standard ACE DB\0", 16);

} // namespace

JetFileCheck JetFileFromHeader(const std::string& header)
{
    JetFileCheck check;
    check.state = JetFileState::NotJet;
    if (header.size() <= VersionOffset || header.compare(0, 4, PageStart) != 0)
        return check;
    const std::string name = header.substr(4, 16);
    const int version = static_cast<unsigned char>(header[VersionOffset]);
    if (name == AceName) {
        check.state = JetFileState::Ace;
    } else if (name == JetName) {
        check.state = version == 0   ? JetFileState::Jet3
                      : version == 1 ? JetFileState::Jet4
                                     : JetFileState::UnknownVersion;
    } else {
        return check;
    }
    check.versionCode = version;
    return check;
}

JetFileCheck CheckJetFile(const std::string& path)
{
    JetFileCheck check;
    switch (FileSystem::Find(path)) {
    case FileSystem::EntryKind::None:
        check.state = JetFileState::Missing;
        return check;
    case FileSystem::EntryKind::Folder:
        check.state = JetFileState::Folder;
        return check;
    case FileSystem::EntryKind::File:
        break;
    }
    std::ifstream file(FileSystem::NativePath(path), std::ios::in | std::ios::binary);
    if (!file) {
        check.state = JetFileState::Unreadable;
        return check;
    }
    std::string header(0x20, '\0');
    file.read(&header[0], static_cast<std::streamsize>(header.size()));
    if (file.bad()) {
        check.state = JetFileState::Unreadable;
        return check;
    }
    header.resize(static_cast<std::size_t>(file.gcount()));
    return JetFileFromHeader(header);
}

std::string DescribeJetFile(const JetFileCheck& check)
{
    switch (check.state) {
    case JetFileState::Missing:
        return "missing";
    case JetFileState::Folder:
        return "a folder, not a database file";
    case JetFileState::Unreadable:
        return "unreadable";
    case JetFileState::NotJet:
        return "not a Jet database";
    case JetFileState::Jet3:
        return "Jet 3.x";
    case JetFileState::Jet4:
        return "Jet 4.0";
    case JetFileState::Ace:
        return "ACE (Access 2007 or later)";
    case JetFileState::UnknownVersion:
        return "Jet, of an unknown version (code " + std::to_string(check.versionCode) + ")";
    }
    return std::string();
}

bool IsJetFileProblem(JetFileState state)
{
    return state == JetFileState::Missing || state == JetFileState::Folder ||
           state == JetFileState::Unreadable || state == JetFileState::NotJet;
}
