// QTSConfig: starts the application, chooses the mode from the first argument and runs the
// one window of that mode until it closes.
#include <QApplication>
#include <QFontDatabase>
#include <memory>
#include <string>

#include "AliasListing.h"
#include "ConfigForm.h"
#include "FontConfigurationLoad.h"
#include "QtsFormTools.h"
#include "QtsMode.h"
#include "QtsWidgets.h"
#include "SessionBusAddress.h"
#include "SetupForm.h"
#include "WinePrefix.h"

namespace
{

// The family of the desktop font where no desktop theme names one: the toolkit's own default.
constexpr char ToolkitDesktopFamily[] = "Sans Serif";

} // namespace

int main(int argc, char** argv)
{
    // Qt removes its own options from the argument list; the mode is taken from the raw one.
    const QtsMode mode = ModeFromArguments(argc, argv);
    // Where no session bus can be reached or started, the toolkit's accessibility bridge would
    // have libdbus fork the program to run a launcher that is not installed. This may set the
    // environment, so it runs before any other thread does.
    AvoidSessionBusLaunchWithoutLauncher();
    // Work that needs no display runs beside Qt's start, which mostly waits for the display
    // server and the dynamic loader: the font configuration and the alias window's first list.
    // The aliases are read before the window exists only when it has no notice to show first.
    FontConfigurationLoad fonts(mode == QtsMode::Setup ? ToolkitDesktopFamily
                                                       : ClassicDialogFamily);
    std::unique_ptr<AliasListing> aliases;
    if (mode == QtsMode::AliasConfiguration && WinePrefix::InUseNotice().empty())
        aliases = std::make_unique<AliasListing>(AliasScope::Global);

    QApplication application(argc, argv);
    // The title is given to every message box explicitly: an application display name would
    // also be appended to every window caption on X11.
    application.setApplicationName(QString::fromUtf8(ApplicationTitle));
    fonts.Wait();
    // The setup window is in the desktop's font; the alias window and its dialogs are in the
    // classic one. Either is asked for by the installed family that stands in for it.
    QFont font = mode == QtsMode::Setup ? QFontDatabase::systemFont(QFontDatabase::GeneralFont)
                                        : ClassicDialogFont();
    font.setFamily(QString::fromStdString(fonts.InstalledFamily(font.family().toStdString())));
    UseDialogFont(font);

    std::unique_ptr<QWidget> window;
    if (mode == QtsMode::Setup)
        window = std::make_unique<TFormSetup>();
    else
        window = std::make_unique<TFormConfig>(std::move(aliases));
    window->show();
    application.exec();
    return 0;
}
