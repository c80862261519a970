// qtsctl: the aliases and the development-environment setup of Quillon Tessarium from the
// command line, for scripts and build machines.
#include <cstdlib>
#include <iostream>

#include "Commands.h"
#include "QtsLocations.h"
#include "WinePrefix.h"

#ifndef QTS_VERSION
#define QTS_VERSION "unknown"
#endif

namespace
{

const char* const Usage = "qtsctl [--help] [--version] [--wine-prefix FOLDER] COMMAND [ARGUMENTS]";

const char* const Help =
    "Aliases and development-environment setup of Quillon Tessarium, without a window.\n"
    "\n"
    "Commands:\n"
    "  where    where the two registry roots and the drive table are\n"
    "  alias    list, show, set, rename, delete, export, import and check aliases\n"
    "  setup    show what the setup fills in for an environment, or run the setup\n"
    "\n"
    "\n"
    "Options:\n"
    "  --wine-prefix FOLDER   use that Wine prefix as the registry and the drives, as\n"
    "                         QTS_WINEPREFIX does (Linux); it may stand anywhere before \"--\"\n"
    "\n"
    "While the Wine prefix in use has programs running (its wineserver), every command stops\n"
    "with a message and exit code 1, and nothing is written.\n"
    "'qtsctl COMMAND --help' describes a command. Nothing is ever asked on the terminal.\n"
    "Exit codes: 0 done, 1 not done or problems found, 2 wrong usage, 3 error.\n";

const char* const WhereUsage = "qtsctl where";

// Takes the global option --wine-prefix FOLDER (or --wine-prefix=FOLDER) out of the arguments,
// wherever it stands before "--"; answers the folder, empty when the option is not given.
std::string TakeWinePrefixOption(std::vector<std::string>& args)
{
    const std::string name = "--wine-prefix";
    std::string folder;
    for (std::size_t i = 0; i < args.size() && args[i] != "--";) {
        if (args[i] == name) {
            if (i + 1 >= args.size())
                throw UsageError("the option " + name + " needs a value");
            folder = args[i + 1];
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                       args.begin() + static_cast<std::ptrdiff_t>(i + 2));
            if (folder.empty())
                throw UsageError("the option " + name + " needs a folder");
        } else if (args[i].rfind(name + "=", 0) == 0) {
            folder = args[i].substr(name.size() + 1);
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
            if (folder.empty())
                throw UsageError("the option " + name + " needs a folder");
        } else {
            ++i;
        }
    }
    return folder;
}

bool AsksForHelp(const std::vector<std::string>& args)
{
    for (const std::string& arg : args) {
        if (arg == "--")
            return false;
        if (arg == "--help" || arg == "-h")
            return true;
    }
    return false;
}

int RunWhere(const std::vector<std::string>& args, bool prefixFromOption, std::ostream& out,
             std::ostream& err)
{
    try {
        const ParsedCommandLine line = ParseCommandLine(args, {});
        if (line.Has("help")) {
            out << "Usage: " << WhereUsage << "\n"
                << "Shows where the registry roots HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER and\n"
                   "the drive table are, and which environment variable (or --wine-prefix)\n"
                   "chose each place.\n";
            return ExitOk;
        }
        if (!line.operands.empty())
            throw UsageError("'where' takes no arguments");
    } catch (const UsageError& error) {
        return ReportUsage(err, error, WhereUsage, "where");
    }
    for (const QtsLocation& location : QtsLocations()) {
        out << location.what << ": " << location.where;
        if (prefixFromOption && location.movedBy == "QTS_WINEPREFIX")
            out << " (from --wine-prefix)";
        else if (!location.movedBy.empty())
            out << " (from " << location.movedBy << ")";
        out << "\n";
    }
    return ExitOk;
}

} // namespace

int ReportUsage(std::ostream& err, const UsageError& error, const std::string& usage,
                const std::string& command)
{
    err << "qtsctl: " << error.what() << "\n"
        << "Usage: " << usage << "\n"
        << "Try 'qtsctl " << (command.empty() ? "" : command + " ") << "--help' for more.\n";
    return ExitUsage;
}

int RunQtsCtl(std::vector<std::string> args, std::ostream& out, std::ostream& err)
{
    std::string winePrefix;
    try {
        winePrefix = TakeWinePrefixOption(args);
    } catch (const UsageError& error) {
        return ReportUsage(err, error, Usage, "");
    }
    if (!winePrefix.empty()) {
#ifdef _WIN32
        return ReportUsage(err,
                           UsageError("--wine-prefix is for the Linux build; under Wine this "
                                      "program uses the prefix it runs in"),
                           Usage, "");
#else
        // The store and the drive table are chosen from the environment, as for the windows.
        ::setenv("QTS_WINEPREFIX", winePrefix.c_str(), 1);
#endif
    }
    if (args.empty())
        return ReportUsage(err, UsageError("a command is missing"), Usage, "");
    const std::string& first = args.front();
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (first == "--help" || first == "-h") {
        out << "Usage: " << Usage << "\n" << Help;
        return ExitOk;
    }
    if (first == "--version") {
        out << "qtsctl " << QTS_VERSION << "\n";
        return ExitOk;
    }
    const bool known = first == "where" || first == "alias" || first == "setup";
    if (!known && !first.empty() && first[0] == '-')
        return ReportUsage(err, UsageError("unknown option " + first), Usage, "");
    if (!known)
        return ReportUsage(err, UsageError("unknown command '" + first + "'"), Usage, "");
    // A Wine server would write its own copy of the registry back over anything written now.
    const std::string inUse = AsksForHelp(rest) ? std::string() : WinePrefix::InUseNotice();
    if (first == "where") {
        const int code = RunWhere(rest, !winePrefix.empty(), out, err);
        if (code == ExitOk && !inUse.empty()) {
            err << "qtsctl: " << inUse << "\n";
            return ExitFailed;
        }
        return code;
    }
    if (!inUse.empty()) {
        err << "qtsctl: " << inUse << "\n";
        return ExitFailed;
    }
    if (first == "alias")
        return RunAliasCommand(rest, out, err);
    return RunSetupCommand(rest, out, err);
}

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int code = RunQtsCtl(args, std::cout, std::cerr);
    std::cout.flush();
    return code;
}
