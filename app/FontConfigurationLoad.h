// FontConfigurationLoad: reads the system's font configuration on a thread of its own while the
// toolkit connects to the display, so that the window's first text finds it read. Where the
// toolkit does not use fontconfig it does nothing.
#pragma once

#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <thread>

class FontConfigurationLoad
{
public:
    using Load = std::function<void()>;
    // How long Wait waits at most for the read: the thread runs at the lowest priority, which a
    // busy machine may leave it hardly any time at. Past this the toolkit reads the configuration
    // itself, at the program's own priority.
    static constexpr std::chrono::milliseconds LongestWait{15};

    // Starts the read; once it is done, the thread also looks up InstalledFamily(family) unless
    // `family` is empty.
    explicit FontConfigurationLoad(std::string family = {});
    // Runs `load` in place of the read (for tests).
    explicit FontConfigurationLoad(Load load);
    ~FontConfigurationLoad();
    FontConfigurationLoad(const FontConfigurationLoad&) = delete;
    FontConfigurationLoad& operator=(const FontConfigurationLoad&) = delete;

    // Waits until the configuration has been read, or LongestWait has passed: the toolkit,
    // asked for a font first, would read all of it once more beside this thread. Tells whether
    // it was read. The thread itself ends on its own time.
    bool Wait();

    // The installed family the system's configuration puts in place of `family`: the one the
    // toolkit would fall back to after not finding `family` installed, which costs it a sort of
    // every installed font by its likeness. `family` itself where it is installed, or where the
    // toolkit does not use fontconfig.
    std::string InstalledFamily(const std::string& family);

private:
    void Start(Load load);

    std::promise<void> read_;
    std::future<void> readSignal_;
    std::thread thread_;
    // Looked up on the thread, for `family_`; read only after the thread has signalled.
    std::string family_;
    std::string installedFamily_;
};
