// The program's entry decision (which window a command line opens) and the work it starts
// beside the toolkit's start.
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <future>
#include <gtest/gtest.h>
#include <vector>
#ifdef __linux__
#include <sys/resource.h>
#include <unistd.h>
#endif

#include "FontConfigurationLoad.h"
#include "QtsMode.h"
#include "QtsWidgets.h"

namespace
{

TEST(ModeFromArgumentsTest, OnlySetupAsFirstArgumentInAnyAsciiCaseOpensSetup)
{
    const auto modeFor = [](std::vector<const char*> arguments) {
        arguments.insert(arguments.begin(), "qtsconfig");
        return ModeFromArguments(static_cast<int>(arguments.size()), arguments.data());
    };
    for (const char* first : {"/setup", "/SETUP", "/Setup", "/sEtUp"})
        EXPECT_EQ(modeFor({first, "/other"}), QtsMode::Setup) << first;
    // "\x0f" would become "/" by a fold that sets the 32 bit; a long s (U+017F) folds to "s"
    // under Unicode rules.
    for (const char* first :
         {"", "setup", "-setup", " /setup", "/setup ", "/setupx", "/setu", "\\setup", "\x0fsetup",
          "/\xC5\xBF"
          "etup"})
        EXPECT_EQ(modeFor({first}), QtsMode::AliasConfiguration) << first;
    EXPECT_EQ(modeFor({"-reverse", "/setup"}), QtsMode::AliasConfiguration);
    EXPECT_EQ(modeFor({}), QtsMode::AliasConfiguration);
    EXPECT_EQ(ModeFromArguments(0, nullptr), QtsMode::AliasConfiguration);
}

TEST(FontConfigurationLoadTest, AFinishedReadIsWaitedForAndAStuckOneOnlyForAWhile)
{
    int priority = 0;
    {
        FontConfigurationLoad load([&priority] {
#ifdef __linux__
            priority = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
#endif
        });
        EXPECT_TRUE(load.Wait());
    }
#ifdef __linux__
    EXPECT_EQ(priority, 19) << "the read runs at the lowest priority";
#endif

    // A read that the scheduler never lets finish must not hold the window back for good; the
    // thread is still ended and joined with the program.
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    bool ended = false;
    {
        FontConfigurationLoad load([&] {
            released.wait();
            ended = true;
        });
        EXPECT_FALSE(load.Wait());
        EXPECT_FALSE(ended);
        release.set_value();
    }
    EXPECT_TRUE(ended);
}

// A font asked for by the installed family is the very font the toolkit finds on its own for the
// family asked for, installed or not: an alias of the configuration, a family of metric twins,
// a generic name, a family nowhere to be found.
TEST(FontConfigurationLoadTest, TheInstalledFamilyGivesTheFontTheToolkitWouldHaveChosen)
{
    FontConfigurationLoad fonts(ClassicDialogFamily);
    fonts.Wait();
    std::vector<QFont> asked = {
        ClassicDialogFont(),     QFontDatabase::systemFont(QFontDatabase::GeneralFont),
        QFont("Helvetica", 10),  QFont("Times New Roman", 12),
        QFont("Courier", 9),     QFont("monospace", 8),
        QFont("DejaVu Sans", 8), QFont("No Family Of This Name", 8)};
    for (std::size_t i = 0, plain = asked.size(); i < plain; ++i) {
        QFont bold = asked[i];
        bold.setBold(true);
        asked.push_back(bold);
    }
    for (const QFont& font : asked) {
        QFont installed = font;
        installed.setFamily(
            QString::fromStdString(fonts.InstalledFamily(font.family().toStdString())));
        const QFontInfo chosen(font);
        const QFontInfo found(installed);
        const std::string asking = font.toString().toStdString();
        EXPECT_TRUE(QFontDatabase::hasFamily(installed.family())) << asking;
        EXPECT_EQ(found.family().toStdString(), chosen.family().toStdString()) << asking;
        EXPECT_EQ(found.styleName().toStdString(), chosen.styleName().toStdString()) << asking;
        EXPECT_EQ(found.pixelSize(), chosen.pixelSize()) << asking;
    }
}

} // namespace
