// Patching a 64 MiB file end to end (read, all replacements, write through a temporary file),
// with no, a few and very many names to switch. The time should hardly depend on the count.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "Patcher.h"
#include "SetupReport.h"

namespace
{

constexpr std::size_t ImageSize = 64u << 20;

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
    EnvironmentProfile profile;
    profile.EngineSuffix = "3x";
    profile.FormerSuffixes = "35,30";
    const std::string source = Files().Source(static_cast<std::size_t>(state.range(0)), profile);
    const std::string target = Files().Target();
    SilentReport report;
    for (auto _ : state)
        PatchFile("BDE.dcu", source, target, profile, report);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(ImageSize));
}

} // namespace

BENCHMARK(BM_PatchFile)->Arg(0)->Arg(100)->Arg(100000)->Unit(benchmark::kMillisecond);
