// The commands of qtsctl. Each takes the arguments after its own name and answers the exit code.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "CommandLine.h"

enum ExitCode {
    ExitOk = 0,
    ExitFailed = 1, // the operation did not take place, or found problems
    ExitUsage = 2,  // wrong usage
    ExitError = 3,  // a registry or file error ended it
};

// The whole program after its name: the global options, then one command.
int RunQtsCtl(std::vector<std::string> args, std::ostream& out, std::ostream& err);
int RunAliasCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunSetupCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Prints a usage error with the command's usage line and where to read more; answers ExitUsage.
int ReportUsage(std::ostream& err, const UsageError& error, const std::string& usage,
                const std::string& command);
