// GNU-style options for qtsctl: "--name value", "--name=value", "-o value", "-ovalue", flags
// without a value, and "--" before operands that begin with "-".
#pragma once

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// Wrong usage: what is wrong; the caller prints it with the command's usage line. Exit code 2.
class UsageError : public std::runtime_error
{
public:
    explicit UsageError(const std::string& message) : std::runtime_error(message) {}
};

struct OptionRule {
    std::string name; // long name without "--"
    bool takesValue;
    char shortName = '\0';
};

struct ParsedCommandLine {
    // Options in the order given, by long name; flags have an empty value.
    std::vector<std::pair<std::string, std::string>> options;
    std::vector<std::string> operands;

    bool Has(const std::string& name) const;
    // The last value given for the option, or `fallback`.
    std::string Value(const std::string& name, const std::string& fallback = "") const;
    std::vector<std::string> Values(const std::string& name) const;
};

// Reads args against the rules; "--help" and "-h" are always known. Throws UsageError for an
// unknown option, a missing value, or a value given to a flag.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args,
                                   const std::vector<OptionRule>& rules);
