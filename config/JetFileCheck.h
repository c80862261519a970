// What the database and system files of an alias are, told from their first bytes: the header
// every Jet database (and its successor ACE) begins with.
#pragma once

#include <string>

enum class JetFileState {
    Missing,        // no file of that name
    Folder,         // a folder, not a file
    Unreadable,     // there, but it cannot be opened or read
    NotJet,         // readable, but not a Jet database
    Jet3,           // Jet 3.x (Access 95 and 97)
    Jet4,           // Jet 4.0 (Access 2000 to 2003)
    Ace,            // the later ACE format (Access 2007 and later)
    UnknownVersion, // a Jet database header with a version code not known here
};

struct JetFileCheck {
    JetFileState state = JetFileState::Missing;
    int versionCode = -1; // the header's version byte, when there is a Jet header
};

// The state told by the first bytes of a file (at least 0x15 of them for a Jet database).
JetFileCheck JetFileFromHeader(const std::string& header);

// Opens the file at a Windows path read-only and reads its header.
JetFileCheck CheckJetFile(const std::string& path);

// "Jet 3.x", "Jet 4.0", "ACE", "missing", ... as a person reads it.
std::string DescribeJetFile(const JetFileCheck& check);

// True for the states that make the alias unusable: missing, a folder, unreadable, not Jet.
bool IsJetFileProblem(JetFileState state);
