#include "TestEnvironment.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "FileSystem.h"

namespace fs = std::filesystem;

void SetEnv(const std::string& name, const std::string& value)
{
#ifdef _WIN32
    _putenv_s(name.c_str(), value.c_str());
#else
    setenv(name.c_str(), value.c_str(), 1);
#endif
}

void UnsetEnv(const std::string& name)
{
#ifdef _WIN32
    _putenv_s(name.c_str(), "");
#else
    unsetenv(name.c_str());
#endif
}

namespace {

const char* const Variables[] = {"QTS_USER_REGISTRY", "QTS_MACHINE_REGISTRY", "QTS_DOSDEVICES"};

std::string MakeTemporaryFolder()
{
    static unsigned counter = 0;
    const fs::path base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const fs::path candidate =
            base / ("qts-test-" + std::to_string(std::rand()) + "-" + std::to_string(++counter));
        std::error_code error;
        if (fs::create_directory(candidate, error))
            return candidate.string();
    }
    throw std::runtime_error("cannot create a temporary folder");
}

} // namespace

TestEnvironment::TestEnvironment() : root_(MakeTemporaryFolder())
{
    for (const char* name : Variables) {
        const char* value = std::getenv(name);
        savedVariables_.emplace_back(name, value ? value : std::string("\x01unset"));
    }
    SetEnv("QTS_USER_REGISTRY", UserRegistryFile());
    SetEnv("QTS_MACHINE_REGISTRY", MachineRegistryFile());
    fs::create_directories(root_ + "/dosdevices");
    SetEnv("QTS_DOSDEVICES", root_ + "/dosdevices");
    AddDrive('c');
}

TestEnvironment::~TestEnvironment()
{
    for (const auto& [name, value] : savedVariables_) {
        if (value == "\x01unset")
            UnsetEnv(name);
        else
            SetEnv(name, value);
    }
    std::error_code error;
    // Tests may leave read-only files behind; make everything writable before removing it.
    for (auto it = fs::recursive_directory_iterator(root_, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
    fs::remove_all(root_, error);
}

std::string TestEnvironment::DriveFolder(char letter) const
{
    return root_ + "/drive_" + static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
}

std::string TestEnvironment::AddDrive(char letter)
{
    const std::string folder = DriveFolder(letter);
    fs::create_directories(folder);
    const std::string link =
        root_ + "/dosdevices/" + static_cast<char>(std::tolower(static_cast<unsigned char>(letter))) + ":";
    std::error_code error;
    fs::remove(link, error);
    fs::create_directory_symlink(folder, link);
    return folder;
}

void TestEnvironment::WriteFile(const std::string& windowsPath, const std::string& bytes) const
{
    const fs::path native = FileSystem::NativePath(windowsPath);
    fs::create_directories(native.parent_path());
    std::ofstream out(native, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + native.string());
}

std::string TestEnvironment::ReadFile(const std::string& windowsPath) const
{
    std::ifstream in(FileSystem::NativePath(windowsPath), std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + windowsPath);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool TestEnvironment::Exists(const std::string& windowsPath) const
{
    return FileSystem::Find(windowsPath) != FileSystem::EntryKind::None;
}
