// qtsctl alias: the alias store of one scope, as the alias window lists, shows and saves it.
#include <algorithm>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "AliasNameOrder.h"
#include "AliasRegFile.h"
#include "AliasStore.h"
#include "AsciiCase.h"
#include "Commands.h"
#include "JetFileCheck.h"
#include "Json.h"
#include "QtsLocations.h"
#include "TRegistry.h"
#include "WinePrefix.h"

namespace
{

const char* const AliasUsage = "qtsctl alias COMMAND [--scope global|user] [ARGUMENTS]";
const char* const AliasHelp =
    "Commands:\n"
    "  list [--json]                      names and database paths, in the window's order\n"
    "  show NAME [--json]                 the 18 values as the alias window shows them\n"
    "  set NAME [OPTIONS]                 change values and save the alias as Apply does\n"
    "  rename OLD NEW                     give an alias another name\n"
    "  delete NAME                        delete an alias with everything below it\n"
    "  export [NAME...] [-o FILE]         aliases as a REGEDIT4 file\n"
    "  import FILE                        apply such a file (refused whole if any key lies\n"
    "                                     outside the scope's Aliases key)\n"
    "  check NAME                         the format of the alias's database and system file\n"
    "\n"
    "--scope global (the default, as the window starts: HKEY_LOCAL_MACHINE) or --scope user\n"
    "(HKEY_CURRENT_USER). 'qtsctl alias COMMAND --help' describes a command.\n";

// One value of an alias as the window shows it: its label, and the option of "alias set".
struct AliasField {
    const char* option;
    const char* label;
    bool AliasSettings::*flag;
    std::string AliasSettings::*text;
    bool inverted; // "Use dbSeeChanges" is checked when "Disable SeeChanges" is off
};

// The window's pages in order: Connection, Compatibility, Settings 1, Settings 2, Row Fetching.
const AliasField Fields[] = {
    {"path", "Database File", nullptr, &AliasSettings::Path, false},
    {"exclusive", "Exclusive", &AliasSettings::Exclusive, nullptr, false},
    {"read-only", "Read Only", &AliasSettings::ReadOnly, nullptr, false},
    {"lock-edits", "Lock Edits", &AliasSettings::LockEdits, nullptr, false},
    {"separate-workspace", "Separate Workspace", &AliasSettings::SeparateWorkspace, nullptr, false},
    {"system-db", "System File", nullptr, &AliasSettings::SystemDb, false},
    {"user-name", "Username", nullptr, &AliasSettings::UserName, false},
    {"connect", "Connect String", nullptr, &AliasSettings::Connect, false},
    {"disable-refresh", "Disable Refresh", &AliasSettings::DisableRefresh, nullptr, false},
    {"rename-primary", "Rename PrimaryKey to _PrimaryKey", &AliasSettings::RenamePrimary, nullptr,
     false},
    {"show-guids", "Show GUIDs in replicated databases", &AliasSettings::ShowGUIDs, nullptr, false},
    {"use-defaults", "Retrieve Default Values", &AliasSettings::UseDefaults, nullptr, false},
    {"use-constraints", "Retrieve Constraints", &AliasSettings::UseConstraints, nullptr, false},
    {"use-allow-zero-length", "Retrieve Allow Zero Length Flag", &AliasSettings::UseAllowZeroLength,
     nullptr, false},
    {"see-changes", "Use dbSeeChanges", &AliasSettings::DisableSeeChanges, nullptr, true},
    {"report-indexes-case-sensitive", "Report Indexes As Case Sensitive",
     &AliasSettings::ReportIndexesCaseSensitive, nullptr, false},
    {"prefetch-threshold", "Prefetch Threshold", nullptr, &AliasSettings::PrefetchThreshold, false},
    {"prefetch-reset-every", "Reset Every", nullptr, &AliasSettings::PrefetchResetEvery, false},
};

bool Shown(const AliasField& field, const AliasSettings& settings)
{
    return (settings.*field.flag) != field.inverted;
}

struct Scope {
    AliasScope scope = AliasScope::Global;
    const char* option = "global";
    const char* name = "Global";
    const char* root = "HKEY_LOCAL_MACHINE";
};

Scope ScopeFrom(const ParsedCommandLine& line)
{
    const std::string text = line.Value("scope", "global");
    if (text == "global")
        return Scope();
    if (text == "user")
        return {AliasScope::CurrentUser, "user", "Current User", "HKEY_CURRENT_USER"};
    throw UsageError("--scope takes global or user, not '" + text + "'");
}

std::string ScopeText(const Scope& scope)
{
    return std::string("the ") + scope.name + " scope (" + scope.root + ")";
}

void CheckName(const std::string& name)
{
    if (name.empty())
        throw UsageError("an alias name cannot be empty");
    if (name.find('\\') != std::string::npos)
        throw UsageError("an alias name cannot contain a backslash ('" + name +
                         "' would name a key below another alias)");
}

// Opens the scope's Aliases key as the alias window does (creating it when missing); false when
// it cannot be opened for writing, which leaves the scope without aliases.
bool OpenScope(TRegistry& registry, const Scope& scope, std::ostream& err)
{
    registry.SelectRoot(scope.scope == AliasScope::Global ? RegistryRoot::LocalMachine
                                                          : RegistryRoot::CurrentUser);
    if (registry.OpenKeyPath(AliasesKeyPath, true)) {
        registry.CloseCurrentKey();
        return true;
    }
    std::string where;
    std::string variable =
        scope.scope == AliasScope::Global ? "QTS_MACHINE_REGISTRY" : "QTS_USER_REGISTRY";
    for (const QtsLocation& location : QtsLocations())
        if (location.what == scope.root)
            where = location.where;
    err << "qtsctl: the aliases of " << ScopeText(scope) << " cannot be opened for writing ("
        << scope.root << " is " << where << ").\n";
#ifdef _WIN32
    (void)variable;
    err << "Run qtsctl as a user who may change " << scope.root
        << (scope.scope == AliasScope::Global ? " (an administrator), or use --scope user.\n"
                                              : ".\n");
#else
    if (!WinePrefix::FromEnvironment().empty())
        err << "Run qtsctl as a user who may write the Wine prefix's files, or use another prefix"
            << (scope.scope == AliasScope::Global ? ", or use --scope user" : "") << ".\n";
    else
        err << "Run qtsctl as a user who may write that file (and its folder), or point "
            << variable << " at a file you may write"
            << (scope.scope == AliasScope::Global ? ", or use --scope user" : "") << ".\n";
#endif
    return false;
}

bool AliasExists(TRegistry& registry, const std::string& name)
{
    const bool exists = registry.OpenKeyPath(std::string(AliasesKeyPath) + "\\" + name, false);
    registry.CloseCurrentKey();
    return exists;
}

int NoSuchAlias(std::ostream& err, const std::string& name, const Scope& scope)
{
    err << "qtsctl: there is no alias '" << name << "' in " << ScopeText(scope)
        << "; 'qtsctl alias list --scope " << scope.option << "' lists its aliases.\n";
    return ExitFailed;
}

// ---- the commands ----------------------------------------------------------------------------

struct Command {
    const char* name;
    const char* usage;
    const char* help;
    std::vector<OptionRule> options;
    int (*run)(const ParsedCommandLine& line, const Scope& scope, std::ostream& out,
               std::ostream& err);
};

void RequireOperands(const ParsedCommandLine& line, std::size_t count)
{
    if (line.operands.size() < count)
        throw UsageError(count == 1 ? "an alias name is missing" : "two alias names are needed");
    if (line.operands.size() > count)
        throw UsageError("unexpected argument '" + line.operands[count] + "'");
}

// The one operand of a command on a single alias, checked.
const std::string& AliasOperand(const ParsedCommandLine& line)
{
    RequireOperands(line, 1);
    CheckName(line.operands[0]);
    return line.operands[0];
}

// The settings of the existing alias a command names; none, with the reason written to err,
// when the scope cannot be opened or holds no such alias.
std::optional<AliasSettings> ExistingAlias(const std::string& name, const Scope& scope,
                                           std::ostream& err)
{
    TRegistry registry;
    if (!OpenScope(registry, scope, err))
        return std::nullopt;
    std::optional<AliasSettings> settings = AliasStore(registry).LoadAlias(name);
    if (!settings)
        NoSuchAlias(err, name, scope);
    return settings;
}

int List(const ParsedCommandLine& line, const Scope& scope, std::ostream& out, std::ostream& err)
{
    RequireOperands(line, 0);
    TRegistry registry;
    if (!OpenScope(registry, scope, err))
        return ExitFailed;
    std::vector<std::pair<std::string, std::string>> aliases;
    AliasStore(registry).ListAliases(scope.scope, aliases);
    std::stable_sort(aliases.begin(), aliases.end(), [](const auto& a, const auto& b) {
        return CompareAliasNames(a.first, b.first) < 0;
    });
    if (line.Has("json")) {
        out << "[";
        for (std::size_t i = 0; i < aliases.size(); ++i)
            out << (i ? ",\n " : "\n ") << "{\"name\": " << JsonString(aliases[i].first)
                << ", \"path\": " << JsonString(aliases[i].second) << "}";
        out << (aliases.empty() ? "]\n" : "\n]\n");
        return ExitOk;
    }
    for (const auto& alias : aliases)
        out << alias.first << "\t" << alias.second << "\n";
    return ExitOk;
}

int Show(const ParsedCommandLine& line, const Scope& scope, std::ostream& out, std::ostream& err)
{
    const std::string& name = AliasOperand(line);
    const std::optional<AliasSettings> settings = ExistingAlias(name, scope, err);
    if (!settings)
        return ExitFailed;
    if (line.Has("json")) {
        out << "{\"name\": " << JsonString(name);
        for (const AliasField& field : Fields) {
            out << ",\n \"" << field.option << "\": ";
            if (field.flag)
                out << (Shown(field, *settings) ? "true" : "false");
            else
                out << JsonString((*settings).*field.text);
        }
        out << "}\n";
        return ExitOk;
    }
    for (const AliasField& field : Fields) {
        out << field.label << ": ";
        if (field.flag)
            out << (Shown(field, *settings) ? "on" : "off");
        else
            out << (*settings).*field.text;
        out << "\n";
    }
    return ExitOk;
}

std::vector<OptionRule> SetOptions()
{
    std::vector<OptionRule> rules = {{"scope", true}};
    for (const AliasField& field : Fields) {
        rules.push_back({field.option, field.text != nullptr});
        if (field.flag)
            rules.push_back({std::string("no-") + field.option, false});
    }
    return rules;
}

int Set(const ParsedCommandLine& line, const Scope& scope, std::ostream&, std::ostream& err)
{
    const std::string& name = AliasOperand(line);
    TRegistry registry;
    if (!OpenScope(registry, scope, err))
        return ExitFailed;
    AliasStore store(registry);
    // A new alias starts out empty; an existing one keeps every value no option names.
    AliasSettings settings = store.LoadAlias(name).value_or(AliasSettings());
    for (const auto& [option, value] : line.options) {
        for (const AliasField& field : Fields) {
            if (field.text && option == field.option)
                settings.*field.text = value;
            else if (field.flag && option == field.option)
                settings.*field.flag = !field.inverted;
            else if (field.flag && option == std::string("no-") + field.option)
                settings.*field.flag = field.inverted;
        }
    }
    if (!store.SaveAlias(name, settings)) {
        err << "qtsctl: the alias '" << name << "' could not be saved in " << ScopeText(scope)
            << "; nothing was written.\n";
        return ExitFailed;
    }
    return ExitOk;
}

int Rename(const ParsedCommandLine& line, const Scope& scope, std::ostream&, std::ostream& err)
{
    RequireOperands(line, 2);
    const std::string& from = line.operands[0];
    const std::string& to = line.operands[1];
    CheckName(from);
    CheckName(to);
    TRegistry registry;
    if (!OpenScope(registry, scope, err))
        return ExitFailed;
    if (!AliasExists(registry, from))
        return NoSuchAlias(err, from, scope);
    if (AliasExists(registry, to)) {
        // Key names compare ignoring case; ASCII folding is what every store here agrees on.
        if (EqualIgnoringAsciiCase(from, to)) {
            err << "qtsctl: '" << to << "' is the alias '" << from
                << "' itself: alias names compare ignoring case, and a key keeps the spelling it"
                   " was created with. Nothing was renamed; to change only the letter case, rename"
                   " it to another name first.\n";
            return ExitFailed;
        }
        err << "qtsctl: an alias '" << to << "' exists already in " << ScopeText(scope)
            << " (alias names compare ignoring case); nothing was renamed. Delete or rename that"
               " alias first, or choose another name.\n";
        return ExitFailed;
    }
    AliasStore(registry).RenameAlias(from, to);
    if (AliasExists(registry, from) || !AliasExists(registry, to)) {
        err << "qtsctl: the alias '" << from << "' could not be renamed to '" << to << "'.\n";
        return ExitFailed;
    }
    return ExitOk;
}

int Delete(const ParsedCommandLine& line, const Scope& scope, std::ostream&, std::ostream& err)
{
    const std::string& name = AliasOperand(line);
    TRegistry registry;
    if (!OpenScope(registry, scope, err))
        return ExitFailed;
    if (!AliasExists(registry, name))
        return NoSuchAlias(err, name, scope);
    AliasStore(registry).DeleteAlias(name);
    if (AliasExists(registry, name)) {
        err << "qtsctl: the alias '" << name << "' could not be deleted from " << ScopeText(scope)
            << ".\n";
        return ExitFailed;
    }
    return ExitOk;
}

int Export(const ParsedCommandLine& line, const Scope& scope, std::ostream& out, std::ostream& err)
{
    for (const std::string& name : line.operands)
        CheckName(name);
    std::vector<std::string> missing;
    const std::string text = ExportAliases(scope.scope, line.operands, missing);
    if (!missing.empty()) {
        for (const std::string& name : missing)
            NoSuchAlias(err, name, scope);
        err << "qtsctl: nothing was exported.\n";
        return ExitFailed;
    }
    if (!line.Has("output")) {
#ifdef _WIN32
        // The text has its CR LF line ends already.
        out.flush();
        _setmode(_fileno(stdout), _O_BINARY);
#endif
        out << text;
        out.flush();
        return ExitOk;
    }
    const std::string file = line.Value("output");
    std::ofstream stream(file, std::ios::out | std::ios::binary | std::ios::trunc);
    stream << text;
    stream.close();
    if (!stream) {
        err << "qtsctl: cannot write '" << file
            << "'; check that its folder exists and that you may write there.\n";
        return ExitFailed;
    }
    return ExitOk;
}

int Import(const ParsedCommandLine& line, const Scope& scope, std::ostream&, std::ostream& err)
{
    if (line.operands.empty())
        throw UsageError("the file to import is missing");
    if (line.operands.size() > 1)
        throw UsageError("unexpected argument '" + line.operands[1] + "'");
    const std::string& file = line.operands[0];
    std::string text;
    if (file == "-") {
#ifdef _WIN32
        _setmode(_fileno(stdin), _O_BINARY);
#endif
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else {
        std::ifstream stream(file, std::ios::in | std::ios::binary);
        if (!stream) {
            err << "qtsctl: cannot read '" << file
                << "'; check its name and that you may read it. Nothing was imported.\n";
            return ExitFailed;
        }
        text.assign(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
    }
    AliasImport import;
    if (!import.Parse(text, scope.scope)) {
        const AliasFileProblem& problem = import.Problem();
        err << (file == "-" ? std::string("<stdin>") : file) << ":" << problem.line << ": "
            << problem.message << "\n";
        if (problem.otherScope)
            err << "The file holds aliases of the "
                << (*problem.otherScope == AliasScope::Global ? "Global scope: import it with "
                                                                "--scope global"
                                                              : "Current User scope: import it "
                                                                "with --scope user")
                << ".\n";
        err << "qtsctl: the file was refused; nothing was imported.\n";
        return ExitFailed;
    }
    TRegistry registry;
    if (!OpenScope(registry, scope, err))
        return ExitFailed;
    import.Apply();
    return ExitOk;
}

void PrintCheck(std::ostream& out, const char* what, const std::string& path,
                const JetFileCheck& check)
{
    out << what << ": " << path << ": " << DescribeJetFile(check) << "\n";
}

int Check(const ParsedCommandLine& line, const Scope& scope, std::ostream& out, std::ostream& err)
{
    const std::string& name = AliasOperand(line);
    const std::optional<AliasSettings> settings = ExistingAlias(name, scope, err);
    if (!settings)
        return ExitFailed;
    bool problem = false;
    const std::pair<const char*, const std::string*> files[] = {
        {"Database file", &settings->Path}, {"System file", &settings->SystemDb}};
    for (const auto& [what, path] : files) {
        if (path->empty()) {
            out << what << ": none\n";
            continue;
        }
        const JetFileCheck check = CheckJetFile(*path);
        PrintCheck(out, what, *path, check);
        problem = problem || IsJetFileProblem(check.state);
    }
    return problem ? ExitFailed : ExitOk;
}

const std::vector<Command>& Commands()
{
    static const std::vector<Command> commands = {
        {"list",
         "qtsctl alias list [--scope global|user] [--json]",
         "Lists the aliases of the scope, one 'name<TAB>path' line each, sorted as the alias\n"
         "window sorts them; --json writes a JSON array of {name, path} objects.\n",
         {{"scope", true}, {"json", false}},
         List},
        {"show",
         "qtsctl alias show NAME [--scope global|user] [--json]",
         "Shows the 18 values of an alias as the alias window shows them, one 'label: value'\n"
         "line each (check boxes as on or off; 'Use dbSeeChanges' is the inverted\n"
         "'Disable SeeChanges'). --json writes one object keyed by the 'alias set' options.\n",
         {{"scope", true}, {"json", false}},
         Show},
        {"set", "qtsctl alias set NAME [--scope global|user] [OPTIONS]",
         "Loads the alias (or starts from an empty one when it does not exist), applies the\n"
         "options in the order given, and saves all 18 values as the window's Apply does.\n"
         "Texts (an empty text deletes the value):\n"
         "  --path FILE  --system-db FILE  --user-name NAME  --connect TEXT\n"
         "  --prefetch-threshold X  --prefetch-reset-every N\n"
         "Flags, each with its --no- form:\n"
         "  --exclusive  --read-only  --lock-edits  --separate-workspace  --use-defaults\n"
         "  --use-constraints  --use-allow-zero-length  --rename-primary  --show-guids\n"
         "  --disable-refresh  --report-indexes-case-sensitive\n"
         "  --see-changes | --no-see-changes   ('Use dbSeeChanges'; --no-see-changes stores\n"
         "                                     'Disable SeeChanges' = True)\n",
         SetOptions(), Set},
        {"rename",
         "qtsctl alias rename OLD NEW [--scope global|user]",
         "Renames an alias with everything below its key. A rename onto an existing name\n"
         "(names compare ignoring case) changes nothing and exits with 1.\n",
         {{"scope", true}},
         Rename},
        {"delete",
         "qtsctl alias delete NAME [--scope global|user]",
         "Deletes an alias with everything below its key. Nothing is asked.\n",
         {{"scope", true}},
         Delete},
        {"export",
         "qtsctl alias export [NAME...] [--scope global|user] [-o FILE]",
         "Writes the aliases named (all when none is named) as a REGEDIT4 file, with every\n"
         "value and subkey as stored, to FILE or standard output. regedit imports it under\n"
         "the scope's root; so does 'qtsctl alias import'.\n",
         {{"scope", true}, {"output", true, 'o'}},
         Export},
        {"import",
         "qtsctl alias import FILE [--scope global|user]",
         "Applies a REGEDIT4 file ('-' reads standard input). Every key must lie below the\n"
         "scope's Aliases key; if any key or value lies elsewhere, or the file does not parse,\n"
         "the whole file is refused with its file name and line and nothing is written.\n",
         {{"scope", true}},
         Import},
        {"check",
         "qtsctl alias check NAME [--scope global|user]",
         "Opens the alias's database file and system file (when it names one) read-only and\n"
         "reports for each: missing, unreadable, not a Jet database, or its format (Jet 3.x,\n"
         "Jet 4.0, ACE). Exits with 1 when either is missing, unreadable or not Jet.\n",
         {{"scope", true}},
         Check},
    };
    return commands;
}

} // namespace

int RunAliasCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    if (args.empty())
        return ReportUsage(err, UsageError("an alias command is missing"), AliasUsage, "alias");
    const std::string& word = args.front();
    if (word == "--help" || word == "-h") {
        out << "Usage: " << AliasUsage << "\n" << AliasHelp;
        return ExitOk;
    }
    const auto& commands = Commands();
    const auto command = std::find_if(commands.begin(), commands.end(),
                                      [&](const Command& c) { return word == c.name; });
    if (command == commands.end())
        return ReportUsage(err, UsageError("unknown alias command '" + word + "'"), AliasUsage,
                           "alias");
    const std::string help = std::string("alias ") + command->name;
    try {
        const ParsedCommandLine line = ParseCommandLine(
            std::vector<std::string>(args.begin() + 1, args.end()), command->options);
        if (line.Has("help")) {
            out << "Usage: " << command->usage << "\n" << command->help;
            return ExitOk;
        }
        const Scope scope = ScopeFrom(line);
        return command->run(line, scope, out, err);
    } catch (const UsageError& error) {
        return ReportUsage(err, error, command->usage, help);
    } catch (const std::exception& error) {
        out.flush();
        err << "qtsctl: " << error.what() << "\n";
        return ExitError;
    }
}
