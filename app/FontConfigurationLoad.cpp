#include "FontConfigurationLoad.h"

#ifdef QTS_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

FontConfigurationLoad::FontConfigurationLoad()
{
#ifdef QTS_HAVE_FONTCONFIG
    // fontconfig keeps the configuration it loads as the process's default; the toolkit's own
    // FcInit then finds it there.
    readSignal_ = read_.get_future();
    thread_ = std::thread([this] {
        FcInit();
        read_.set_value();
    });
#endif
}

FontConfigurationLoad::~FontConfigurationLoad()
{
    if (thread_.joinable())
        thread_.join();
}

void FontConfigurationLoad::Wait()
{
    if (readSignal_.valid())
        readSignal_.wait();
}
