// The file registry store with many values in one key, named in random order: writing them one
// by one, and opening a file that holds them as the writes left it (one appended record each,
// never compacted since nothing was overwritten). Both should grow linearly (or n log n) with the
// number of values, so that 100,000 values open well under a second.
//
// Run with --benchmark_repetitions=N and read the median aggregates.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "FileRegistryStore.h"
#include "FileRegistryStoreText.h"

namespace
{

namespace fs = std::filesystem;

const char* const KeyPath = "Software\\Quillon\\Bench";

// A private folder for the benchmark's files, removed at the end.
class Folder
{
public:
    Folder()
    {
        std::string pattern = (fs::temp_directory_path() / "qts-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("cannot create a temporary folder");
        path_ = pattern;
    }
    ~Folder()
    {
        std::error_code error;
        fs::remove_all(path_, error);
    }
    // A name not used before in this folder.
    std::string NewFile(const std::string& stem)
    {
        return (path_ / (stem + std::to_string(++count_) + ".reg")).string();
    }

private:
    fs::path path_;
    int count_ = 0;
};

Folder& Files()
{
    static Folder folder;
    return folder;
}

// "Value<n>" for n = 0 .. count-1, shuffled the same way on every run.
std::vector<std::string> ShuffledNames(int count)
{
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(count));
    for (int n = 0; n < count; ++n)
        names.push_back("Value" + std::to_string(n));
    std::shuffle(names.begin(), names.end(), std::mt19937(12345));
    return names;
}

std::string Text(const std::string& name)
{
    return "data of " + name + std::string(1, '\0');
}

void BM_WriteValuesInRandomOrder(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    const std::vector<std::string> names = ShuffledNames(count);
    for (auto _ : state) {
        state.PauseTiming();
        const std::string file = Files().NewFile("write");
        state.ResumeTiming();
        {
            FileRegistryStore store(file, file + ".machine");
            std::unique_ptr<RegistryKey> key;
            if (store.CreateKey(RegistryRoot::CurrentUser, nullptr, KeyPath, KeyAccess::ReadWrite,
                                key) != StoreStatus::Ok) {
                state.SkipWithError("cannot create the key");
                break;
            }
            for (const std::string& name : names)
                if (store.SetValue(*key, name, 1, Text(name)) != StoreStatus::Ok) {
                    state.SkipWithError("cannot write a value");
                    break;
                }
        }
        state.PauseTiming();
        std::error_code error;
        fs::remove(file, error);
        fs::remove(file + ".lock", error);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_WriteValuesInRandomOrder)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_OpenStoreOfValuesInRandomOrder(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    const std::string file = Files().NewFile("open");
    {
        // What the writes of the benchmark above leave: one record per value.
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << RegistryFile::Signature << RegistryFile::KeyRecord("HKEY_CURRENT_USER", KeyPath);
        for (const std::string& name : ShuffledNames(count))
            out << RegistryFile::SetValueRecord("HKEY_CURRENT_USER", KeyPath, name, 1, Text(name));
        if (!out)
            throw std::runtime_error("cannot write " + file);
    }
    const std::string probe = "Value" + std::to_string(count / 2);
    for (auto _ : state) {
        FileRegistryStore store(file, file + ".machine");
        std::unique_ptr<RegistryKey> key;
        std::uint32_t type = 0;
        std::string data;
        if (store.OpenKey(RegistryRoot::CurrentUser, nullptr, KeyPath, KeyAccess::Read, key) !=
                StoreStatus::Ok ||
            store.QueryValue(*key, probe, type, data) != StoreStatus::Ok || data != Text(probe)) {
            state.SkipWithError("the store did not read back");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_OpenStoreOfValuesInRandomOrder)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
