#include "app/command_line.h"

#include "app/output.h"
#include "app/run.h"
#include "base/codepage.h"
#include "base/line_escape.h"
#include "project/project_check.h"
#include "project/rename_many.h"

#include <QStringDecoder>

#include <algorithm>
#include <iostream>
#include <iterator>
#include <ostream>

namespace vel {

namespace {

// --- Renames --------------------------------------------------------------

// Finds the one entry named `name`; complains and returns -1 otherwise.
std::int16_t FindOne(const std::vector<std::int16_t>& found, const std::string& what, const std::string& name,
                     std::ostream& err)
{
    if (found.size() == 1) return found.front();
    if (found.empty())
        Complain(err, "no " + what + " is named \"" + name + "\"");
    else
        Complain(err,
                 "the name \"" + name + "\" is ambiguous: " + std::to_string(found.size()) + " " + what + "s bear it");
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
        Complain(err, outcome.refusal.error().message);
        return ExitRefused;
    }
    return ExitRefused;
}

void PrintPreview(const Suite& suite, bool profile, std::size_t index, const RenamePreview& preview, std::ostream& out,
                  std::ostream& err)
{
    if (profile) {
        const RouteProfile& p = suite.ProfileTable.at(index);
        out << "profile\t" << p.ProfileNumber() << '\t' << Column(preview.oldName) << '\t' << Column(p.Name()) << '\n';
    } else {
        out << "receiver\t" << Column(preview.oldName) << '\t' << Column(suite.ReceiverTable.at(index).Name()) << '\n';
        for (const ListChange& c : preview.lists) {
            const RouteProfile& p = suite.ProfileTable.at(c.slot);
            out << "list\t" << p.ProfileNumber() << '\t' << Column(p.Name()) << '\t' << c.list << '\t'
                << Column(c.before) << '\t' << Column(c.after) << '\n';
        }
    }
    std::string what = profile ? "the route profile would be renamed"
                               : "the receiver would be renamed and " + std::to_string(preview.lists.size()) +
                                     " profile receiver list" + (preview.lists.size() == 1 ? "" : "s") + " changed";
    Complain(err, "dry run: " + what + "; nothing was written and no reload command was posted");
}

// Renames entry `slot` in memory. Only a dry run takes the preview, which
// copies every profile's receiver lists to tell which changed; otherwise the
// result holds the outcome alone.
Result<RenamePreview> Rename(Suite& suite, bool profile, std::int16_t slot, const NewName& newName, bool dryRun)
{
    if (dryRun)
        return profile ? PreviewProfileRename(suite, slot, newName) : PreviewReceiverRename(suite, slot, newName);
    RenamePreview renamed;
    VEL_TRY_ASSIGN(renamed.outcome,
                   profile ? RenameProfile(suite, slot, newName) : RenameReceiver(suite, slot, newName));
    return renamed;
}

// --- Many renames -----------------------------------------------------------

// A file of renames is read whole; one far beyond this is no list of renames.
constexpr std::uint64_t MaxRenameFileBytes = 64u * 1024 * 1024;

// The requests of a file of renames, one a line: "receiver TAB OLD TAB NEW" or
// "profile TAB OLD TAB NEW", in UTF-8 (a byte order mark before the first line
// and a carriage return before a line's end are passed over). Blank lines and
// lines starting with "#" are no requests; any other line that is no request
// is refused. Names are taken as written, as on the command line.
struct RenameFile {
    std::vector<RenameRequest> requests;
    std::vector<RenameRefusal> refused;
};

RenameFile ParseRenameFile(std::string_view text)
{
    RenameFile file;
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    int number = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (line.find_first_not_of(" \t") == std::string_view::npos || line.front() == '#') continue;

        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        // The decoder decodes only when its result is taken.
        const QString decoded = utf8.decode(QByteArrayView(line.data(), static_cast<qsizetype>(line.size())));
        if (utf8.hasError()) {
            file.refused.push_back({number, "the line is not UTF-8"});
            continue;
        }
        std::vector<std::string_view> fields;
        for (std::size_t from = 0;;) {
            const std::size_t tab = line.find('\t', from);
            fields.push_back(line.substr(from, tab == std::string_view::npos ? std::string_view::npos : tab - from));
            if (tab == std::string_view::npos) break;
            from = tab + 1;
        }
        if (fields.size() != 3) {
            file.refused.push_back({number, "the line holds " + std::to_string(fields.size()) +
                                                " fields, not the three of \"receiver TAB OLD TAB NEW\" or "
                                                "\"profile TAB OLD TAB NEW\""});
            continue;
        }
        RenameRequest request;
        if (fields[0] == "receiver")
            request.kind = RenameRequest::Kind::Receiver;
        else if (fields[0] == "profile")
            request.kind = RenameRequest::Kind::Profile;
        else {
            file.refused.push_back({number, "the line starts with \"" + EscapeControls(fields[0], false) +
                                                "\", not with receiver or profile"});
            continue;
        }
        request.line = number;
        request.oldName = fields[1];
        request.newName = fields[2];
        file.requests.push_back(std::move(request));
    }
    return file;
}

Result<std::string> ReadRenameFile(const std::string& name, std::istream* in)
{
    if (name == "-") {
        std::istream& from = in != nullptr ? *in : std::cin;
        std::string text(std::istreambuf_iterator<char>(from), {});
        if (from.bad()) return MakeError(ErrorCode::Io, "standard input cannot be read");
        return text;
    }
    VEL_TRY_ASSIGN(const ByteBuffer data, ReadNamedFile(RealFileSystem(), name, MaxRenameFileBytes));
    return std::string(data.begin(), data.end());
}

// Every refused line, named with its line number, in the order of the file.
int TellRefused(const RenameFile& file, const RenameSet& set, const std::string& where, std::ostream& err)
{
    std::vector<RenameRefusal> refused = file.refused;
    refused.insert(refused.end(), set.refused.begin(), set.refused.end());
    std::stable_sort(refused.begin(), refused.end(),
                     [](const RenameRefusal& a, const RenameRefusal& b) { return a.line < b.line; });
    for (const RenameRefusal& r : refused) Complain(err, where + " line " + std::to_string(r.line) + ": " + r.reason);
    const std::size_t lines = file.requests.size() + file.refused.size();
    Complain(err, std::to_string(refused.size()) + " of " + std::to_string(lines) + " line" +
                      (lines == 1 ? " was" : "s were") + " refused; nothing was renamed or written");
    return ExitRefused;
}

// The notes on lines that change nothing and on list items left alone.
void TellNotes(const RenameSet& set, const std::string& where, std::ostream& err)
{
    for (const int line : set.sameName)
        Complain(err, "note: " + where + " line " + std::to_string(line) + ": the entry already bears that name");
    for (const PlannedRename& r : set.renames) {
        if (r.itemsLeftAlone == 0) continue;
        RenameOutcome outcome;
        outcome.itemsLeftAlone = r.itemsLeftAlone;
        Complain(err, "note: " + where + " line " + std::to_string(r.line) + ": " +
                          DescribeItemsLeftAlone(outcome, Cp1252ToUtf8(r.oldName)));
    }
}

// --dry-run of rename-many: what would change, and nothing written.
void PrintManyPreview(const Suite& suite, const RenameSet& set, std::ostream& out, std::ostream& err)
{
    std::size_t receivers = 0;
    for (const PlannedRename& r : set.renames) {
        if (r.kind == RenameRequest::Kind::Profile) {
            out << "profile\t" << suite.ProfileTable.at(r.slot).ProfileNumber() << '\t' << Column(r.oldName) << '\t'
                << Column(r.newName) << '\n';
        } else {
            out << "receiver\t" << Column(r.oldName) << '\t' << Column(r.newName) << '\n';
            ++receivers;
        }
    }
    for (const ListChange& c : set.lists) {
        const RouteProfile& p = suite.ProfileTable.at(c.slot);
        out << "list\t" << p.ProfileNumber() << '\t' << Column(p.Name()) << '\t' << c.list << '\t' << Column(c.before)
            << '\t' << Column(c.after) << '\n';
    }
    const std::size_t profiles = set.renames.size() - receivers;
    Complain(err, "dry run: " + std::to_string(receivers) + " receiver" + (receivers == 1 ? "" : "s") + " and " +
                      std::to_string(profiles) + " route profile" + (profiles == 1 ? "" : "s") +
                      " would be renamed and " + std::to_string(set.lists.size()) + " profile receiver list" +
                      (set.lists.size() == 1 ? "" : "s") +
                      " changed, in one commit; nothing was written and "
                      "no reload command was posted");
}

} // namespace

int RenameAndSave(Suite& suite, const Invocation& inv, std::ostream& out, std::ostream& err)
{
    const bool profile = inv.mode == Invocation::Mode::RenameProfile;
    const std::int16_t slot = profile
                                  ? FindOne(FindProfilesByName(suite, inv.oldName), "route profile", inv.oldName, err)
                                  : FindOne(FindReceiversByName(suite, inv.oldName), "receiver", inv.oldName, err);
    if (slot < 0) return ExitRefused;

    auto renamed = Rename(suite, profile, slot, NewName(inv.newName), inv.dryRun);
    if (!renamed) {
        Complain(err, renamed.error().message);
        return ExitRefused;
    }
    const RenameOutcome& outcome = renamed->outcome;
    if (const int refused = Refusal(outcome, err); refused != ExitDone) return refused;
    if (outcome.result == RenameResult::SameName) {
        Complain(err, "note: \"" + inv.oldName + "\" already bears that name; nothing was saved");
        return ExitDone;
    }
    if (outcome.itemsLeftAlone > 0) Complain(err, "note: " + DescribeItemsLeftAlone(outcome, inv.oldName));
    if (inv.dryRun) {
        PrintPreview(suite, profile, static_cast<std::size_t>(slot), *renamed, out, err);
        return ExitDone;
    }
    const SavedKind kind = SavedAfterRename(!profile);
    return SaveStatus(SaveTables(suite, kind), kind, err);
}

int RenameManyAndSave(Suite& suite, const Invocation& inv, std::istream* in, std::ostream& out, std::ostream& err)
{
    const std::string where = inv.file == "-" ? "standard input" : inv.file;
    auto text = ReadRenameFile(inv.file, in);
    if (!text) {
        Complain(err, "the file of renames \"" + inv.file + "\" cannot be read: " + text.error().message);
        return ExitUsage;
    }
    const RenameFile file = ParseRenameFile(*text);
    // Lines that are no request leave the others to be checked all the same,
    // so that every refused line is named at once; nothing is saved then.
    const RenameSet set = RenameMany(suite, file.requests);
    if (!file.refused.empty() || !set.refused.empty()) return TellRefused(file, set, where, err);
    TellNotes(set, where, err);
    if (set.renames.empty()) {
        Complain(err, "note: no name changes; nothing was saved");
        return ExitDone;
    }
    if (inv.dryRun) {
        PrintManyPreview(suite, set, out, err);
        return ExitDone;
    }

    // One commit for every kind that changed, and one reload command each.
    const SavedKind kind = set.receiversChanged && set.profilesChanged ? SavedKind::Both
                           : set.receiversChanged                      ? SavedKind::Receivers
                                                                       : SavedKind::Profiles;
    return SaveStatus(SaveTables(suite, kind), kind, err);
}

} // namespace vel
