#include "app/parse.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <string_view>

namespace vel {

using namespace Qt::StringLiterals;

namespace {

constexpr const char* ShortUsage = "Usage: VelNameChange [OPTION]... [COMMAND [NAME]...]\n";

Invocation Usage(std::string why)
{
    Invocation inv;
    inv.mode = Invocation::Mode::Usage;
    inv.error = std::move(why);
    return inv;
}

struct CommandWord {
    const char* word;
    Invocation::Mode mode;
    int names;
    const char* needs;
};

constexpr CommandWord Commands[] = {
    {"list-profiles", Invocation::Mode::ListProfiles, 0, "takes no names"},
    {"list-receivers", Invocation::Mode::ListReceivers, 0, "takes no names"},
    {"check", Invocation::Mode::Check, 0, "takes no names"},
    {"references", Invocation::Mode::References, 1, "needs one receiver name"},
    {"rename-profile", Invocation::Mode::RenameProfile, 2, "needs the old and the new name"},
    {"rename-receiver", Invocation::Mode::RenameReceiver, 2, "needs the old and the new name"},
    {"backups", Invocation::Mode::Backups, 0, "takes no names"},
    {"restore", Invocation::Mode::Restore, 2, "needs the kind (profiles or receivers) and the backup's name"},
    {"unlock", Invocation::Mode::Unlock, 1, "needs the kind of the lock (profiles, receivers or history)"},
    {"history", Invocation::Mode::History, 0, "takes no names"},
    {"rename-many", Invocation::Mode::RenameMany, 1, "needs the file of renames (- for standard input)"},
};

// The options QApplication and QGuiApplication read from the command line
// (xcb adds -display and -geometry), with a value and without.
constexpr std::string_view QtOptionsWithValue[] = {
    "style",         "stylesheet",      "platform",    "platformpluginpath", "platformtheme", "plugin",
    "session",       "qwindowgeometry", "qwindowicon", "qwindowtitle",       "display",       "geometry",
    "qmljsdebugger", "dialogs",         "fontengine",
};
constexpr std::string_view QtFlags[] = {"reverse", "widgetcount"};
// The program's own options whose value may come as the next argument.
constexpr std::string_view OwnOptionsWithValue[] = {"project", "format"};

template <std::size_t N>
bool OneOf(std::string_view name, const std::string_view (&names)[N])
{
    return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

// The program's own options.
struct Options {
    QCommandLineOption help{QStringList{u"h"_s, u"help"_s}};
    QCommandLineOption version{QStringLiteral("version")};
    QCommandLineOption project{QStringLiteral("project"), QString(), QStringLiteral("DIR")};
    QCommandLineOption dryRun{QStringLiteral("dry-run")};
    QCommandLineOption format{QStringLiteral("format"), QString(), QStringLiteral("FORMAT")};
    QCommandLineOption verbose{QStringLiteral("verbose")};
};

Invocation OfMode(Invocation::Mode mode)
{
    Invocation inv;
    inv.mode = mode;
    return inv;
}

// Reads the options before the command word into `inv`; a usage error, or
// nothing when they are right.
std::optional<Invocation> ReadOptions(const QCommandLineParser& parser, const Options& options, Invocation& inv)
{
    const QStringList projects = parser.values(options.project);
    if (projects.size() > 1) return Usage("--project is given more than once");
    if (!projects.isEmpty()) {
        if (projects.front().isEmpty()) return Usage("--project needs a directory");
        inv.project = projects.front().toStdString();
        inv.projectGiven = true;
    }
    inv.dryRun = parser.isSet(options.dryRun);
    inv.verbose = parser.isSet(options.verbose);
    if (parser.isSet(options.format)) {
        const QString f = parser.value(options.format);
        if (f == QLatin1String("json"))
            inv.format = Invocation::Format::Json;
        else if (f != QLatin1String("tsv"))
            return Usage("unknown format '" + f.toStdString() + "' (tsv or json)");
    }
    return std::nullopt;
}

// Puts the names after the command word where the command reads them.
void TakeNames(const std::vector<std::string>& names, Invocation& inv)
{
    switch (inv.mode) {
    case Invocation::Mode::Restore:
        inv.kind = names.at(0);
        inv.backup = names.at(1);
        return;
    case Invocation::Mode::Unlock:
        inv.kind = names.at(0);
        return;
    case Invocation::Mode::RenameMany:
        inv.file = names.at(0);
        return;
    default:
        if (!names.empty()) inv.oldName = names[0];
        if (names.size() >= 2) inv.newName = names[1];
        return;
    }
}

// Reads the command word and its names: taken from the arguments as they
// came, byte for byte, since everything after the command word is literal.
Invocation ReadCommand(const std::vector<std::string>& args, const QStringList& positional, Invocation inv)
{
    const std::size_t first = args.size() - static_cast<std::size_t>(positional.size());
    const std::string& word = args[first];
    // A lone "-" is no option, but does not end the options either.
    if (QString::fromStdString(word) != positional.front())
        return Usage("unknown command '" + positional.front().toStdString() + "'");
    const auto* const command = std::find_if(std::begin(Commands), std::end(Commands),
                                             [&word](const CommandWord& c) { return word == c.word; });
    if (command == std::end(Commands)) return Usage("unknown command '" + word + "'");
    const std::vector<std::string> names(args.begin() + static_cast<std::ptrdiff_t>(first) + 1, args.end());
    if (names.size() != static_cast<std::size_t>(command->names)) return Usage(word + " " + command->needs);
    inv.mode = command->mode;
    TakeNames(names, inv);
    return inv;
}

// --dry-run and --format json go only with some commands.
Invocation CheckOptionsFitCommand(Invocation inv)
{
    const bool rename = inv.mode == Invocation::Mode::RenameProfile || inv.mode == Invocation::Mode::RenameReceiver ||
                        inv.mode == Invocation::Mode::RenameMany;
    if (inv.dryRun && !rename) return Usage("--dry-run goes only with rename-profile, rename-receiver and rename-many");
    if (inv.format == Invocation::Format::Json &&
        (rename || inv.mode == Invocation::Mode::Restore || inv.mode == Invocation::Mode::Unlock))
        return Usage("--format json goes only with list-profiles, list-receivers, check, references, backups and "
                     "history");
    return inv;
}

// The help (--help), part by part.
constexpr const char* UsageIntro = "Rename route profiles and receivers of a Veltra alarm-server project.\n"
                                   "Without a command, open the window.\n"
                                   "\n";

constexpr const char* UsageCommands =
    "Commands:\n"
    "  list-profiles            one line per route profile in table order:\n"
    "                           index TAB ProfileNumber TAB E TAB name\n"
    "  list-receivers           index TAB E TAB name\n"
    "  check                    one line per problem found (see below)\n"
    "  references NAME          the profile lists that name receiver NAME (any case):\n"
    "                           ProfileNumber TAB profile TAB list TAB position TAB item\n"
    "  rename-profile OLD NEW   rename a route profile, then save the profiles\n"
    "  rename-receiver OLD NEW  rename a receiver and carry the new name into every\n"
    "                           profile's receiver lists; then save both in one commit\n"
    "  rename-many FILE         make every rename listed in FILE (- for standard input)\n"
    "                           in one commit, or none: one per line, receiver TAB OLD\n"
    "                           TAB NEW or profile TAB OLD TAB NEW (see below)\n"
    "  backups                  the kept backups: kind TAB time TAB files TAB name\n"
    "  restore KIND NAME        put backup NAME of KIND (profiles or receivers) back,\n"
    "                           as a save of that kind\n"
    "  unlock KIND              remove the lock of KIND (profiles, receivers, history)\n"
    "                           that a program which died left; prints whose it was:\n"
    "                           kind TAB user TAB host TAB process TAB since\n"
    "  history                  the renames saved, oldest first: time TAB user TAB\n"
    "                           host TAB kind TAB old TAB new TAB items TAB backup\n"
    "\n";

constexpr const char* UsageOptions =
    "Options (before the command; everything after it is taken literally):\n"
    "  --project DIR    the project directory (it holds Profiles/ and Receivers/)\n"
    "  --dry-run        with rename-profile, rename-receiver and rename-many: the same\n"
    "                   checks and messages, then what would change; nothing is\n"
    "                   written or posted\n"
    "  --format FORMAT  tsv (the default) or json, for list-profiles, list-receivers,\n"
    "                   check, references, backups and history\n"
    "  --verbose        also print the alarm suite's own log lines\n"
    "  -h, --help       print this help and exit\n"
    "  --version        print the version and exit\n"
    "Qt's standard options (see qt6options(7)) among them go to the window.\n"
    "\n";

constexpr const char* UsageProject =
    "Without --project the project is Project beside the program when that folder\n"
    "exists; else the folder named by VELNAMECHANGE_PROJECT; else project= in\n"
    "$XDG_CONFIG_HOME/VelNameChange/VelNameChange.conf (XDG_CONFIG_HOME defaults to\n"
    "~/.config); else an empty project. A relative path is taken from the working folder.\n"
    "Each save keeps the newest 20 backups of its kind (keep-backups=N in that file keeps\n"
    "more) in .velnamechange/backup; files the load passed over are kept for good in\n"
    ".velnamechange/passed-over.\n"
    "A save waits up to 5 seconds for a save of another desk; a lock that another\n"
    "machine left is taken over after 30 minutes (stale-lock-minutes=N in that file),\n"
    "one of this machine as soon as its process is gone.\n"
    "\n";

constexpr const char* UsageOutputs =
    "check prints, one line each:\n"
    "  passed-over TAB file TAB reason\n"
    "  unfinished-save TAB file TAB reason\n"
    "  no-receiver TAB ProfileNumber TAB profile TAB list TAB position TAB item\n"
    "  receivers-same-name TAB name TAB name...       (alike without regard to case)\n"
    "  profiles-same-name TAB name TAB ProfileNumber TAB ProfileNumber...\n"
    "  profiles-same-number TAB ProfileNumber TAB name TAB name...\n"
    "--dry-run prints \"profile TAB ProfileNumber TAB old TAB new\", or \"receiver TAB old\n"
    "TAB new\" and one \"list TAB ProfileNumber TAB profile TAB list TAB old TAB new\" per\n"
    "changed receiver list (each name in a list followed by \\x00).\n"
    "rename-many reads UTF-8; blank lines and lines starting with # are passed over.\n"
    "Every line is checked first, against the names after all the renames: OLD\n"
    "must name exactly one entry, no entry may be renamed twice, NEW must be storable\n"
    "and no name may be borne twice afterwards (receivers compared without regard to\n"
    "case); swaps and chains work, and each receiver list item follows its receiver\n"
    "once. Any refused line: each is named with its line number and nothing is\n"
    "written (status 1). Names are taken as written, without escapes.\n"
    "history prints one line per rename that a save made and one per restore: time\n"
    "in UTC (YYYY-MM-DDTHH:MM:SSZ); kind profiles or receivers, or restore-profiles\n"
    "or restore-receivers (old empty, new the backup put back); items the receiver\n"
    "list items that took the new name; backup the one holding the set before it.\n"
    "\n";

constexpr const char* UsageNames = "E is 1 for an enabled entry, else 0. Names are UTF-8; control characters in names\n"
                                   "are written as \\t, \\n or \\xHH, and a backslash as \\\\.\n"
                                   "\n";

constexpr const char* UsageStatus = "Exit status:\n"
                                    "  0  done; check: nothing found\n"
                                    "  1  refused, nothing written; check: something found\n"
                                    "  2  usage error\n"
                                    "  3  the save failed; the previous files are in place (also: another desk is\n"
                                    "     saving, or an interrupted earlier save cannot be finished now)\n"
                                    "  4  saved, but the server could not be told to reload\n"
                                    "  5  the save was committed but could not be finished; it is finished, and the\n"
                                    "     server told, at the next start\n"
                                    "\n";

constexpr const char* UsageSeeAlso = "See VelNameChange(1).\n";

} // namespace

SplitArguments SplitQtOptions(const std::vector<std::string>& args)
{
    SplitArguments split;
    std::size_t i = 0;
    while (i < args.size()) {
        const std::string& arg = args[i];
        // "--", a lone "-" and the command word end the options.
        if (arg == "--" || arg == "-" || arg.empty() || arg[0] != '-') break;
        std::string_view name(arg);
        name.remove_prefix(name.starts_with("--") ? 2 : 1);
        const std::size_t equals = name.find('=');
        const bool valueJoined = equals != std::string_view::npos;
        name = name.substr(0, equals);
        const bool takesNext = !valueJoined && i + 1 < args.size();
        if (OneOf(name, QtOptionsWithValue)) {
            split.qt.push_back(arg);
            if (takesNext) split.qt.push_back(args[++i]);
        } else if (!valueJoined && OneOf(name, QtFlags)) {
            split.qt.push_back(arg);
        } else {
            split.own.push_back(arg);
            if (arg.starts_with("--") && OneOf(name, OwnOptionsWithValue) && takesNext) split.own.push_back(args[++i]);
        }
        ++i;
    }
    split.own.insert(split.own.end(), args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
    return split;
}

Invocation ParseCommandLine(const std::vector<std::string>& args)
{
    QCommandLineParser parser;
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const Options options;
    parser.addOptions(
        {options.help, options.version, options.project, options.dryRun, options.format, options.verbose});

    QStringList list{QString::fromLatin1(ProgramName)};
    for (const std::string& a : args) list << QString::fromStdString(a);
    if (!parser.parse(list)) return Usage(parser.errorText().toStdString());
    if (parser.isSet(options.help)) return OfMode(Invocation::Mode::Help);
    if (parser.isSet(options.version)) return OfMode(Invocation::Mode::Version);

    Invocation inv;
    if (auto wrong = ReadOptions(parser, options, inv)) return *wrong;
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        if (inv.dryRun) return Usage("--dry-run needs rename-profile, rename-receiver or rename-many");
        if (parser.isSet(options.format)) return Usage("--format needs a command that lists");
        return inv; // the window
    }
    inv = ReadCommand(args, positional, std::move(inv));
    if (inv.mode == Invocation::Mode::Usage) return inv;
    return CheckOptionsFitCommand(std::move(inv));
}

std::string UsageText()
{
    std::string text = ShortUsage;
    for (const char* part :
         {UsageIntro, UsageCommands, UsageOptions, UsageProject, UsageOutputs, UsageNames, UsageStatus, UsageSeeAlso})
        text += part;
    return text;
}

std::string VersionText()
{
    return std::string(ProgramName) + " " + VEL_VERSION_TEXT + "\n";
}

std::string ShortUsageText()
{
    return ShortUsage;
}

} // namespace vel
