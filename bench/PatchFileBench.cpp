// Patching a 64 MiB file end to end (read, all replacements, write through a temporary file),
// with no, a few and very many names to switch. The time should hardly depend on the count.
// Beside it, in the same run:
// - BM_OnePassFloor: the same read and durable write around the least a patch can do, one
//   pass over the image that switches every name of the table where it finds it (with no
//   regard for the order of the table);
// - BM_ReadWriteOnly: the read and the write alone;
// - BM_TableInMemory and BM_OnePassInMemory: the patch's and the floor's work on the image
//   alone, without the file system's noise (the copy of a fresh image is not timed), and
//   BM_RowByRowInMemory, the table applied one row after the other as the patch once did.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "FileSystem.h"
#include "Patcher.h"
#include "SetupReport.h"

namespace
{

constexpr std::size_t ImageSize = 64u << 20;

EnvironmentProfile EngineProfile()
{
    EnvironmentProfile profile;
    profile.EngineSuffix = "3x";
    profile.FormerSuffixes = "35,30";
    return profile;
}

class SilentReport : public SetupReport
{
public:
    void LogProgress(const std::string&) override {}
    bool Confirm(const std::string&, const std::string&) override { return false; }
    void Error(const std::string&, const std::string&) override {}
    void Notice(const std::string&) override {}
};

// A private folder holding one source file per occurrence count; removed at exit.
class BenchFiles
{
public:
    BenchFiles()
        : folder_(std::filesystem::temp_directory_path() /
                  ("qts-patch-bench-" + std::to_string(std::random_device()())))
    {
        std::filesystem::create_directories(folder_);
    }
    ~BenchFiles()
    {
        std::error_code error;
        std::filesystem::remove_all(folder_, error);
    }

    std::string Source(std::size_t occurrences, const EnvironmentProfile& profile)
    {
        const std::string path = (folder_ / ("source-" + std::to_string(occurrences))).string();
        if (made_.count(occurrences))
            return path;
        std::mt19937_64 random(occurrences);
        std::string image(ImageSize, '\0');
        for (std::size_t i = 0; i + 8 <= image.size(); i += 8) {
            const std::uint64_t bits = random();
            for (int b = 0; b < 8; ++b)
                image[i + b] = static_cast<char>(bits >> (8 * b));
        }
        const auto table = ReplacementTable(profile);
        for (std::size_t n = 0; n < occurrences; ++n) {
            const std::string& name = table[n % table.size()].first;
            const std::size_t at = (ImageSize - 64) / occurrences * n;
            image.replace(at, name.size(), name);
        }
        std::ofstream(path, std::ios::binary)
            .write(image.data(), static_cast<std::streamsize>(image.size()));
        made_[occurrences] = true;
        return path;
    }
    std::string Target() const { return (folder_ / "target").string(); }

private:
    std::filesystem::path folder_;
    std::map<std::size_t, bool> made_;
};

BenchFiles& Files()
{
    static BenchFiles files;
    return files;
}

void BM_PatchFile(benchmark::State& state)
{
    const EnvironmentProfile profile = EngineProfile();
    const std::string source = Files().Source(static_cast<std::size_t>(state.range(0)), profile);
    const std::string target = Files().Target();
    SilentReport report;
    for (auto _ : state)
        PatchFile("BDE.dcu", source, target, profile, report);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(ImageSize));
}

// One forward pass for all rows at once: a skip over the shortest name's length keyed on the
// byte under its end, then a comparison with the rows whose name could end there.
void OnePass(std::string& image, const ReplacementPairs& table)
{
    std::size_t shortest = SIZE_MAX;
    for (const auto& row : table)
        shortest = std::min(shortest, row.first.size());
    std::array<std::size_t, 256> skip;
    skip.fill(shortest);
    for (const auto& row : table)
        for (std::size_t t = 0; t < shortest; ++t)
            skip[static_cast<unsigned char>(row.first[t])] =
                std::min(skip[static_cast<unsigned char>(row.first[t])], shortest - 1 - t);
    auto* data = reinterpret_cast<unsigned char*>(image.data());
    const std::size_t size = image.size();
    for (std::size_t end = shortest - 1; end < size;) {
        if (const std::size_t step = skip[data[end]]; step != 0) {
            end += step;
            continue;
        }
        const std::size_t at = end + 1 - shortest;
        for (const auto& [search, replacement] : table)
            if (search.size() <= size - at && search.size() == replacement.size() &&
                std::memcmp(data + at, search.data(), search.size()) == 0) {
                std::memcpy(data + at, replacement.data(), replacement.size());
                break;
            }
        ++end;
    }
}

void ReadOrFail(const std::string& path, std::string& image, benchmark::State& state)
{
    if (FileSystem::ReadWholeFile(path, image) != FileSystem::ReadResult::Ok)
        state.SkipWithError("read failed");
}

void WriteOrFail(const std::string& path, const std::string& image, benchmark::State& state)
{
    if (FileSystem::ReplaceWholeFile(path, image) != FileSystem::WriteResult::Ok)
        state.SkipWithError("write failed");
}

void BM_OnePassFloor(benchmark::State& state)
{
    const EnvironmentProfile profile = EngineProfile();
    const std::string source = Files().Source(static_cast<std::size_t>(state.range(0)), profile);
    const std::string target = Files().Target();
    for (auto _ : state) {
        std::string image;
        ReadOrFail(source, image, state);
        OnePass(image, ReplacementTable(profile));
        WriteOrFail(target, image, state);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(ImageSize));
}

void BM_ReadWriteOnly(benchmark::State& state)
{
    const std::string source =
        Files().Source(static_cast<std::size_t>(state.range(0)), EngineProfile());
    const std::string target = Files().Target();
    for (auto _ : state) {
        std::string image;
        ReadOrFail(source, image, state);
        WriteOrFail(target, image, state);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(ImageSize));
}

std::string ReadImage(std::size_t occurrences)
{
    std::string image;
    FileSystem::ReadWholeFile(Files().Source(occurrences, EngineProfile()), image);
    return image;
}

template <typename Work> void InMemory(benchmark::State& state, Work&& work)
{
    const std::string original = ReadImage(static_cast<std::size_t>(state.range(0)));
    const ReplacementPairs table = ReplacementTable(EngineProfile());
    std::string image;
    for (auto _ : state) {
        state.PauseTiming();
        image = original;
        state.ResumeTiming();
        work(image, table);
        benchmark::DoNotOptimize(image.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(ImageSize));
}

void BM_TableInMemory(benchmark::State& state)
{
    InMemory(state, [](std::string& image, const ReplacementPairs& table) {
        ReplaceAllInPlace(image, table);
    });
}

void BM_RowByRowInMemory(benchmark::State& state)
{
    InMemory(state, [](std::string& image, const ReplacementPairs& table) {
        for (const auto& [search, replacement] : table)
            ReplaceInPlace(image, search, replacement);
    });
}

void BM_OnePassInMemory(benchmark::State& state)
{
    InMemory(state, OnePass);
}

} // namespace

BENCHMARK(BM_PatchFile)->Arg(0)->Arg(100)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OnePassFloor)->Arg(0)->Arg(100)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadWriteOnly)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TableInMemory)->Arg(0)->Arg(100)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RowByRowInMemory)->Arg(0)->Arg(100)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OnePassInMemory)->Arg(0)->Arg(100)->Arg(100000)->Unit(benchmark::kMillisecond);
