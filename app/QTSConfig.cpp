// QTSConfig: starts the application, chooses the mode from the first argument and runs the
// one window of that mode until it closes.
#include <QApplication>
#ifdef QTS_HAVE_SESSION_BUS
#include <QDBusConnection>
#endif
#include <QFontDatabase>
#include <memory>
#include <string>

#include "AliasListing.h"
#include "ConfigForm.h"
#include "FontConfigurationLoad.h"
#include "QtsFormTools.h"
#include "QtsMode.h"
#include "QtsWidgets.h"
#include "SetupForm.h"
#include "WinePrefix.h"

namespace
{

// The family of the desktop font where no desktop theme names one: the toolkit's own default.
constexpr char ToolkitDesktopFamily[] = "Sans Serif";

// Connects the application to the session bus where the toolkit's accessibility bridge will.
void ConnectAccessibilityBus()
{
#ifdef QTS_HAVE_SESSION_BUS
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland")))
        QDBusConnection::sessionBus();
#endif
}

} // namespace

int main(int argc, char** argv)
{
    // Qt removes its own options from the argument list; the mode is taken from the raw one.
    const QtsMode mode = ModeFromArguments(argc, argv);
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
    // The accessibility bridge connects to the session bus at the window's first control, and
    // waits for it; without a bus, libdbus first tries to start one in a child process. Connected
    // here, that wait overlaps the end of the font configuration's read.
    ConnectAccessibilityBus();
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
