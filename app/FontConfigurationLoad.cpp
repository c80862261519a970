#include "FontConfigurationLoad.h"

#ifdef QTS_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

FontConfigurationLoad::FontConfigurationLoad()
{
#ifdef QTS_HAVE_FONTCONFIG
    // fontconfig keeps the configuration it loads as the process's default; the toolkit's own
    // FcInit then finds it there.
    loaded_ = std::async(std::launch::async, [] { FcInit(); });
#endif
}

void FontConfigurationLoad::Wait()
{
    if (loaded_.valid())
        loaded_.wait();
}
