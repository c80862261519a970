// qtsctl: the aliases and the development-environment setup of Quillon Tessarium from the
// command line, for scripts and build machines.
#include <iostream>

#include "Commands.h"
#include "QtsLocations.h"

#ifndef QTS_VERSION
#define QTS_VERSION "unknown"
#endif

namespace
{

const char* const Usage = "qtsctl [--help] [--version] COMMAND [ARGUMENTS]";

const char* const Help =
    "Aliases and development-environment setup of Quillon Tessarium, without a window.\n"
    "\n"
    "Commands:\n"
    "  where    where the two registry roots and the drive table are\n"
    "  alias    list, show, set, rename, delete, export, import and check aliases\n"
    "  setup    show what the setup fills in for an environment, or run the setup\n"
    "\n"
    "'qtsctl COMMAND --help' describes a command. Nothing is ever asked on the terminal.\n"
    "Exit codes: 0 done, 1 not done or problems found, 2 wrong usage, 3 error.\n";

const char* const WhereUsage = "qtsctl where";

int RunWhere(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    try {
        const ParsedCommandLine line = ParseCommandLine(args, {});
        if (line.Has("help")) {
            out << "Usage: " << WhereUsage << "\n"
                << "Shows where the registry roots HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER and\n"
                   "the drive table are, and which environment variable chose each place.\n";
            return ExitOk;
        }
        if (!line.operands.empty())
            throw UsageError("'where' takes no arguments");
    } catch (const UsageError& error) {
        return ReportUsage(err, error, WhereUsage, "where");
    }
    for (const QtsLocation& location : QtsLocations()) {
        out << location.what << ": " << location.where;
        if (!location.movedBy.empty())
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

int RunQtsCtl(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
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
    if (first == "where")
        return RunWhere(rest, out, err);
    if (first == "alias")
        return RunAliasCommand(rest, out, err);
    if (first == "setup")
        return RunSetupCommand(rest, out, err);
    if (!first.empty() && first[0] == '-')
        return ReportUsage(err, UsageError("unknown option " + first), Usage, "");
    return ReportUsage(err, UsageError("unknown command '" + first + "'"), Usage, "");
}

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int code = RunQtsCtl(args, std::cout, std::cerr);
    std::cout.flush();
    return code;
}
