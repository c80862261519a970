// Saving one alias and listing all of them in a store of many aliases, timed without Google
// Benchmark so that the same program runs on Linux against the file store and, built for
// Windows, against the Win32 registry (under Wine, or on Windows itself): the two figures side
// by side with the registry the alias window replaces.
//
//   bench_AliasSaveTimer [--aliases N] [--batches B] [--batch-size K] [--lists L] [--force]
//
// Fills the current user's Aliases key with N aliases of 18 values each (default 10,000) through
// SaveAlias, then prints the median time of one SaveAlias over B batches of K saves that flip
// twelve values each time, and the median of L listings. On Linux the store is a private one in
// a fresh temporary folder. On Windows it is the user's own registry: the program refuses to
// run when HKEY_CURRENT_USER already holds an Aliases key (--force removes it first) and removes
// the key it filled when it ends. Exit status 0, 1 when a step failed, 2 on a usage error.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <filesystem>
#include <stdexcept>
#endif

#include "AliasStore.h"
#include "BenchAliases.h"
#include "TRegistry.h"

namespace
{

using BenchAliases::AliasName;
using BenchAliases::FullSettings;
using Clock = std::chrono::steady_clock;

struct Options {
    int aliases = 10000;
    int batches = 31;
    int batchSize = 200;
    int lists = 7;
    bool force = false;
};

bool ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--force") {
            options.force = true;
            continue;
        }
        int* number = argument == "--aliases"      ? &options.aliases
                      : argument == "--batches"    ? &options.batches
                      : argument == "--batch-size" ? &options.batchSize
                      : argument == "--lists"      ? &options.lists
                                                   : nullptr;
        if (!number || i + 1 == argc)
            return false;
        *number = std::atoi(argv[++i]);
        if (*number < 1)
            return false;
    }
    // The save flips the alias in the middle of the store, so there must be one.
    return options.aliases >= 1;
}

double Seconds(Clock::duration duration)
{
    return std::chrono::duration<double>(duration).count();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::string Fixed(double value, int decimals)
{
    std::ostringstream text;
    text << std::fixed << std::setprecision(decimals) << value;
    return text.str();
}

#ifdef _WIN32

// The registry the figures are about, in the words the table prints.
std::string PlatformName()
{
    using WineVersion = const char* (*)();
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    const FARPROC found = ntdll ? GetProcAddress(ntdll, "wine_get_version") : nullptr;
    if (!found)
        return "Win32 registry (Windows)";
    // Through a plain function pointer type, which any function pointer may be cast to.
    const auto version = reinterpret_cast<WineVersion>(reinterpret_cast<void (*)()>(found));
    return std::string("Win32 registry (Wine ") + version() + ")";
}

#else

std::string PlatformName()
{
    return "file store (Linux)";
}

// A store of its own in a fresh temporary folder for the life of the run, never the user's.
class ScratchStore
{
public:
    ScratchStore()
    {
        namespace fs = std::filesystem;
        std::string pattern = (fs::temp_directory_path() / "qts-alias-timer-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("cannot create a temporary folder");
        folder_ = pattern;
        // Read when a registry object is made: every one of this run sees the private store.
        unsetenv("QTS_WINEPREFIX");
        setenv("QTS_USER_REGISTRY", (folder_ / "user.reg").string().c_str(), 1);
        setenv("QTS_MACHINE_REGISTRY", (folder_ / "machine.reg").string().c_str(), 1);
    }
    ~ScratchStore()
    {
        std::error_code error;
        std::filesystem::remove_all(folder_, error);
    }
    ScratchStore(const ScratchStore&) = delete;
    ScratchStore& operator=(const ScratchStore&) = delete;

private:
    std::filesystem::path folder_;
};

#endif

bool AliasesKeyExists(TRegistry& registry)
{
    registry.SelectRoot(HKEY_CURRENT_USER_ROOT);
    const bool exists = registry.OpenKeyPath(AliasesKeyPath, false);
    registry.CloseCurrentKey();
    return exists;
}

// The Aliases key this run fills, removed again however the run ends. Made only once the key is
// known to hold nobody's aliases (or --force said they may go).
class FilledAliasesKey
{
public:
    explicit FilledAliasesKey(TRegistry& registry) : registry_(registry) {}
    ~FilledAliasesKey()
    {
        registry_.CloseCurrentKey();
        registry_.SelectRoot(HKEY_CURRENT_USER_ROOT);
        registry_.RemoveKeyTree(AliasesKeyPath);
    }
    FilledAliasesKey(const FilledAliasesKey&) = delete;
    FilledAliasesKey& operator=(const FilledAliasesKey&) = delete;

private:
    TRegistry& registry_;
};

int Run(const Options& options)
{
    const std::string platform = PlatformName();
    const std::string at = " " + std::to_string(options.aliases) + " aliases [" + platform + "]";
#ifndef _WIN32
    const ScratchStore scratch;
#endif
    TRegistry registry;
    if (AliasesKeyExists(registry)) {
        if (!options.force) {
            std::cerr << "HKEY_CURRENT_USER" << AliasesKeyPath
                      << " exists: its aliases would be lost. Run with --force to remove them "
                         "(say, left over from an interrupted run).\n";
            return 1;
        }
        if (!registry.RemoveKeyTree(AliasesKeyPath)) {
            std::cerr << "cannot remove HKEY_CURRENT_USER" << AliasesKeyPath << "\n";
            return 1;
        }
    }
    const FilledAliasesKey filled(registry);
    AliasStore aliases(registry);

    const Clock::time_point fillStart = Clock::now();
    for (int i = 0; i < options.aliases; ++i) {
        if (!aliases.SaveAlias(AliasName(i), FullSettings(i, true))) {
            std::cerr << "cannot save " << AliasName(i) << "\n";
            return 1;
        }
    }
    std::cout << "fill" << at << ": " << Fixed(Seconds(Clock::now() - fillStart), 2)
              << " s (one SaveAlias each)\n";

    // As the alias window does when it opens, before anything is saved.
    std::vector<std::pair<std::string, std::string>> listed;
    aliases.ListAliases(AliasScope::CurrentUser, listed);
    if (listed.size() != static_cast<std::size_t>(options.aliases)) {
        std::cerr << "listed " << listed.size() << " aliases instead of " << options.aliases
                  << "\n";
        return 1;
    }

    const int middle = options.aliases / 2;
    const std::string name = AliasName(middle);
    const AliasSettings on = FullSettings(middle, true);
    const AliasSettings off = FullSettings(middle, false);
    bool flip = false;
    std::vector<double> perSave;
    for (int batch = 0; batch < options.batches; ++batch) {
        const Clock::time_point start = Clock::now();
        for (int i = 0; i < options.batchSize; ++i) {
            // Alternating settings, so that every save changes twelve of its values.
            flip = !flip;
            if (!aliases.SaveAlias(name, flip ? off : on)) {
                std::cerr << "cannot save " << name << "\n";
                return 1;
            }
        }
        perSave.push_back(Seconds(Clock::now() - start) * 1e6 / options.batchSize);
    }
    const std::optional<AliasSettings> saved = aliases.LoadAlias(name);
    if (!saved || !(*saved == (flip ? off : on))) {
        std::cerr << name << " does not read back as last saved\n";
        return 1;
    }
    std::cout << "SaveAlias" << at << ": " << Fixed(Median(perSave), 1) << " us (median of "
              << options.batches << " batches of " << options.batchSize << ")\n";

    std::vector<double> listings;
    for (int i = 0; i < options.lists; ++i) {
        const Clock::time_point start = Clock::now();
        aliases.ListAliases(AliasScope::CurrentUser, listed);
        listings.push_back(Seconds(Clock::now() - start) * 1e3);
        if (listed.size() != static_cast<std::size_t>(options.aliases)) {
            std::cerr << "listed " << listed.size() << " aliases instead of " << options.aliases
                      << "\n";
            return 1;
        }
    }
    std::cout << "ListAliases" << at << ": " << Fixed(Median(listings), 2) << " ms (median of "
              << options.lists << ")\n";
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::cerr << "usage: bench_AliasSaveTimer [--aliases N] [--batches B] [--batch-size K] "
                     "[--lists L] [--force]\n";
        return 2;
    }
    try {
        return Run(options);
    } catch (const std::exception& error) {
        std::cerr << "bench_AliasSaveTimer: " << error.what() << "\n";
        return 1;
    }
}
