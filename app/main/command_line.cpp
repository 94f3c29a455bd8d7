#include "app/main/command_line.h"

#include "app/main/rename_commands.h"
#include "store/codepage.h"
#include "store/file_system.h"
#include "store/project.h"

#include <ostream>

namespace vel {

namespace {

constexpr const char* Program = "VelNameChange";

void PrintList(const Suite& suite, bool profiles, std::ostream& out)
{
    if (profiles) {
        const RouteProfileStore& t = suite.ProfileTable;
        for (std::int16_t i = 0; i < t.NumberOfRouteProfiles; ++i) {
            const RouteProfile& p = t.at(static_cast<std::size_t>(i));
            out << i << '\t' << p.ProfileNumber() << '\t' << (p.Enabled() != 0 ? 1 : 0) << '\t'
                << Cp1252ToUtf8(p.Name()) << '\n';
        }
    } else {
        const ReceiverStore& t = suite.ReceiverTable;
        for (std::int16_t i = 0; i < t.NumberOfReceivers; ++i) {
            const Receiver& r = t.at(static_cast<std::size_t>(i));
            out << i << '\t' << (r.Enabled() != 0 ? 1 : 0) << '\t' << Cp1252ToUtf8(r.Name()) << '\n';
        }
    }
}

// One line per problem, so that scripts can read standard error line by line.
std::string OneLine(std::string text)
{
    for (char& c : text) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    return text;
}

void Complain(std::ostream& err, const std::string& text) { err << Program << ": " << OneLine(text) << '\n'; }

// Finds the one entry named `name`; complains and returns -1 otherwise.
std::int16_t FindOne(const std::vector<std::int16_t>& found, const std::string& what, const std::string& name,
                     std::ostream& err)
{
    if (found.size() == 1) return found.front();
    if (found.empty())
        Complain(err, "no " + what + " is named \"" + name + "\"");
    else
        Complain(err, "the name \"" + name + "\" is ambiguous: " + std::to_string(found.size()) + " " + what +
                          "s bear it");
    return -1;
}

int Refusal(const RenameOutcome& outcome, std::ostream& err)
{
    switch (outcome.result) {
    case RenameResult::Renamed:
    case RenameResult::SameName:
        return ExitDone;
    case RenameResult::Unchanged:
        Complain(err, "the new name is empty");
        return ExitRefused;
    case RenameResult::Duplicate:
    case RenameResult::NotStorable:
        Complain(err, outcome.message);
        return ExitRefused;
    }
    return ExitRefused;
}

int RenameAndSave(Suite& suite, const Invocation& inv, std::ostream& err)
{
    const bool profile = inv.mode == Invocation::Mode::RenameProfile;
    const std::int16_t slot = profile ? FindOne(FindProfilesByName(suite, inv.oldName), "route profile", inv.oldName, err)
                                      : FindOne(FindReceiversByName(suite, inv.oldName), "receiver", inv.oldName, err);
    if (slot < 0) return ExitRefused;

    auto outcome = profile ? RenameProfile(suite, slot, inv.newName) : RenameReceiver(suite, slot, inv.newName);
    if (!outcome) {
        Complain(err, outcome.error().message);
        return ExitRefused;
    }
    if (const int refused = Refusal(*outcome, err); refused != ExitDone) return refused;
    if (outcome->result == RenameResult::SameName) {
        Complain(err, "note: \"" + inv.oldName + "\" already bears that name; nothing was saved");
        return ExitDone;
    }
    if (outcome->itemsLeftAlone > 0) Complain(err, "note: " + DescribeItemsLeftAlone(*outcome, inv.oldName));

    // A receiver rename changes both tables: they are saved in one commit.
    const SavedKind kind = profile ? SavedKind::Profiles : SavedKind::Both;
    const SaveReport saved = profile ? SaveProfiles(suite) : SaveReceiversAndProfiles(suite);
    if (!saved.written) {
        Complain(err, DescribeSave(saved, kind));
        return saved.error.code == ErrorCode::Unfinished ? ExitUnfinished : ExitSaveFailed;
    }
    if (!saved.notify.ok()) {
        Complain(err, DescribeSave(saved, kind));
        return ExitNotNotified;
    }
    return ExitDone;
}

} // namespace

Invocation ParseCommandLine(const std::vector<std::string>& args)
{
    Invocation inv;
    auto usage = [&](std::string why) {
        inv.mode = Invocation::Mode::Usage;
        inv.error = std::move(why);
        return inv;
    };
    std::size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            if (args.size() != 1) return usage("--help takes nothing else");
            inv.mode = Invocation::Mode::Help;
            return inv;
        }
        if (a == "--version") {
            if (args.size() != 1) return usage("--version takes nothing else");
            inv.mode = Invocation::Mode::Version;
            return inv;
        }
        if (a == "--project") {
            if (inv.projectGiven) return usage("--project is given twice");
            if (i + 1 >= args.size() || args[i + 1].empty()) return usage("--project needs a directory");
            inv.project = args[++i];
            inv.projectGiven = true;
            continue;
        }
        if (!a.empty() && a[0] == '-') return usage("unknown option " + a);
        break;
    }
    if (i == args.size()) return inv; // the window

    const std::string& command = args[i];
    const std::size_t rest = args.size() - i - 1;
    if (command == "list-profiles" || command == "list-receivers") {
        if (rest != 0) return usage(command + " takes no names");
        inv.mode = command == "list-profiles" ? Invocation::Mode::ListProfiles : Invocation::Mode::ListReceivers;
        return inv;
    }
    if (command == "rename-profile" || command == "rename-receiver") {
        if (rest != 2) return usage(command + " needs the old and the new name");
        inv.mode = command == "rename-profile" ? Invocation::Mode::RenameProfile : Invocation::Mode::RenameReceiver;
        inv.oldName = args[i + 1];
        inv.newName = args[i + 2];
        return inv;
    }
    return usage("unknown command " + command);
}

std::string UsageText()
{
    return "Usage:\n"
           "  VelNameChange [--project DIR]                          open the window\n"
           "  VelNameChange [--project DIR] list-profiles            index TAB ProfileNumber TAB E TAB name\n"
           "  VelNameChange [--project DIR] list-receivers           index TAB E TAB name\n"
           "  VelNameChange [--project DIR] rename-profile OLD NEW   rename, then save the profiles\n"
           "  VelNameChange [--project DIR] rename-receiver OLD NEW  rename here and in every profile's\n"
           "                                                         receiver lists, then save receivers and profiles\n"
           "  VelNameChange --help | --version\n"
           "\n"
           "DIR is the project directory (it holds Profiles/ and Receivers/); without --project it is\n"
           "Project beside the program. E is 1 for an enabled entry, else 0. Names are UTF-8.\n"
           "Exit status: 0 done; 1 refused, nothing written; 2 usage error; 3 save failed, previous files\n"
           "intact; 4 saved, but the server could not be told to reload.\n";
}

std::string VersionText() { return std::string(Program) + " " + VEL_VERSION_TEXT + "\n"; }

std::string ResolveProjectPath(const Invocation& invocation)
{
    if (!invocation.projectGiven) return MakeProjectPath(ExecutableDirectory());
    std::string path = invocation.project;
    if (path.back() != '/') path += '/';
    return path;
}

std::string CheckProjectDirectory(const Invocation& invocation)
{
    if (!invocation.projectGiven) return {};
    auto folder = OpenFolder(RealFileSystem(), invocation.project);
    if (folder) return {};
    if (folder.error().code == ErrorCode::NotFound)
        return "the project directory \"" + invocation.project + "\" does not exist";
    return "\"" + invocation.project + "\" cannot be opened as a directory: " + folder.error().message;
}

int RunCommand(const Invocation& inv, std::ostream& out, std::ostream& err)
{
    switch (inv.mode) {
    case Invocation::Mode::Help:
        out << UsageText();
        return ExitDone;
    case Invocation::Mode::Version:
        out << VersionText();
        return ExitDone;
    case Invocation::Mode::Usage:
        Complain(err, inv.error);
        err << UsageText();
        return ExitUsage;
    case Invocation::Mode::Window:
        Complain(err, "the window is not opened from here");
        return ExitUsage;
    default:
        break;
    }
    if (const std::string bad = CheckProjectDirectory(inv); !bad.empty()) {
        Complain(err, bad);
        return ExitUsage;
    }

    Suite suite(ResolveProjectPath(inv));
    const LoadReport loaded = suite.LoadAll();
    for (const PassedOver& p : loaded.passedOver) Complain(err, "passed over " + p.file + ": " + p.reason);

    switch (inv.mode) {
    case Invocation::Mode::ListProfiles:
        PrintList(suite, true, out);
        return ExitDone;
    case Invocation::Mode::ListReceivers:
        PrintList(suite, false, out);
        return ExitDone;
    default:
        return RenameAndSave(suite, inv, err);
    }
}

} // namespace vel
