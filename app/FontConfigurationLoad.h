// FontConfigurationLoad: reads the system's font configuration on a thread of its own while the
// toolkit connects to the display, so that the window's first text finds it read. Where the
// toolkit does not use fontconfig it does nothing.
#pragma once

#include <future>
#include <thread>

class FontConfigurationLoad
{
public:
    FontConfigurationLoad();
    ~FontConfigurationLoad();
    FontConfigurationLoad(const FontConfigurationLoad&) = delete;
    FontConfigurationLoad& operator=(const FontConfigurationLoad&) = delete;
    // Waits until the configuration has been read: the toolkit, asked for a font first, would
    // read all of it once more beside this thread. The thread itself ends on its own time.
    void Wait();

private:
    std::promise<void> read_;
    std::future<void> readSignal_;
    std::thread thread_;
};
