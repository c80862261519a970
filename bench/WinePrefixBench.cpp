// The Wine prefix store on the files of a fresh 64-bit prefix (about 3 MB and 15,000 keys in
// system.reg): opening the machine root as a program does when it starts, and saving one Global
// alias as the alias window's Apply does.
//
// The prefix is the one QTS_BENCH_WINEPREFIX names, or else one that "wineboot -i" makes in a
// temporary folder (Wine must be installed). Its two registry files are copied into a private
// folder; the original is never written. Run with --benchmark_repetitions=N and read the medians.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <unistd.h>

#include "AliasStore.h"
#include "BenchAliases.h"
#include "RegistryStore.h"
#include "TRegistry.h"
#include "WineRegistryStore.h"

namespace
{

namespace fs = std::filesystem;

// A private copy of a fresh prefix's registry files, removed at the end.
class Prefixes
{
public:
    Prefixes()
    {
        std::string pattern = fs::temp_directory_path().string() + "/qts-wine-bench-XXXXXX";
        if (!::mkdtemp(&pattern[0]))
            throw std::runtime_error("cannot make a temporary folder");
        root_ = pattern;
        std::string source;
        if (const char* given = std::getenv("QTS_BENCH_WINEPREFIX"); given && *given) {
            source = given;
        } else {
            source = root_ + "/fresh";
            const std::string make = "WINEPREFIX='" + source +
                                     "' WINEARCH=win64 WINEDEBUG=-all wineboot -i >/dev/null 2>&1 "
                                     "&& WINEPREFIX='" +
                                     source + "' wineserver -w";
            if (std::system(make.c_str()) != 0)
                throw std::runtime_error("wineboot -i failed; set QTS_BENCH_WINEPREFIX");
        }
        work_ = root_ + "/work";
        fs::create_directories(work_);
        for (const char* file : {"/system.reg", "/user.reg"})
            fs::copy_file(source + file, work_ + file);
    }
    ~Prefixes()
    {
        if (!std::getenv("QTS_BENCH_WINEPREFIX"))
            std::system(("WINEPREFIX='" + root_ + "/fresh' wineserver -k >/dev/null 2>&1").c_str());
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    const std::string& Work() const { return work_; }

private:
    std::string root_;
    std::string work_;
};

Prefixes& Shared()
{
    static Prefixes prefixes;
    return prefixes;
}

void BM_OpenMachineRoot(benchmark::State& state)
{
    const std::string& prefix = Shared().Work();
    const auto size = fs::file_size(prefix + "/system.reg");
    for (auto _ : state) {
        WineRegistryStore store(prefix);
        std::unique_ptr<RegistryKey> key;
        if (store.OpenKey(RegistryRoot::LocalMachine, nullptr,
                          "Software\\Microsoft\\Windows NT\\CurrentVersion", KeyAccess::Read,
                          key) != StoreStatus::Ok)
            state.SkipWithError("the prefix's machine root does not open");
        benchmark::DoNotOptimize(key);
    }
    state.SetLabel("system.reg of " + std::to_string(size / 1024) + " KiB");
}
BENCHMARK(BM_OpenMachineRoot)->Unit(benchmark::kMillisecond)->UseRealTime();

// The benchmark alias with its flags all on or all off, at `path`.
AliasSettings Settings(bool flagsOn, const std::string& path)
{
    AliasSettings settings = BenchAliases::FullSettings(0, flagsOn);
    settings.Path = path;
    return settings;
}

// Saving a Global alias (system.reg). Arg 0: each save changes the path only; arg 1: each save
// changes twelve values (every flag flips).
void BM_SaveGlobalAlias(benchmark::State& state)
{
    ::setenv("QTS_WINEPREFIX", Shared().Work().c_str(), 1);
    TRegistry registry;
    AliasStore aliases(registry);
    std::vector<std::pair<std::string, std::string>> listed;
    aliases.ListAliases(AliasScope::Global, listed); // as the window does when it opens
    const bool flipFlags = state.range(0) != 0;
    bool flip = false;
    for (auto _ : state) {
        flip = !flip;
        const AliasSettings settings =
            Settings(flipFlags && flip, flip ? "C:\\Data\\Sales.mdb" : "C:\\Data\\Stock.mdb");
        if (!aliases.SaveAlias("Sales", settings))
            state.SkipWithError("the alias was not saved");
    }
    ::unsetenv("QTS_WINEPREFIX");
    state.SetLabel(flipFlags ? "12 values changed per save" : "1 value changed per save");
}
BENCHMARK(BM_SaveGlobalAlias)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
