// A private registry store and drive table for one test: a temporary folder holding the two
// registry files and a drive table whose "c:" is a folder of its own. The store and drive
// variables point there while the object lives, and are put back afterwards.
//
// On Windows the registry and the drives are the system's own, so the tests need a scratch
// machine (a Wine prefix of their own, see scripts/test-windows.sh) and refuse to run unless
// QTS_TEST_SCRATCH_MACHINE=1 says they have one. There the object makes each test start and end
// clean instead: the product's registry keys (Software\Quillon, Software\Borland,
// Software\QtsTest) are deleted under both roots, in the program's own registry view and in the
// 64-bit one (tests may write there to stand for a 64-bit program), every key and every file or
// folder on drive C: that appears while it lives is removed again, and AddDrive empties a drive
// that the scratch machine maps (drive C: itself stands for its own folder: DriveFolder('c') is
// "C:\").
#pragma once

#include <string>
#include <vector>

class TestEnvironment
{
public:
    TestEnvironment();
    ~TestEnvironment();
    TestEnvironment(const TestEnvironment&) = delete;
    TestEnvironment& operator=(const TestEnvironment&) = delete;

    const std::string& Root() const { return root_; } // native temporary folder
    std::string DriveFolder(char letter) const;       // native folder of a drive
    std::string UserRegistryFile() const { return root_ + "/user.reg"; }
    std::string MachineRegistryFile() const { return root_ + "/machine.reg"; }

    // Maps a drive letter to a new folder below Root() (C: exists from the start).
    std::string AddDrive(char letter);

    // Files by Windows path (through the drive table).
    void WriteFile(const std::string& windowsPath, const std::string& bytes) const;
    std::string ReadFile(const std::string& windowsPath) const;
    bool Exists(const std::string& windowsPath) const;

private:
    std::string root_;
    std::vector<std::pair<std::string, std::string>> savedVariables_;
#ifdef _WIN32
    std::vector<std::string> driveCBefore_;   // entries of drive C: when the test started
    std::vector<std::string> registryBefore_; // keys near the top of both roots, likewise
    std::vector<char> addedDrives_;
#endif
};

// Makes a folder the current folder (and so, on Windows, its drive the current drive) while it
// lives, and puts the previous one back afterwards.
class CurrentFolder
{
public:
    explicit CurrentFolder(const std::string& folder);
    ~CurrentFolder();
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

private:
    std::string previous_;
};

// Sets or removes an environment variable of this process.
void SetEnv(const std::string& name, const std::string& value);
void UnsetEnv(const std::string& name);
