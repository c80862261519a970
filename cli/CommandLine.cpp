#include "CommandLine.h"

#include <algorithm>

bool ParsedCommandLine::Has(const std::string& name) const
{
    return std::any_of(options.begin(), options.end(),
                       [&](const auto& option) { return option.first == name; });
}

std::string ParsedCommandLine::Value(const std::string& name, const std::string& fallback) const
{
    for (auto it = options.rbegin(); it != options.rend(); ++it)
        if (it->first == name)
            return it->second;
    return fallback;
}

std::vector<std::string> ParsedCommandLine::Values(const std::string& name) const
{
    std::vector<std::string> values;
    for (const auto& option : options)
        if (option.first == name)
            values.push_back(option.second);
    return values;
}

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args,
                                   const std::vector<OptionRule>& rules)
{
    std::vector<OptionRule> known = rules;
    known.push_back({"help", false, 'h'});
    ParsedCommandLine parsed;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            parsed.operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const OptionRule* rule = nullptr;
        std::string value;
        bool hasInlineValue = false;
        std::string shown;
        if (arg[1] == '-') {
            const std::size_t equals = arg.find('=');
            const std::string name =
                arg.substr(2, equals == std::string::npos ? equals : equals - 2);
            shown = "--" + name;
            for (const OptionRule& s : known)
                if (name == s.name)
                    rule = &s;
            if (equals != std::string::npos) {
                value = arg.substr(equals + 1);
                hasInlineValue = true;
            }
        } else {
            shown = arg.substr(0, 2);
            for (const OptionRule& s : known)
                if (s.shortName != '\0' && arg[1] == s.shortName)
                    rule = &s;
            if (arg.size() > 2) {
                value = arg.substr(2);
                hasInlineValue = true;
            }
        }
        if (!rule)
            throw UsageError("unknown option " + shown);
        if (!rule->takesValue && hasInlineValue)
            throw UsageError("the option " + shown + " takes no value");
        if (rule->takesValue && !hasInlineValue) {
            if (i + 1 >= args.size())
                throw UsageError("the option " + shown + " needs a value");
            value = args[++i];
        }
        parsed.options.emplace_back(rule->name, value);
    }
    return parsed;
}
