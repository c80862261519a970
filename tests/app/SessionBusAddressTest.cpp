// When the program tells libdbus where the session bus is, instead of letting it fork to run a
// dbus-launch that is not installed.
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <string>
#include <vector>
#ifdef QTS_HAVE_SESSION_BUS
#include <QDBusConnection>
#include <QDBusError>
#endif

#include "SessionBusAddress.h"

namespace
{

// An environment and a file system of the test's own: which variables are set, which files
// may be run, and which files were looked at.
class SessionBusAddressTest : public testing::Test
{
protected:
    std::string Address()
    {
        looked.clear();
        return SessionBusAddressInPlaceOfLaunch(
            [this](const char* name) {
                const auto found = variables.find(name);
                return found == variables.end() ? nullptr : found->second.c_str();
            },
            [this](const std::string& file) {
                looked.push_back(file);
                return executables.count(file) > 0;
            });
    }

    std::map<std::string, std::string> variables{{"XDG_RUNTIME_DIR", "/run/user/1000"},
                                                 {"PATH", "/opt/tools::/usr/local/bin"}};
    std::set<std::string> executables;
    std::vector<std::string> looked;
};

TEST_F(SessionBusAddressTest, WithNoLauncherAnywhereTheBusIsLookedForInTheRuntimeFolder)
{
    EXPECT_EQ(Address(), "unix:path=/run/user/1000/bus");
    // Where libdbus runs it from, then the PATH as the C library searches it: an empty entry
    // is the current folder.
    EXPECT_EQ(looked, (std::vector<std::string>{"/usr/bin/dbus-launch", "/opt/tools/dbus-launch",
                                                "dbus-launch", "/usr/local/bin/dbus-launch"}));

    variables.erase("PATH");
    EXPECT_EQ(Address(), "unix:path=/run/user/1000/bus");
    EXPECT_EQ(looked, (std::vector<std::string>{"/usr/bin/dbus-launch", "/bin/dbus-launch",
                                                "/usr/bin/dbus-launch"}));
}

TEST_F(SessionBusAddressTest, LibdbusIsLeftAloneWhereItHasAnAddressOrALauncher)
{
    for (const char* launcher : {"/usr/bin/dbus-launch", "/opt/tools/dbus-launch", "dbus-launch",
                                 "/usr/local/bin/dbus-launch"}) {
        executables = {launcher};
        EXPECT_EQ(Address(), "") << launcher;
    }
    executables.clear();

    variables["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=/elsewhere/bus";
    EXPECT_EQ(Address(), "");
    EXPECT_TRUE(looked.empty());
    // An empty address is no address, to libdbus as well.
    variables["DBUS_SESSION_BUS_ADDRESS"] = "";
    EXPECT_EQ(Address(), "unix:path=/run/user/1000/bus");

    // Without a runtime folder there is no place to name.
    variables["XDG_RUNTIME_DIR"] = "";
    EXPECT_EQ(Address(), "");
    variables.erase("XDG_RUNTIME_DIR");
    EXPECT_EQ(Address(), "");
}

// A folder name may hold what an address may not: every such byte is written as %XX.
TEST_F(SessionBusAddressTest, TheRuntimeFolderIsEscapedForTheAddress)
{
    variables["XDG_RUNTIME_DIR"] = "/tmp/my run,time;dir=50%/\xC3\xBC_x-1.2*\\";
    EXPECT_EQ(Address(), "unix:path=/tmp/my%20run%2ctime%3bdir%3d50%25/%c3%bc_x-1.2*%5c/bus");
}

#ifdef QTS_HAVE_SESSION_BUS
// libdbus reads the escaped address back as the runtime folder's own bus socket, and fails at
// once where nothing listens there.
TEST_F(SessionBusAddressTest, LibdbusConnectsToTheSocketTheAddressNames)
{
    const std::string folder = testing::TempDir() + "qts bus, 100%";
    variables["XDG_RUNTIME_DIR"] = folder;
    const QDBusConnection connection = QDBusConnection::connectToBus(
        QString::fromStdString(Address()), QStringLiteral("SessionBusAddressTest"));
    EXPECT_FALSE(connection.isConnected());
    EXPECT_TRUE(connection.lastError().message().contains(QString::fromStdString(folder + "/bus")))
        << connection.lastError().message().toStdString();
    QDBusConnection::disconnectFromBus(QStringLiteral("SessionBusAddressTest"));
}
#endif

} // namespace
