#pragma once

// Reading the command line:
//
//   VelNameChange [OPTION]... [COMMAND [NAME]...]
//
// Options come before the command word; everything after it is taken
// literally, so a name may start with "-". Without a command the window opens.

#include <string>
#include <vector>

namespace vel {

inline constexpr const char* ProgramName = "VelNameChange";

struct Invocation {
    enum class Mode {
        Window,
        Help,
        Version,
        ListProfiles,
        ListReceivers,
        Check,
        References,
        RenameProfile,
        RenameReceiver,
        Backups,
        Restore,
        Unlock,
        History,
        RenameMany,
        Usage
    };
    enum class Format { Tsv, Json };
    Mode mode = Mode::Window;
    std::string project; // as given with --project
    bool projectGiven = false;
    bool dryRun = false;
    bool verbose = false;
    Format format = Format::Tsv;
    std::string oldName; // UTF-8; the OLD of a rename, the NAME of references
    std::string newName; // UTF-8; the NEW of a rename
    std::string kind;    // the KIND of restore and unlock, as written
    std::string backup;  // the NAME of restore: the backup to put back
    std::string file;    // the FILE of rename-many ("-": standard input)
    std::string error;   // Usage: what is wrong
};

// args: the arguments without the program's name.
Invocation ParseCommandLine(const std::vector<std::string>& args);

// Qt's own options (-style Fusion, -platform xcb, -reverse, ...; one dash or
// two, the value after "=" or as the next argument) among the options before
// the command word, apart from the program's own arguments: the window's Qt
// reads the first, ParseCommandLine the second. After "--" or the command
// word nothing is taken for Qt, so a name may be "-style".
struct SplitArguments {
    std::vector<std::string> qt;
    std::vector<std::string> own;
};
SplitArguments SplitQtOptions(const std::vector<std::string>& args);

std::string UsageText(); // the whole help (--help)
std::string VersionText();
std::string ShortUsageText(); // the first line of the help, told with a usage error

} // namespace vel
