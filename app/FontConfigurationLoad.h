// FontConfigurationLoad: reads the system's font configuration on a thread of its own while the
// toolkit connects to the display, so that the window's first text finds it read. Where the
// toolkit does not use fontconfig it does nothing.
#pragma once

#include <future>

class FontConfigurationLoad
{
public:
    FontConfigurationLoad();
    // Waits until the configuration has been read: the toolkit, asked for a font first, would
    // read all of it once more beside this thread.
    void Wait();

private:
    std::future<void> loaded_;
};
