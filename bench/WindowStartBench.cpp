// The alias window from construction until it is shown on screen, side by side with an empty
// QMainWindow (the floor), with an empty store and with 10,000 aliases. Runs in one process
// under the offscreen platform unless QT_QPA_PLATFORM says otherwise; each iteration builds the
// window, shows it, waits until it is exposed and destroys it.
//
// Run with --benchmark_repetitions=N and read the median aggregates.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMainWindow>
#include <QTest>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>

#include "AliasStore.h"
#include "ConfigForm.h"

namespace
{

namespace fs = std::filesystem;

// A private folder with the stores, removed at the end.
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
    // A machine store of `count` aliases with all their values.
    std::string MachineStore(int count)
    {
        const std::string file = (path_ / ("machine-" + std::to_string(count) + ".reg")).string();
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        const std::string aliases = "HKEY_LOCAL_MACHINE" + std::string(AliasesKeyPath);
        out << "REGEDIT4\r\n\r\n[" << aliases << "]\r\n\r\n";
        for (int i = 0; i < count; ++i) {
            out << "[" << aliases << "\\Alias" << i << "]\r\n";
            out << "\"Path\"=\"C:\\\\Data\\\\Database" << i << ".mdb\"\r\n";
            for (const char* flag :
                 {"Exclusive", "Read Only", "Lock Edits", "Separate Workspace", "Use Defaults",
                  "Use Constraints", "Use AllowZeroLength", "Rename Primary", "Show GUIDs",
                  "Disable Refresh", "Disable SeeChanges", "ReportIndexesCaseSensitive"})
                out << "\"" << flag << "\"=\"True\"\r\n";
            out << "\"SystemDb\"=\"C:\\\\Data\\\\System.mdw\"\r\n\"User Name\"=\"Admin\"\r\n"
                << "\"Connect\"=\"ODBC;DSN=Sales" << i << "\"\r\n"
                << "\"Prefetch Threshold\"=\"20\"\r\n\"Prefetch Reset Every\"=\"25\"\r\n\r\n";
        }
        return file;
    }
    std::string UserStore() const { return (path_ / "user.reg").string(); }

private:
    fs::path path_;
};

Folder& Files()
{
    static Folder folder;
    return folder;
}

template <typename Window> void ShowAndWait(benchmark::State& state)
{
    for (auto _ : state) {
        auto window = std::make_unique<Window>();
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get())) {
            state.SkipWithError("the window was never exposed");
            break;
        }
        window.reset();
        state.PauseTiming();
        QApplication::processEvents();
        state.ResumeTiming();
    }
}

void BM_EmptyMainWindow(benchmark::State& state)
{
    ShowAndWait<QMainWindow>(state);
}
BENCHMARK(BM_EmptyMainWindow)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_AliasWindow(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    setenv("QTS_MACHINE_REGISTRY", Files().MachineStore(count).c_str(), 1);
    setenv("QTS_USER_REGISTRY", Files().UserStore().c_str(), 1);
    ShowAndWait<TFormConfig>(state);
    state.SetLabel(std::to_string(count) + " aliases");
}
BENCHMARK(BM_AliasWindow)->Arg(0)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
