// The alias window from construction until it is shown on screen, side by side with an empty
// QMainWindow (the floor), with an empty store and with 10,000 aliases.
//
// In this process (BM_InProcess*): under the offscreen platform unless QT_QPA_PLATFORM says
// otherwise; each iteration builds the window, shows it, waits until it is exposed and destroys
// it. The offscreen platform exposes a window at once, so these show what the program itself
// spends.
//
// In a new process (BM_NewProcess*): this program started again with --show-and-exit, which
// shows one window, waits until it is exposed and exits at once; the time is the whole process
// from its start until its window is on screen, as a person starting the program waits for it.
// Needs an X server:
//   Xvfb -displayfd 3 -screen 0 1280x1024x24 3>display.txt &
//   DISPLAY=:$(cat display.txt) QT_QPA_PLATFORM=xcb bench_WindowStartBench
//       --benchmark_filter=NewProcess --benchmark_repetitions=9   (one command line)
//
// Read the median aggregates.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMainWindow>
#include <QTest>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>

#include "AliasStore.h"
#include "ConfigForm.h"

extern char** environ;

namespace
{

namespace fs = std::filesystem;

const char* const ShowAndExitArgument = "--show-and-exit";

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
    // A folder inside, made when first asked for.
    std::string Subfolder(const std::string& name) const
    {
        fs::create_directories(path_ / name);
        return (path_ / name).string();
    }

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

void BM_InProcessEmptyMainWindow(benchmark::State& state)
{
    ShowAndWait<QMainWindow>(state);
}
BENCHMARK(BM_InProcessEmptyMainWindow)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_InProcessAliasWindow(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    setenv("QTS_MACHINE_REGISTRY", Files().MachineStore(count).c_str(), 1);
    setenv("QTS_USER_REGISTRY", Files().UserStore().c_str(), 1);
    ShowAndWait<TFormConfig>(state);
    state.SetLabel(std::to_string(count) + " aliases");
}
BENCHMARK(BM_InProcessAliasWindow)
    ->Arg(0)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Starts this program to show one window ("empty" or "aliases") and waits for it to exit.
bool ShowInNewProcess(const char* which)
{
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    char* const argv[] = {const_cast<char*>(self.c_str()), const_cast<char*>(ShowAndExitArgument),
                          const_cast<char*>(which), nullptr};
    pid_t child = 0;
    if (posix_spawn(&child, self.c_str(), nullptr, nullptr, argv, environ) != 0)
        return false;
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void BM_NewProcessEmptyMainWindow(benchmark::State& state)
{
    for (auto _ : state)
        if (!ShowInNewProcess("empty")) {
            state.SkipWithError("the window was not shown");
            break;
        }
}
BENCHMARK(BM_NewProcessEmptyMainWindow)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_NewProcessAliasWindow(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    setenv("QTS_MACHINE_REGISTRY", Files().MachineStore(count).c_str(), 1);
    setenv("QTS_USER_REGISTRY", Files().UserStore().c_str(), 1);
    for (auto _ : state)
        if (!ShowInNewProcess("aliases")) {
            state.SkipWithError("the window was not shown");
            break;
        }
    state.SetLabel(std::to_string(count) + " aliases");
}
BENCHMARK(BM_NewProcessAliasWindow)
    ->Arg(0)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// In the new process: one window, shown until it is exposed.
int ShowAndExit(int argc, char** argv)
{
    QApplication application(argc, argv);
    std::unique_ptr<QMainWindow> window;
    if (std::string(argv[2]) == "aliases")
        window = std::make_unique<TFormConfig>();
    else
        window = std::make_unique<QMainWindow>();
    window->show();
    // Ends here: what comes after the window is on screen (closing it, freeing the store) is
    // not part of its start.
    std::_Exit(QTest::qWaitForWindowExposed(window.get()) ? 0 : 1);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == ShowAndExitArgument)
        return ShowAndExit(argc, argv);
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Qt's own files of the windows shown (none are expected) stay in the private folder.
    for (const char* variable : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"})
        setenv(variable, Files().Subfolder(variable).c_str(), 1);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
