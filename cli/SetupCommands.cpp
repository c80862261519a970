// qtsctl setup: what the setup window fills in for an environment, and the setup run.
#include <algorithm>

#include "Commands.h"
#include "ConsoleReport.h"
#include "Json.h"
#include "SetupChoices.h"
#include "SetupRun.h"

namespace
{

const char* const SetupUsage = "qtsctl setup show|run --environment NAME [OPTIONS]";
const char* const ShowUsage = "qtsctl setup show --environment NAME [OPTIONS] [--json]";
const char* const RunUsage = "qtsctl setup run --environment NAME [OPTIONS]";

const char* const ChoicesHelp =
    "  --environment NAME     one of \"Delphi 2\", \"Delphi 3\", \"Delphi 4\", \"Delphi 5\",\n"
    "                         \"C++Builder 1\", \"C++Builder 3\", \"C++Builder 4\" (required)\n"
    "  --generate, --no-generate   generate the modified BDE interface or not\n"
    "  --original LINE        an original file (\"path\" or \"path=target\"); repeat it for\n"
    "                         each file; replaces the whole list\n"
    "  --patched DIR          the folder for the modified files\n"
    "  --design install|remove|skip   the design environment step\n"
    "  --search-path TEXT     the library search path to write\n"
    "  --component-library FILE   the component library (Delphi 2, C++Builder 1)\n"
    "  --no-demo              do not set the demo project to open next time\n"
    "  --tools install|remove|skip    the Database Explorer and Query Builder step\n"
    "Options left out keep what the setup window fills in after the environment is chosen;\n"
    "--design install or remove recomputes the search path and component library from the\n"
    "registry, as selecting it in the window does.\n";

const char* const ShowHelp =
    "Shows what the setup window's pages fill in for the environment (with the options\n"
    "applied), one 'field: value' line each, or one JSON object with --json. The notices\n"
    "the window would show go to standard error, and make the exit code 1.\n";

const char* const RunHelp =
    "Carries out the setup run as the window's Setup button does, in its fixed order: the\n"
    "modified BDE interface, the design environment, the design tools, LastEnvironment.\n"
    "Progress lines go to standard output as they happen; notices, error dialogs and the\n"
    "design tool question go to standard error. Nothing is asked:\n"
    "  --overwrite-saved-copies   answer OK when a design tool already has a saved copy\n"
    "                             (otherwise Cancel, and that tool's step is aborted)\n"
    "When choosing the environment shows a notice (the environment or the engine was not\n"
    "found), nothing is run.\n"
    "Exit codes: 0 the run ended with Done. and nothing aborted; 1 a step aborted or a\n"
    "notice was shown; 3 an error ended the run (its message on standard error); 2 wrong\n"
    "usage.\n";

std::vector<OptionRule> ChoiceOptions()
{
    return {{"environment", true}, {"generate", false},         {"no-generate", false},
            {"original", true},    {"patched", true},           {"design", true},
            {"search-path", true}, {"component-library", true}, {"no-demo", false},
            {"tools", true}};
}

StepChoice StepFrom(const std::string& option, const std::string& text)
{
    if (text == "install")
        return StepChoice::Install;
    if (text == "remove")
        return StepChoice::Remove;
    if (text == "skip")
        return StepChoice::Skip;
    throw UsageError("--" + option + " takes install, remove or skip, not '" + text + "'");
}

const char* StepText(StepChoice choice)
{
    return choice == StepChoice::Install  ? "install"
           : choice == StepChoice::Remove ? "remove"
                                          : "skip";
}

Environment EnvironmentFrom(const ParsedCommandLine& line)
{
    if (!line.Has("environment"))
        throw UsageError("--environment is missing");
    const std::string name = line.Value("environment");
    if (const std::optional<Environment> environment = EnvironmentFromCaption(name))
        return *environment;
    std::string names;
    for (const EnvironmentEntry& entry : EnvironmentCatalogue())
        names += std::string(names.empty() ? "" : ", ") + "\"" + entry.caption + "\"";
    throw UsageError("unknown environment '" + name + "'; the environments are " + names);
}

SetupChoices ChoicesFrom(const ParsedCommandLine& line)
{
    SetupChoices choices;
    for (const auto& [option, value] : line.options) {
        if (option == "generate" || option == "no-generate")
            choices.generate = option == "generate";
        else if (option == "patched")
            choices.patchedFolder = value;
        else if (option == "design")
            choices.design = StepFrom(option, value);
        else if (option == "search-path")
            choices.libraryPath = value;
        else if (option == "component-library")
            choices.complib = value;
        else if (option == "no-demo")
            choices.installDemo = false;
        else if (option == "tools")
            choices.tools = StepFrom(option, value);
    }
    if (line.Has("original"))
        choices.originalFiles = line.Values("original");
    return choices;
}

void PrintFields(std::ostream& out, const SetupFields& fields, bool json)
{
    const auto yes = [](bool value) { return value ? "yes" : "no"; };
    const std::string environment = CatalogueEntry(*fields.environment).caption;
    if (json) {
        const auto boolean = [](bool value) { return value ? "true" : "false"; };
        out << "{\"environment\": " << JsonString(environment)
            << ",\n \"generate\": " << boolean(fields.generate) << ",\n \"original\": [";
        for (std::size_t i = 0; i < fields.originalFiles.size(); ++i)
            out << (i ? ", " : "") << JsonString(fields.originalFiles[i]);
        out << "],\n \"patched\": " << JsonString(fields.patchedFolder) << ",\n \"design\": \""
            << StepText(fields.design) << "\""
            << ",\n \"search-path\": " << JsonString(fields.libraryPath)
            << ",\n \"component-library\": " << JsonString(fields.complib)
            << ",\n \"component-library-enabled\": " << boolean(fields.complibEnabled)
            << ",\n \"demo\": " << boolean(fields.installDemo) << ",\n \"tools\": \""
            << StepText(fields.tools) << "\""
            << ",\n \"explorer-dll\": " << JsonString(fields.explorerPath)
            << ",\n \"query-builder-dll\": " << JsonString(fields.queryBuilderPath)
            << ",\n \"query-builder-enabled\": " << boolean(fields.queryBuilderEnabled) << "}\n";
        return;
    }
    out << "environment: " << environment << "\n"
        << "generate: " << yes(fields.generate) << "\n";
    for (const std::string& line : fields.originalFiles)
        out << "original: " << line << "\n";
    out << "patched: " << fields.patchedFolder << "\n"
        << "design: " << StepText(fields.design) << "\n"
        << "search-path: " << fields.libraryPath << "\n"
        << "component-library: " << fields.complib << "\n"
        << "demo: " << yes(fields.installDemo) << "\n"
        << "tools: " << StepText(fields.tools) << "\n"
        << "explorer-dll: " << fields.explorerPath << "\n"
        << "query-builder-dll: " << fields.queryBuilderPath << "\n";
}

int Prepare(const ParsedCommandLine& line, ConsoleReport& report, EnvironmentProfile& profile,
            SetupFields& fields)
{
    if (!line.operands.empty())
        throw UsageError("unexpected argument '" + line.operands.front() + "'");
    const Environment environment = EnvironmentFrom(line);
    const SetupChoices choices = ChoicesFrom(line);
    ChooseEnvironment(environment, profile, fields, report);
    ApplySetupChoices(choices, profile, fields, report);
    return ExitOk;
}

int Show(const ParsedCommandLine& line, std::ostream& out, std::ostream& err)
{
    ConsoleReport report(out, err, false);
    EnvironmentProfile profile;
    SetupFields fields;
    Prepare(line, report, profile, fields);
    PrintFields(out, fields, line.Has("json"));
    return report.SawNotice() ? ExitFailed : ExitOk;
}

int Run(const ParsedCommandLine& line, std::ostream& out, std::ostream& err)
{
    ConsoleReport report(out, err, line.Has("overwrite-saved-copies"));
    EnvironmentProfile profile;
    SetupFields fields;
    Prepare(line, report, profile, fields);
    // A window whose environment or engine was not found keeps texts of its initial layout,
    // which name another environment's files; a person sees them before pressing Setup, a
    // script would not.
    if (report.SawNotice()) {
        err << "qtsctl: the setup was not run: the environment or the engine was not found as "
               "the notices above say, and the setup would work on files of another "
               "environment. Install them (or mend their registry keys) and check with 'qtsctl "
               "setup show'.\n";
        return ExitFailed;
    }
    RunSetup(profile, fields, report);
    return report.SawAbort() || report.SawNotice() || report.SawError() ? ExitFailed : ExitOk;
}

} // namespace

int RunSetupCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    if (args.empty())
        return ReportUsage(err, UsageError("a setup command is missing"), SetupUsage, "setup");
    const std::string& word = args.front();
    if (word == "--help" || word == "-h") {
        out << "Usage: " << SetupUsage << "\n"
            << "Commands:\n"
               "  show    what the setup window fills in for an environment\n"
               "  run     the setup run, as the window's Setup button carries it out\n"
               "'qtsctl setup COMMAND --help' describes a command and its options.\n";
        return ExitOk;
    }
    const bool run = word == "run";
    if (!run && word != "show")
        return ReportUsage(err, UsageError("unknown setup command '" + word + "'"), SetupUsage,
                           "setup");
    const char* usage = run ? RunUsage : ShowUsage;
    std::vector<OptionRule> options = ChoiceOptions();
    options.push_back(run ? OptionRule{"overwrite-saved-copies", false}
                          : OptionRule{"json", false});
    try {
        const ParsedCommandLine line =
            ParseCommandLine(std::vector<std::string>(args.begin() + 1, args.end()), options);
        if (line.Has("help")) {
            out << "Usage: " << usage << "\n"
                << (run ? RunHelp : ShowHelp) << "Options:\n"
                << ChoicesHelp;
            return ExitOk;
        }
        return run ? Run(line, out, err) : Show(line, out, err);
    } catch (const UsageError& error) {
        return ReportUsage(err, error, usage, std::string("setup ") + word);
    } catch (const std::exception& error) {
        out.flush();
        err << "qtsctl: " << error.what() << "\n";
        return ExitError;
    }
}
