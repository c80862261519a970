// The alias store at the sizes people keep: saving one alias (18 values) into stores of 10,
// 1,000 and 10,000 aliases should cost the same; listing 10,000 aliases and opening such a store
// in a fresh process should stay well below what a person notices.
//
// Run with --benchmark_repetitions=N and read the median aggregates. The fresh-process cases
// start this very program again (posix_spawn, so no loaded store is inherited) with the
// argument --open-store, which opens the store, reads one value and exits, or --list-aliases,
// which lists every alias of the store as the alias window does when it opens, and exits.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "AliasStore.h"
#include "BenchAliases.h"

extern char** environ;

namespace
{

namespace fs = std::filesystem;

const char* const OpenStoreArgument = "--open-store";
const char* const ListAliasesArgument = "--list-aliases";
const char* const StartOnlyArgument = "--start-only";
const char* const SaveOnceArgument = "--save-once";

using BenchAliases::AliasName;
using BenchAliases::FullSettings;

// Stores of a given number of aliases, each alias with all 18 values, written once per run in
// the registry's own text form into a private folder that is removed at the end.
class StoreFiles
{
public:
    StoreFiles()
    {
        std::string pattern = (fs::temp_directory_path() / "qts-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("cannot create a temporary folder");
        folder_ = pattern;
    }
    ~StoreFiles()
    {
        std::error_code error;
        fs::remove_all(folder_, error);
    }

    // A fresh copy of the store of `count` aliases, so that every benchmark starts alike.
    std::string FreshStore(int count, const std::string& use)
    {
        const std::string original = Original(count);
        const std::string copy = (folder_ / (use + "-" + std::to_string(count) + ".reg")).string();
        fs::copy_file(original, copy, fs::copy_options::overwrite_existing);
        std::error_code error;
        fs::remove(copy + ".lock", error);
        return copy;
    }

    std::string MachineStore() const { return (folder_ / "machine.reg").string(); }

private:
    std::string Original(int count)
    {
        auto found = originals_.find(count);
        if (found != originals_.end())
            return found->second;
        const std::string file = (folder_ / ("aliases-" + std::to_string(count) + ".reg")).string();
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        const std::string aliases = "HKEY_CURRENT_USER" + std::string(AliasesKeyPath);
        out << "REGEDIT4\r\n\r\n[" << aliases << "]\r\n\r\n";
        for (int i = 0; i < count; ++i) {
            const AliasSettings settings = FullSettings(i, true);
            out << "[" << aliases << "\\" << AliasName(i) << "]\r\n";
            out << "\"Path\"=\"" << Escaped(settings.Path) << "\"\r\n";
            for (const char* flag :
                 {"Exclusive", "Read Only", "Lock Edits", "Separate Workspace", "Use Defaults",
                  "Use Constraints", "Use AllowZeroLength", "Rename Primary", "Show GUIDs",
                  "Disable Refresh", "Disable SeeChanges", "ReportIndexesCaseSensitive"})
                out << "\"" << flag << "\"=\"True\"\r\n";
            out << "\"SystemDb\"=\"" << Escaped(settings.SystemDb) << "\"\r\n";
            out << "\"User Name\"=\"" << settings.UserName << "\"\r\n";
            out << "\"Connect\"=\"" << settings.Connect << "\"\r\n";
            out << "\"Prefetch Threshold\"=\"20\"\r\n";
            out << "\"Prefetch Reset Every\"=\"25\"\r\n\r\n";
        }
        if (!out)
            throw std::runtime_error("cannot write " + file);
        originals_[count] = file;
        return file;
    }

    static std::string Escaped(const std::string& text)
    {
        std::string escaped;
        for (char c : text) {
            if (c == '\\' || c == '"')
                escaped += '\\';
            escaped += c;
        }
        return escaped;
    }

    fs::path folder_;
    std::map<int, std::string> originals_;
};

StoreFiles& Stores()
{
    static StoreFiles stores;
    return stores;
}

// Points the registry at a store for the life of a benchmark.
void UseStore(const std::string& userFile)
{
    setenv("QTS_USER_REGISTRY", userFile.c_str(), 1);
    setenv("QTS_MACHINE_REGISTRY", Stores().MachineStore().c_str(), 1);
}

void BM_SaveAlias(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    UseStore(Stores().FreshStore(count, "save"));
    TRegistry registry;
    AliasStore aliases(registry);
    std::vector<std::pair<std::string, std::string>> listed;
    aliases.ListAliases(AliasScope::CurrentUser, listed); // as the window does when it opens
    const std::string name = AliasName(count / 2);
    const AliasSettings on = FullSettings(count / 2, true);
    const AliasSettings off = FullSettings(count / 2, false);
    bool flip = false;
    for (auto _ : state) {
        // Alternating settings, so that every save changes twelve of its values.
        flip = !flip;
        benchmark::DoNotOptimize(aliases.SaveAlias(name, flip ? off : on));
    }
    state.SetLabel(std::to_string(count) + " aliases");
}
BENCHMARK(BM_SaveAlias)
    ->Arg(10)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

void BM_ListAliases(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    UseStore(Stores().FreshStore(count, "list"));
    TRegistry registry;
    AliasStore aliases(registry);
    std::vector<std::pair<std::string, std::string>> listed;
    aliases.ListAliases(AliasScope::CurrentUser, listed);
    for (auto _ : state) {
        aliases.ListAliases(AliasScope::CurrentUser, listed);
        benchmark::DoNotOptimize(listed.data());
    }
    if (listed.size() != static_cast<std::size_t>(count))
        state.SkipWithError("wrong number of aliases listed");
}
BENCHMARK(BM_ListAliases)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The first listing of a window that has just opened: a new registry object reads the store.
// The window keeps it, so freeing it is not part of the time.
void BM_ListAliasesFirstTime(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    UseStore(Stores().FreshStore(count, "first"));
    std::vector<std::pair<std::string, std::string>> listed;
    for (auto _ : state) {
        auto registry = std::make_unique<TRegistry>();
        AliasStore aliases(*registry);
        aliases.ListAliases(AliasScope::CurrentUser, listed);
        benchmark::DoNotOptimize(listed.data());
        state.PauseTiming();
        registry.reset();
        state.ResumeTiming();
    }
    if (listed.size() != static_cast<std::size_t>(count))
        state.SkipWithError("wrong number of aliases listed");
}
BENCHMARK(BM_ListAliasesFirstTime)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Starts this program with one argument and waits for it; its exit code, or -1. The child's
// CPU time is added to `childCpuSeconds`, as the parent's clock does not see it.
int RunSelf(const char* argument, double& childCpuSeconds)
{
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    char* const argv[] = {const_cast<char*>(self.c_str()), const_cast<char*>(argument), nullptr};
    pid_t child = 0;
    if (posix_spawn(&child, self.c_str(), nullptr, nullptr, argv, environ) != 0)
        return -1;
    int status = 0;
    struct rusage usage {
    };
    if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status))
        return -1;
    childCpuSeconds += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return WEXITSTATUS(status);
}

// Times new processes of this program started with `argument`, and counts their CPU time.
void TimeNewProcesses(benchmark::State& state, const char* argument, const char* failure)
{
    double childCpuSeconds = 0;
    for (auto _ : state) {
        if (RunSelf(argument, childCpuSeconds) != 0) {
            state.SkipWithError(failure);
            break;
        }
    }
    state.counters["child_cpu_ms"] =
        benchmark::Counter(childCpuSeconds * 1000, benchmark::Counter::kAvgIterations);
}

// A new process that opens a store of 10,000 aliases and reads one value of one alias.
void BM_OpenStoreInNewProcess(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    UseStore(Stores().FreshStore(count, "open"));
    setenv("QTS_BENCH_ALIAS", AliasName(count - 1).c_str(), 1);
    TimeNewProcesses(state, OpenStoreArgument, "the new process could not read the store");
}
BENCHMARK(BM_OpenStoreInNewProcess)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

// A new process that lists a store of 10,000 aliases with their paths: what the alias window
// waits for when it opens.
void BM_ListAliasesInNewProcess(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    UseStore(Stores().FreshStore(count, "list-new"));
    setenv("QTS_BENCH_COUNT", std::to_string(count).c_str(), 1);
    TimeNewProcesses(state, ListAliasesArgument, "the new process did not list every alias");
}
BENCHMARK(BM_ListAliasesInNewProcess)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same new process that exits at once: what starting a process costs by itself.
void BM_StartProcessOnly(benchmark::State& state)
{
    TimeNewProcesses(state, StartOnlyArgument, "the new process failed");
}
BENCHMARK(BM_StartProcessOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

// In the new process: open the alias key and read its path.
int OpenStoreAndReadOne()
{
    const char* name = std::getenv("QTS_BENCH_ALIAS");
    if (!name)
        return 2;
    TRegistry registry;
    registry.SelectRoot(HKEY_CURRENT_USER_ROOT);
    if (!registry.OpenKeyPath(std::string(AliasesKeyPath) + "\\" + name, false))
        return 1;
    return registry.ReadText("Path").empty() ? 1 : 0;
}

// In the new process: list the aliases of the user's store, $QTS_BENCH_COUNT of them, each with
// its path. Also for a profile or `perf stat` of the listing by itself:
//   QTS_USER_REGISTRY=aliases.reg QTS_BENCH_COUNT=10000 bench_AliasStoreBench --list-aliases
int ListAliasesOnce()
{
    const char* count = std::getenv("QTS_BENCH_COUNT");
    if (!count)
        return 2;
    TRegistry registry;
    AliasStore aliases(registry);
    std::vector<std::pair<std::string, std::string>> listed;
    aliases.ListAliases(AliasScope::CurrentUser, listed);
    if (listed.size() != static_cast<std::size_t>(std::atoi(count)))
        return 1;
    for (const auto& alias : listed)
        if (alias.second.empty())
            return 1;
    return 0;
}

// For counting system calls: one save of 18 changed values into a store of `count` aliases that
// this process has listed and saved into before, between two marker lines on standard error.
// Count with
//   strace -o trace.txt bench_AliasStoreBench --save-once 10000
//   sed -n '/SAVE-BEGIN/,/SAVE-END/p' trace.txt
// (every line between the two marker writes is one system call of the save).
int SaveOnce(int count)
{
    UseStore(Stores().FreshStore(count, "strace"));
    TRegistry registry;
    AliasStore aliases(registry);
    std::vector<std::pair<std::string, std::string>> listed;
    aliases.ListAliases(AliasScope::CurrentUser, listed);
    const std::string name = AliasName(count / 2);
    if (!aliases.SaveAlias(name, FullSettings(count / 2, false)))
        return 1;
    const char begin[] = "SAVE-BEGIN\n";
    const char end[] = "SAVE-END\n";
    if (::write(2, begin, sizeof begin - 1) < 0)
        return 1;
    const bool saved = aliases.SaveAlias(name, FullSettings(count / 2, true));
    if (::write(2, end, sizeof end - 1) < 0)
        return 1;
    return saved ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == SaveOnceArgument)
        return SaveOnce(std::atoi(argv[2]));
    if (argc == 2 && std::string(argv[1]) == OpenStoreArgument)
        return OpenStoreAndReadOne();
    if (argc == 2 && std::string(argv[1]) == ListAliasesArgument)
        return ListAliasesOnce();
    if (argc == 2 && std::string(argv[1]) == StartOnlyArgument)
        return 0;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
