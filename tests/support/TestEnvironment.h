// A private registry store and drive table for one test: a temporary folder holding the two
// registry files and a drive table whose "c:" is a folder of its own. The store and drive
// variables point there while the object lives, and are put back afterwards.
#pragma once

#include <string>
#include <vector>

class TestEnvironment {
public:
    TestEnvironment();
    ~TestEnvironment();
    TestEnvironment(const TestEnvironment&) = delete;
    TestEnvironment& operator=(const TestEnvironment&) = delete;

    const std::string& Root() const { return root_; }            // native temporary folder
    std::string DriveFolder(char letter) const;                   // native folder of a drive
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
};

// Sets or removes an environment variable of this process.
void SetEnv(const std::string& name, const std::string& value);
void UnsetEnv(const std::string& name);
