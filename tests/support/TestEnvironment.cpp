#include "TestEnvironment.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "FileSystem.h"

#ifdef _WIN32
#include <algorithm>
#include <cctype>

#include <windows.h>
#endif

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

CurrentFolder::CurrentFolder(const std::string& folder) : previous_(fs::current_path().string())
{
    fs::current_path(folder);
}

CurrentFolder::~CurrentFolder()
{
    std::error_code error;
    fs::current_path(previous_, error);
}

namespace
{

const char* const Variables[] = {"QTS_USER_REGISTRY", "QTS_MACHINE_REGISTRY", "QTS_DOSDEVICES",
                                 "QTS_WINEPREFIX"};

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

#ifdef _WIN32

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The entries of a folder (name and attributes), "." and ".." left out.
std::vector<std::pair<std::string, DWORD>> Entries(const std::string& folder)
{
    std::vector<std::pair<std::string, DWORD>> entries;
    WIN32_FIND_DATAA data;
    const HANDLE search = FindFirstFileA((folder + "*").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE)
        return entries;
    do {
        const std::string name = data.cFileName;
        if (name != "." && name != "..")
            entries.emplace_back(name, data.dwFileAttributes);
    } while (FindNextFileA(search, &data));
    FindClose(search);
    return entries;
}

bool IsRealFolder(DWORD attributes)
{
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Every path below a folder (ending in "\"), parents before their children. The system's own
// folders (windows, users) are listed but not entered: tests never write there, and the test
// environments' temporary folders below users are removed by their owners.
void ListTree(const std::string& folder, bool top, std::vector<std::string>& paths)
{
    for (const auto& [name, attributes] : Entries(folder)) {
        const std::string path = folder + name;
        paths.push_back(Lower(path));
        const std::string lower = Lower(name);
        if (IsRealFolder(attributes) && !(top && (lower == "windows" || lower == "users")))
            ListTree(path + "\\", false, paths);
    }
}

// Removes a file or a folder with everything in it, read-only files included.
void RemoveTree(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    if (IsRealFolder(attributes)) {
        for (const auto& entry : Entries(path + "\\"))
            RemoveTree(path + "\\" + entry.first);
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_DIRECTORY);
        RemoveDirectoryA(path.c_str());
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveDirectoryA(path.c_str());
    } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
    }
}

// What drive C: holds: its whole tree outside the system's folders, and the entries of the
// system directory itself (tests put an environment's packages there), sorted.
std::vector<std::string> DriveCEntries()
{
    std::vector<std::string> paths;
    ListTree("C:\\", true, paths);
    char system[MAX_PATH + 1] = {};
    const UINT length = GetSystemDirectoryA(system, sizeof system);
    if (length > 0 && length < sizeof system) {
        const std::string folder = std::string(system) + "\\";
        for (const auto& entry : Entries(folder))
            paths.push_back(Lower(folder + entry.first));
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

// Removes what appeared on drive C: since the listing `before` was taken.
void RemoveNewEntries(const std::vector<std::string>& before)
{
    const std::vector<std::string> now = DriveCEntries();
    for (const std::string& path : now) {
        if (!std::binary_search(before.begin(), before.end(), path))
            RemoveTree(path);
    }
}

HKEY RootKeys[] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};

// The registry views a key may live in: the one this program sees (0), and the 64-bit one that
// tests write into to stand for a 64-bit program. The product itself never names a view.
const REGSAM Views[] = {0, KEY_WOW64_64KEY};

std::vector<std::string> SubkeyNames(HKEY root, const std::string& path, REGSAM view = 0)
{
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return names;
    char name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof name;
        if (RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    RegCloseKey(key);
    return names;
}

// Deletes a key with all its subkeys, depth first (a key with subkeys cannot be deleted).
void RemoveKey(HKEY root, const std::string& path, REGSAM view = 0)
{
    for (const std::string& child : SubkeyNames(root, path, view))
        RemoveKey(root, path + "\\" + child, view);
    if (view == 0)
        RegDeleteKeyA(root, path.c_str());
    else
        RegDeleteKeyExA(root, path.c_str(), view, 0);
}

// The keys at the top of both roots and below their "Software" keys, as "<root>:<path>".
std::vector<std::string> TopKeys()
{
    std::vector<std::string> keys;
    for (int root = 0; root < 2; ++root) {
        for (const std::string& name : SubkeyNames(RootKeys[root], ""))
            keys.push_back(std::to_string(root) + ":" + Lower(name));
        for (const std::string& name : SubkeyNames(RootKeys[root], "Software"))
            keys.push_back(std::to_string(root) + ":software\\" + Lower(name));
    }
    std::sort(keys.begin(), keys.end());
    return keys;
}

void RemoveProductKeys()
{
    for (REGSAM view : Views)
        for (HKEY root : RootKeys)
            for (const char* path : {"Software\\Quillon", "Software\\Borland", "Software\\QtsTest"})
                RemoveKey(root, path, view);
}

void RemoveNewKeys(const std::vector<std::string>& before)
{
    for (const std::string& key : TopKeys()) {
        if (!std::binary_search(before.begin(), before.end(), key))
            RemoveKey(RootKeys[key[0] - '0'], key.substr(2));
    }
}

void EmptyDrive(char letter)
{
    const std::string root = std::string(1, letter) + ":\\";
    for (const auto& entry : Entries(root))
        RemoveTree(root + entry.first);
}

#endif // _WIN32

} // namespace

TestEnvironment::TestEnvironment() : root_(MakeTemporaryFolder())
{
#ifdef _WIN32
    const char* scratch = std::getenv("QTS_TEST_SCRATCH_MACHINE");
    if (!scratch || std::string(scratch) != "1") {
        fs::remove_all(root_);
        throw std::runtime_error(
            "The tests write to drive C: and to the registry's Software\\Quillon and "
            "Software\\Borland keys. Run them on a scratch machine or Wine prefix "
            "(scripts/test-windows.sh) with QTS_TEST_SCRATCH_MACHINE=1.");
    }
    RemoveProductKeys();
    registryBefore_ = TopKeys();
    driveCBefore_ = DriveCEntries();
#endif
    for (const char* name : Variables) {
        const char* value = std::getenv(name);
        savedVariables_.emplace_back(name, value ? value : std::string("\x01unset"));
    }
    SetEnv("QTS_USER_REGISTRY", UserRegistryFile());
    SetEnv("QTS_MACHINE_REGISTRY", MachineRegistryFile());
    fs::create_directories(root_ + "/dosdevices");
    SetEnv("QTS_DOSDEVICES", root_ + "/dosdevices");
    // The user's own Wine prefix is never a test's store; a test program that runs on a prefix
    // of its own names it in QTS_TEST_WINEPREFIX.
    if (const char* own = std::getenv("QTS_TEST_WINEPREFIX"); own && *own)
        SetEnv("QTS_WINEPREFIX", own);
    else
        UnsetEnv("QTS_WINEPREFIX");
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
#ifdef _WIN32
    for (char letter : addedDrives_)
        EmptyDrive(letter);
    RemoveNewEntries(driveCBefore_);
    RemoveProductKeys();
    RemoveNewKeys(registryBefore_);
#endif
    std::error_code error;
    // Tests may leave read-only files behind; make everything writable before removing it.
    for (auto it = fs::recursive_directory_iterator(root_, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
    fs::remove_all(root_, error);
}

std::string TestEnvironment::DriveFolder(char letter) const
{
#ifdef _WIN32
    return std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(letter)))) +
           ":\\";
#else
    return root_ + "/drive_" + static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
#endif
}

std::string TestEnvironment::AddDrive(char letter)
{
#ifdef _WIN32
    // The scratch machine maps its spare drive letters to folders of their own; a test that adds
    // one starts with it empty and leaves it empty.
    const std::string root = DriveFolder(letter);
    if (root == "C:\\")
        return root;
    const UINT type = GetDriveTypeA(root.c_str());
    if (type == DRIVE_UNKNOWN || type == DRIVE_NO_ROOT_DIR)
        throw std::runtime_error("drive " + root + " is not mapped on this machine");
    EmptyDrive(root[0]);
    addedDrives_.push_back(root[0]);
    return root;
#else
    const std::string folder = DriveFolder(letter);
    fs::create_directories(folder);
    const std::string link = root_ + "/dosdevices/" +
                             static_cast<char>(std::tolower(static_cast<unsigned char>(letter))) +
                             ":";
    std::error_code error;
    fs::remove(link, error);
    fs::create_directory_symlink(folder, link);
    return folder;
#endif
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
