#include "FontConfigurationLoad.h"

#include <memory>

#ifdef QTS_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif
#ifdef __linux__
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace
{

// The thread is there to use the time the toolkit's start leaves the processors idle, while it
// waits for the display server; at the same priority it takes that time from the start and the
// server instead. On Linux the nice value is the calling thread's own.
void LowerThisThreadsPriority()
{
#ifdef __linux__
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);
#endif
}

#ifdef QTS_HAVE_FONTCONFIG
struct DestroyPattern {
    void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using Pattern = std::unique_ptr<FcPattern, DestroyPattern>;

struct DestroyObjectSet {
    void operator()(FcObjectSet* objects) const { FcObjectSetDestroy(objects); }
};
struct DestroyFontSet {
    void operator()(FcFontSet* fonts) const { FcFontSetDestroy(fonts); }
};

Pattern FamilyPattern(const std::string& family)
{
    Pattern pattern(FcPatternCreate());
    if (pattern)
        FcPatternAddString(pattern.get(), FC_FAMILY,
                           reinterpret_cast<const FcChar8*>(family.c_str()));
    return pattern;
}

bool Installed(const std::string& family)
{
    const Pattern pattern = FamilyPattern(family);
    const std::unique_ptr<FcObjectSet, DestroyObjectSet> objects(
        FcObjectSetBuild(FC_FAMILY, static_cast<char*>(nullptr)));
    if (!pattern || !objects)
        return false;
    const std::unique_ptr<FcFontSet, DestroyFontSet> fonts(
        FcFontList(nullptr, pattern.get(), objects.get()));
    return fonts && fonts->nfont > 0;
}

// An installed family is found as it is, whatever the configuration would put before it. For
// another, the best match for an upright font of it, asked as the toolkit asks for its fallbacks:
// their first is this match.
std::string MatchFamily(const std::string& family)
{
    if (Installed(family))
        return family;
    Pattern pattern = FamilyPattern(family);
    if (!pattern)
        return family;
    FcPatternAddInteger(pattern.get(), FC_SLANT, FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    Pattern match(FcFontMatch(nullptr, pattern.get(), &result));
    FcChar8* matched = nullptr;
    if (!match || FcPatternGetString(match.get(), FC_FAMILY, 0, &matched) != FcResultMatch)
        return family;
    return reinterpret_cast<const char*>(matched);
}
#endif

} // namespace

FontConfigurationLoad::FontConfigurationLoad(std::string family) : family_(std::move(family))
{
#ifdef QTS_HAVE_FONTCONFIG
    Start([this] {
        // fontconfig keeps the configuration it loads as the process's default; the toolkit's
        // own FcInit then finds it there, or, reading at the same time, keeps whichever is done
        // first.
        FcInit();
        if (!family_.empty())
            installedFamily_ = MatchFamily(family_);
    });
#endif
}

FontConfigurationLoad::FontConfigurationLoad(Load load)
{
    Start(std::move(load));
}

void FontConfigurationLoad::Start(Load load)
{
    readSignal_ = read_.get_future();
    thread_ = std::thread([this, load = std::move(load)] {
        LowerThisThreadsPriority();
        load();
        read_.set_value();
    });
}

FontConfigurationLoad::~FontConfigurationLoad()
{
    if (thread_.joinable())
        thread_.join();
}

bool FontConfigurationLoad::Wait()
{
    return readSignal_.valid() && readSignal_.wait_for(LongestWait) == std::future_status::ready;
}

std::string FontConfigurationLoad::InstalledFamily(const std::string& family)
{
#ifdef QTS_HAVE_FONTCONFIG
    if (!family.empty() && family == family_ && readSignal_.valid() &&
        readSignal_.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
        return installedFamily_;
    return MatchFamily(family);
#else
    return family;
#endif
}
