#include "app/command_line.h"

#include "project/project_check.h"
#include "project/rename_commands.h"
#include "project/rename_many.h"
#include "base/codepage.h"
#include "base/line_escape.h"
#include "records/history.h"
#include "records/save_transaction.h"
#include "records/project.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <ostream>

namespace vel {

using namespace Qt::StringLiterals;

namespace {

constexpr const char* Program = "VelNameChange";
constexpr const char* ShortUsage = "Usage: VelNameChange [OPTION]... [COMMAND [NAME]...]\n";

// --- Output ---------------------------------------------------------------

// ASCII letters in lower case ("Profiles" -> "profiles").
std::string Lower(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A stored name (or list) as one column of a line.
std::string Column(std::string_view ansi) { return EscapeControls(Cp1252ToUtf8(ansi), true); }
std::string TextColumn(std::string_view utf8) { return EscapeControls(utf8, true); }

QString Unicode(std::string_view ansi) { return QString::fromStdString(Cp1252ToUtf8(ansi)); }
QString Utf8(const std::string& utf8) { return QString::fromStdString(utf8); }

// One line per message, so that scripts can read standard error line by line.
void Complain(std::ostream& err, const std::string& text)
{
    err << Program << ": " << EscapeControls(text, false) << '\n';
}

void PrintJson(std::ostream& out, const QJsonObject& object)
{
    out << QJsonDocument(object).toJson(QJsonDocument::Indented).toStdString();
}

// --- Listings -------------------------------------------------------------

// One column of a listing's row: its key and value in JSON, its text in a
// tab-separated line.
struct Field {
    QString key;
    QJsonValue json;
    std::string text;
};
using Row = std::vector<Field>;

Field NameField(const QString& key, std::string_view ansi) { return {key, Unicode(ansi), Column(ansi)}; }
Field TextField(const QString& key, const std::string& utf8) { return {key, Utf8(utf8), TextColumn(utf8)}; }
Field NumberField(const QString& key, long long n) { return {key, static_cast<qint64>(n), std::to_string(n)}; }
Field FlagField(const QString& key, bool on) { return {key, on, on ? "1" : "0"}; }

// The rows as lines of tab-separated columns, or as the JSON array `key` of
// `document`.
void PrintRows(const std::vector<Row>& rows, bool json, std::ostream& out, const QString& key,
               QJsonObject document = {})
{
    if (json) {
        QJsonArray array;
        for (const Row& row : rows) {
            QJsonObject o;
            for (const Field& f : row) o.insert(f.key, f.json);
            array.append(o);
        }
        document.insert(key, array);
        PrintJson(out, document);
        return;
    }
    for (const Row& row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i) out << (i != 0 ? "\t" : "") << row[i].text;
        out << '\n';
    }
}

void PrintProfiles(const Suite& suite, bool json, std::ostream& out)
{
    std::vector<Row> rows;
    for (std::size_t i = 0; i < suite.ProfileTable.size(); ++i) {
        const RouteProfile& p = suite.ProfileTable.at(i);
        rows.push_back({NumberField(u"index"_s, static_cast<long long>(i)),
                        NumberField(u"profileNumber"_s, p.ProfileNumber()), FlagField(u"enabled"_s, p.Enabled() != 0),
                        NameField(u"name"_s, p.Name())});
    }
    PrintRows(rows, json, out, u"profiles"_s);
}

void PrintReceivers(const Suite& suite, bool json, std::ostream& out)
{
    std::vector<Row> rows;
    for (std::size_t i = 0; i < suite.ReceiverTable.size(); ++i) {
        const Receiver& r = suite.ReceiverTable.at(i);
        rows.push_back({NumberField(u"index"_s, static_cast<long long>(i)), FlagField(u"enabled"_s, r.Enabled() != 0),
                        NameField(u"name"_s, r.Name())});
    }
    PrintRows(rows, json, out, u"receivers"_s);
}

QJsonArray NameArray(const std::vector<AnsiText>& names)
{
    QJsonArray a;
    for (const AnsiText& n : names) a.append(Unicode(n));
    return a;
}

QJsonArray NumberArray(const std::vector<std::int16_t>& numbers)
{
    QJsonArray a;
    for (const std::int16_t n : numbers) a.append(n);
    return a;
}

int PrintFindings(const std::vector<Finding>& findings, bool json, std::ostream& out)
{
    QJsonArray rows;
    for (const Finding& f : findings) {
        const char* name = FindingName(f.kind);
        QJsonObject o{{u"finding"_s, QString::fromLatin1(name)}};
        std::string line = name;
        switch (f.kind) {
        case Finding::Kind::PassedOver:
        case Finding::Kind::UnfinishedSave:
            o.insert(u"file"_s, Utf8(f.file));
            o.insert(u"reason"_s, Utf8(f.reason));
            line += '\t' + TextColumn(f.file) + '\t' + TextColumn(f.reason);
            break;
        case Finding::Kind::NoReceiver:
            o.insert(u"profileNumber"_s, f.numbers.at(0));
            o.insert(u"profile"_s, Unicode(f.names.at(0)));
            o.insert(u"list"_s, f.list);
            o.insert(u"position"_s, f.position);
            o.insert(u"item"_s, Unicode(f.item));
            line += '\t' + std::to_string(f.numbers[0]) + '\t' + Column(f.names[0]) + '\t' + std::to_string(f.list) +
                    '\t' + std::to_string(f.position) + '\t' + Column(f.item);
            break;
        case Finding::Kind::ReceiversSameName:
            o.insert(u"names"_s, NameArray(f.names));
            for (const AnsiText& n : f.names) line += '\t' + Column(n);
            break;
        case Finding::Kind::ProfilesSameName:
            o.insert(u"name"_s, Unicode(f.names.at(0)));
            o.insert(u"profileNumbers"_s, NumberArray(f.numbers));
            line += '\t' + Column(f.names[0]);
            for (const std::int16_t n : f.numbers) line += '\t' + std::to_string(n);
            break;
        case Finding::Kind::ProfilesSameNumber:
            o.insert(u"profileNumber"_s, f.numbers.at(0));
            o.insert(u"names"_s, NameArray(f.names));
            line += '\t' + std::to_string(f.numbers.at(0));
            for (const AnsiText& n : f.names) line += '\t' + Column(n);
            break;
        }
        if (json)
            rows.append(o);
        else
            out << line << '\n';
    }
    if (json) PrintJson(out, QJsonObject{{u"findings"_s, rows}});
    return findings.empty() ? ExitDone : ExitFound;
}

int PrintReferences(const Suite& suite, const std::string& nameUtf8, bool json, std::ostream& out, std::ostream& err)
{
    auto name = Utf8ToCp1252(nameUtf8);
    std::vector<Reference> refs;
    bool known = false;
    if (name) {
        refs = FindReferences(suite, *name);
        const AnsiText upper = UpperCaseAnsi(*name);
        const auto& receivers = suite.ReceiverTable.Entries();
        known = std::any_of(receivers.begin(), receivers.end(),
                            [&](const ReceiverEntry& r) { return UpperCaseAnsi(r.record.Name()) == upper; });
    }
    if (!known)
        Complain(err, "no receiver is named \"" + nameUtf8 + "\"; the profiles' receiver lists were searched all the same");

    std::vector<Row> rows;
    for (const Reference& r : refs) {
        const RouteProfile& p = suite.ProfileTable.at(r.slot);
        rows.push_back({NumberField(u"profileNumber"_s, p.ProfileNumber()), NameField(u"profile"_s, p.Name()),
                        NumberField(u"list"_s, r.list), NumberField(u"position"_s, r.position),
                        NameField(u"item"_s, r.item)});
    }
    PrintRows(rows, json, out, u"references"_s, QJsonObject{{u"receiver"_s, Utf8(nameUtf8)}});
    return ExitDone;
}

// --- Renames --------------------------------------------------------------

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

void PrintPreview(const Suite& suite, bool profile, std::size_t index, const RenamePreview& preview,
                  std::ostream& out, std::ostream& err)
{
    if (profile) {
        const RouteProfile& p = suite.ProfileTable.at(index);
        out << "profile\t" << p.ProfileNumber() << '\t' << Column(preview.oldName) << '\t' << Column(p.Name())
            << '\n';
    } else {
        out << "receiver\t" << Column(preview.oldName) << '\t'
            << Column(suite.ReceiverTable.at(index).Name()) << '\n';
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

// The exit status of a save, told on standard error unless it went well.
int SaveStatus(const SaveReport& report, SavedKind kind, std::ostream& err)
{
    if (report.ok()) return ExitDone;
    Complain(err, DescribeSave(report, kind));
    return report.written ? ExitNotNotified : SaveFailureStatus(report.error.code);
}

int PrintBackups(const Suite& suite, bool json, std::ostream& out, std::ostream& err)
{
    auto backups = ListBackups(*suite.Context.fs, suite.Context.ProjectPath, suite.Context.kinds);
    if (!backups) {
        Complain(err, "the backups cannot be listed: " + backups.error().message);
        return ExitSaveFailed;
    }
    std::vector<Row> rows;
    for (const BackupInfo& b : *backups)
        rows.push_back({TextField(u"kind"_s, Lower(b.kind)), TextField(u"time"_s, b.time),
                        NumberField(u"files"_s, static_cast<long long>(b.files)), TextField(u"name"_s, b.name)});
    PrintRows(rows, json, out, u"backups"_s);
    return ExitDone;
}

// The history of renames, oldest first; a damaged line is passed over, and
// said on standard error.
int PrintHistory(const Suite& suite, bool json, std::ostream& out, std::ostream& err)
{
    auto history = ReadHistory(*suite.Context.fs, suite.Context.ProjectPath,
                               [&err](const std::string& sentence) { Complain(err, sentence); });
    if (!history) {
        Complain(err, "the history of renames cannot be read: " + history.error().message);
        return ExitSaveFailed;
    }
    std::vector<Row> rows;
    for (const HistoryEntry& h : *history)
        rows.push_back({TextField(u"time"_s, FormatHistoryTime(h.time)), TextField(u"user"_s, h.user),
                        TextField(u"host"_s, h.host), TextField(u"kind"_s, h.kind), TextField(u"old"_s, h.oldName),
                        TextField(u"new"_s, h.newName), NumberField(u"items"_s, h.items),
                        TextField(u"backup"_s, h.backup)});
    PrintRows(rows, json, out, u"history"_s);
    return ExitDone;
}

int RestoreBackup(Suite& suite, const std::string& kindWord, const std::string& backup, std::ostream& err)
{
    std::string kind;
    for (const KindDescription& desc : suite.Context.kinds)
        if (Lower(desc.kind) == Lower(kindWord)) kind = desc.kind;
    if (kind.empty()) {
        Complain(err, "restore needs the kind profiles or receivers, not \"" + kindWord + "\"");
        return ExitUsage;
    }
    const SaveReport restored = suite.Restore(kind, backup);
    if (!restored.written && (restored.error.code == ErrorCode::NotFound || restored.error.code == ErrorCode::BadFormat)) {
        Complain(err, restored.error.message + "; see " + Program + " backups");
        return ExitRefused;
    }
    return SaveStatus(restored, kind == "Profiles" ? SavedKind::Profiles : SavedKind::Receivers, err);
}

// Removes a lock that a program which died left, after saying whose it was.
int Unlock(Suite& suite, const std::string& kindWord, std::ostream& out, std::ostream& err)
{
    std::string name;
    std::string what;
    for (const KindDescription& desc : suite.Context.kinds)
        if (Lower(desc.kind) == Lower(kindWord)) {
            name = desc.kind;
            what = desc.what;
        }
    if (Lower(kindWord) == "history") {
        name = "History";
        what = "history of renames";
    }
    if (name.empty()) {
        Complain(err, "unlock needs the kind profiles, receivers or history, not \"" + kindWord + "\"");
        return ExitUsage;
    }
    auto owner = BreakSaveLock(*suite.Context.fs, suite.Context.ProjectPath, name, what, *suite.Context.desks);
    if (!owner) {
        Complain(err, owner.error().message);
        return owner.error().code == ErrorCode::NotFound || owner.error().code == ErrorCode::Busy ? ExitRefused
                                                                                                   : ExitSaveFailed;
    }
    out << Lower(name) << '\t' << TextColumn(owner->desk.user) << '\t' << TextColumn(owner->desk.host) << '\t'
        << owner->desk.process << '\t' << ReadableLocalTime(owner->since) << '\n';
    Complain(err, "the lock of the " + what + " held by " + DescribeLockOwner(*owner) + " was removed");
    return ExitDone;
}

int RenameAndSave(Suite& suite, const Invocation& inv, std::ostream& out, std::ostream& err)
{
    const bool profile = inv.mode == Invocation::Mode::RenameProfile;
    const std::int16_t slot = profile ? FindOne(FindProfilesByName(suite, inv.oldName), "route profile", inv.oldName, err)
                                      : FindOne(FindReceiversByName(suite, inv.oldName), "receiver", inv.oldName, err);
    if (slot < 0) return ExitRefused;

    auto preview = profile ? PreviewProfileRename(suite, slot, inv.newName)
                           : PreviewReceiverRename(suite, slot, inv.newName);
    if (!preview) {
        Complain(err, preview.error().message);
        return ExitRefused;
    }
    const RenameOutcome& outcome = preview->outcome;
    if (const int refused = Refusal(outcome, err); refused != ExitDone) return refused;
    if (outcome.result == RenameResult::SameName) {
        Complain(err, "note: \"" + inv.oldName + "\" already bears that name; nothing was saved");
        return ExitDone;
    }
    if (outcome.itemsLeftAlone > 0) Complain(err, "note: " + DescribeItemsLeftAlone(outcome, inv.oldName));
    if (inv.dryRun) {
        PrintPreview(suite, profile, static_cast<std::size_t>(slot), *preview, out, err);
        return ExitDone;
    }

    // A receiver rename changes both tables: they are saved in one commit.
    if (profile) return SaveStatus(SaveProfiles(suite), SavedKind::Profiles, err);
    return SaveStatus(SaveReceiversAndProfiles(suite), SavedKind::Both, err);
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
    auto data = ReadNamedFile(RealFileSystem(), name, MaxRenameFileBytes);
    if (!data) return data.error();
    return std::string(data->begin(), data->end());
}

int RenameManyAndSave(Suite& suite, const Invocation& inv, std::istream* in, std::ostream& out, std::ostream& err)
{
    const std::string where = inv.oldName == "-" ? "standard input" : inv.oldName;
    auto text = ReadRenameFile(inv.oldName, in);
    if (!text) {
        Complain(err, "the file of renames \"" + inv.oldName + "\" cannot be read: " + text.error().message);
        return ExitUsage;
    }
    const RenameFile file = ParseRenameFile(*text);
    // Lines that are no request leave the others to be checked all the same,
    // so that every refused line is named at once; nothing is saved then.
    const RenameSet set = RenameMany(suite, file.requests);
    std::vector<RenameRefusal> refused = file.refused;
    refused.insert(refused.end(), set.refused.begin(), set.refused.end());
    if (!refused.empty()) {
        std::stable_sort(refused.begin(), refused.end(),
                         [](const RenameRefusal& a, const RenameRefusal& b) { return a.line < b.line; });
        for (const RenameRefusal& r : refused) Complain(err, where + " line " + std::to_string(r.line) + ": " + r.reason);
        const std::size_t lines = file.requests.size() + file.refused.size();
        Complain(err, std::to_string(refused.size()) + " of " + std::to_string(lines) + " line" +
                          (lines == 1 ? " was" : "s were") + " refused; nothing was renamed or written");
        return ExitRefused;
    }
    for (const int line : set.sameName)
        Complain(err, "note: " + where + " line " + std::to_string(line) + ": the entry already bears that name");
    for (const PlannedRename& r : set.renames) {
        if (r.itemsLeftAlone == 0) continue;
        RenameOutcome outcome;
        outcome.itemsLeftAlone = r.itemsLeftAlone;
        Complain(err, "note: " + where + " line " + std::to_string(r.line) + ": " +
                          DescribeItemsLeftAlone(outcome, Cp1252ToUtf8(r.oldName)));
    }
    if (set.renames.empty()) {
        Complain(err, "note: no name changes; nothing was saved");
        return ExitDone;
    }

    if (inv.dryRun) {
        std::size_t receivers = 0;
        for (const PlannedRename& r : set.renames) {
            if (r.kind == RenameRequest::Kind::Profile) {
                out << "profile\t" << suite.ProfileTable.at(r.slot).ProfileNumber() << '\t' << Column(r.oldName)
                    << '\t' << Column(r.newName) << '\n';
            } else {
                out << "receiver\t" << Column(r.oldName) << '\t' << Column(r.newName) << '\n';
                ++receivers;
            }
        }
        for (const ListChange& c : set.lists) {
            const RouteProfile& p = suite.ProfileTable.at(c.slot);
            out << "list\t" << p.ProfileNumber() << '\t' << Column(p.Name()) << '\t' << c.list << '\t'
                << Column(c.before) << '\t' << Column(c.after) << '\n';
        }
        const std::size_t profiles = set.renames.size() - receivers;
        Complain(err, "dry run: " + std::to_string(receivers) + " receiver" + (receivers == 1 ? "" : "s") + " and " +
                          std::to_string(profiles) + " route profile" + (profiles == 1 ? "" : "s") +
                          " would be renamed and " + std::to_string(set.lists.size()) + " profile receiver list" +
                          (set.lists.size() == 1 ? "" : "s") + " changed, in one commit; nothing was written and "
                          "no reload command was posted");
        return ExitDone;
    }

    // One commit for every kind that changed, and one reload command each.
    if (set.receiversChanged && set.profilesChanged)
        return SaveStatus(SaveReceiversAndProfiles(suite), SavedKind::Both, err);
    if (set.receiversChanged) return SaveStatus(SaveReceivers(suite), SavedKind::Receivers, err);
    return SaveStatus(SaveProfiles(suite), SavedKind::Profiles, err);
}

// --- The project's location -----------------------------------------------

std::string Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return std::string(s);
}

// The value of `key=` outside any section (or in [General]) of the
// configuration file; nothing when the file or the key is missing.
struct ConfigValue {
    std::string file;
    std::string value;
    std::string error;
};

ConfigValue ReadConfigured(const std::string& key)
{
    ConfigValue c;
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/')
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0')
        base = std::string(home) + "/.config";
    else
        return c;
    c.file = base + "/VelNameChange/VelNameChange.conf";
    auto data = ReadNamedFile(RealFileSystem(), c.file, 1024 * 1024);
    if (!data) {
        if (data.error().code != ErrorCode::NotFound) c.error = data.error().message;
        return c;
    }
    const std::string text(data->begin(), data->end());
    std::string section;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = Trim(std::string_view(text).substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == '#' || line[0] == ';') continue;
        if (line.front() == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string::npos || Trim(line.substr(0, eq)) != key) continue;
        if (!section.empty() && section != "General") continue;
        std::string value = Trim(line.substr(eq + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        c.value = value;
        return c;
    }
    return c;
}

ProjectChoice Named(const std::string& given, const std::string& from)
{
    ProjectChoice c;
    c.from = from;
    c.path = given;
    const std::string note = from == "--project" ? "" : " (named by " + from + ")";
    auto folder = OpenFolder(RealFileSystem(), c.path);
    if (folder) return c;
    if (folder.error().code == ErrorCode::NotFound)
        c.error = "the project directory \"" + given + "\"" + note + " does not exist";
    else
        c.error = "\"" + given + "\"" + note + " cannot be opened as a directory: " + folder.error().message;
    return c;
}

// --- Parsing --------------------------------------------------------------

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
    "style",   "stylesheet",      "platform",    "platformpluginpath", "platformtheme", "plugin",
    "session", "qwindowgeometry", "qwindowicon", "qwindowtitle",       "display",       "geometry",
    "qmljsdebugger", "dialogs", "fontengine",
};
constexpr std::string_view QtFlags[] = {"reverse", "widgetcount"};
// The program's own options whose value may come as the next argument.
constexpr std::string_view OwnOptionsWithValue[] = {"project", "format"};

template <std::size_t N>
bool OneOf(std::string_view name, const std::string_view (&names)[N])
{
    return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

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
    const QCommandLineOption help(QStringList{u"h"_s, u"help"_s});
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption project(QStringLiteral("project"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption dryRun(QStringLiteral("dry-run"));
    const QCommandLineOption format(QStringLiteral("format"), QString(), QStringLiteral("FORMAT"));
    const QCommandLineOption verbose(QStringLiteral("verbose"));
    parser.addOptions({help, version, project, dryRun, format, verbose});

    QStringList list{QString::fromLatin1(Program)};
    for (const std::string& a : args) list << QString::fromStdString(a);
    if (!parser.parse(list)) return Usage(parser.errorText().toStdString());
    if (parser.isSet(help)) {
        Invocation inv;
        inv.mode = Invocation::Mode::Help;
        return inv;
    }
    if (parser.isSet(version)) {
        Invocation inv;
        inv.mode = Invocation::Mode::Version;
        return inv;
    }

    Invocation inv;
    const QStringList projects = parser.values(project);
    if (projects.size() > 1) return Usage("--project is given more than once");
    if (!projects.isEmpty()) {
        if (projects.front().isEmpty()) return Usage("--project needs a directory");
        inv.project = projects.front().toStdString();
        inv.projectGiven = true;
    }
    inv.dryRun = parser.isSet(dryRun);
    inv.verbose = parser.isSet(verbose);
    bool formatGiven = false;
    if (parser.isSet(format)) {
        const QString f = parser.value(format);
        if (f == QLatin1String("json"))
            inv.format = Invocation::Format::Json;
        else if (f != QLatin1String("tsv"))
            return Usage("unknown format '" + f.toStdString() + "' (tsv or json)");
        formatGiven = true;
    }

    // The command word and its names: taken from the arguments as they came,
    // byte for byte, since everything after the command word is literal.
    const qsizetype positional = parser.positionalArguments().size();
    if (positional == 0) {
        if (inv.dryRun) return Usage("--dry-run needs rename-profile, rename-receiver or rename-many");
        if (formatGiven) return Usage("--format needs a command that lists");
        return inv; // the window
    }
    const std::size_t first = args.size() - static_cast<std::size_t>(positional);
    const std::string& word = args[first];
    // A lone "-" is no option, but does not end the options either.
    if (QString::fromStdString(word) != parser.positionalArguments().front())
        return Usage("unknown command '" + parser.positionalArguments().front().toStdString() + "'");
    const std::size_t names = args.size() - first - 1;
    const CommandWord* command = nullptr;
    for (const CommandWord& c : Commands) {
        if (word == c.word) command = &c;
    }
    if (command == nullptr) return Usage("unknown command '" + word + "'");
    if (names != static_cast<std::size_t>(command->names)) return Usage(word + " " + command->needs);
    inv.mode = command->mode;
    if (names >= 1) inv.oldName = args[first + 1];
    if (names >= 2) inv.newName = args[first + 2];

    const bool rename = inv.mode == Invocation::Mode::RenameProfile || inv.mode == Invocation::Mode::RenameReceiver ||
                        inv.mode == Invocation::Mode::RenameMany;
    if (inv.dryRun && !rename)
        return Usage("--dry-run goes only with rename-profile, rename-receiver and rename-many");
    if (inv.format == Invocation::Format::Json &&
        (rename || inv.mode == Invocation::Mode::Restore || inv.mode == Invocation::Mode::Unlock))
        return Usage("--format json goes only with list-profiles, list-receivers, check, references, backups and "
                     "history");
    return inv;
}

std::string UsageText()
{
    return std::string(ShortUsage) +
           "Rename route profiles and receivers of a Veltra alarm-server project.\n"
           "Without a command, open the window.\n"
           "\n"
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
           "\n"
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
           "\n"
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
           "\n"
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
           "\n"
           "E is 1 for an enabled entry, else 0. Names are UTF-8; control characters in names\n"
           "are written as \\t, \\n or \\xHH, and a backslash as \\\\.\n"
           "\n"
           "Exit status:\n"
           "  0  done; check: nothing found\n"
           "  1  refused, nothing written; check: something found\n"
           "  2  usage error\n"
           "  3  the save failed; the previous files are in place (also: another desk is\n"
           "     saving, or an interrupted earlier save cannot be finished now)\n"
           "  4  saved, but the server could not be told to reload\n"
           "  5  the save was committed but could not be finished; it is finished, and the\n"
           "     server told, at the next start\n"
           "\n"
           "See VelNameChange(1).\n";
}

std::string VersionText() { return std::string(Program) + " " + VEL_VERSION_TEXT + "\n"; }

ProjectChoice ChooseProject(const Invocation& invocation)
{
    if (invocation.projectGiven) return Named(invocation.project, "--project");

    ProjectChoice beside;
    beside.path = MakeProjectPath(ExecutableDirectory());
    beside.from = "beside the program";
    if (OpenFolder(RealFileSystem(), beside.path)) return beside;

    if (const char* env = std::getenv("VELNAMECHANGE_PROJECT"); env != nullptr && env[0] != '\0')
        return Named(env, "VELNAMECHANGE_PROJECT");
    const ConfigValue config = ReadConfigured("project");
    if (!config.error.empty()) {
        ProjectChoice c;
        c.from = config.file;
        c.error = config.error;
        return c;
    }
    if (!config.value.empty()) return Named(config.value, config.file);
    return beside;
}

std::string ResolveProjectPath(const Invocation& invocation) { return ChooseProject(invocation).path; }

std::size_t ConfiguredKeptBackups(std::string* problem)
{
    const ConfigValue config = ReadConfigured("keep-backups");
    if (config.value.empty()) return DefaultKeptBackups;
    char* end = nullptr;
    errno = 0;
    const unsigned long long n = std::strtoull(config.value.c_str(), &end, 10);
    if (errno != 0 || end == config.value.c_str() || *end != '\0' || config.value.front() == '-') {
        if (problem != nullptr)
            *problem = config.file + ": keep-backups=" + config.value + " is no number; " +
                       std::to_string(DefaultKeptBackups) + " backups of each kind are kept";
        return DefaultKeptBackups;
    }
    return std::max<std::size_t>(DefaultKeptBackups, static_cast<std::size_t>(n));
}

std::int64_t ConfiguredStaleLockMinutes(std::string* problem)
{
    const ConfigValue config = ReadConfigured("stale-lock-minutes");
    if (config.value.empty()) return DefaultStaleLockMinutes;
    char* end = nullptr;
    errno = 0;
    const long long n = std::strtoll(config.value.c_str(), &end, 10);
    if (errno != 0 || end == config.value.c_str() || *end != '\0' || n < 1) {
        if (problem != nullptr)
            *problem = config.file + ": stale-lock-minutes=" + config.value + " is no number of minutes; " +
                       std::to_string(DefaultStaleLockMinutes) + " minutes are used";
        return DefaultStaleLockMinutes;
    }
    return n;
}

int SaveFailureStatus(ErrorCode code) { return code == ErrorCode::Unfinished ? ExitUnfinished : ExitSaveFailed; }

int RunCommand(const Invocation& inv, std::ostream& out, std::ostream& err, const CommandServices& services)
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
        err << ShortUsage << "Try '" << Program << " --help' for more information.\n";
        return ExitUsage;
    case Invocation::Mode::Window:
        Complain(err, "the window is not opened from here");
        return ExitUsage;
    default:
        break;
    }
    const ProjectChoice choice = ChooseProject(inv);
    if (!choice.error.empty()) {
        Complain(err, choice.error);
        return ExitUsage;
    }

    Suite suite(choice.path, services.fs, services.server);
    suite.Context.notice = [&err](const std::string& sentence) { Complain(err, sentence); };
    std::string settingProblem;
    suite.Context.keepBackups = ConfiguredKeptBackups(&settingProblem);
    if (!settingProblem.empty()) Complain(err, settingProblem);
    settingProblem.clear();
    suite.Context.staleLockMinutes = ConfiguredStaleLockMinutes(&settingProblem);
    if (!settingProblem.empty()) Complain(err, settingProblem);
    if (inv.mode == Invocation::Mode::Unlock) return Unlock(suite, inv.oldName, out, err);
    suite.Context.log = nullptr;
    if (inv.verbose)
        suite.Context.log = [&err](const std::string& line) {
            err << Program << ": log: " << EscapeControls(line, false) << '\n';
        };
    const LoadReport loaded = suite.LoadAll();
    const std::string work = WorkFolder(suite.Context.ProjectPath);
    for (const PassedOver& p : loaded.passedOver) {
        if (p.file == work)
            Complain(err, "an interrupted save could not be finished: " + p.reason);
        else
            Complain(err, p.file + " was passed over and is not loaded: " + p.reason);
    }

    const bool json = inv.format == Invocation::Format::Json;
    switch (inv.mode) {
    case Invocation::Mode::ListProfiles:
        PrintProfiles(suite, json, out);
        return ExitDone;
    case Invocation::Mode::ListReceivers:
        PrintReceivers(suite, json, out);
        return ExitDone;
    case Invocation::Mode::Check:
        return PrintFindings(CheckProject(suite, loaded), json, out);
    case Invocation::Mode::References:
        return PrintReferences(suite, inv.oldName, json, out, err);
    case Invocation::Mode::Backups:
        return PrintBackups(suite, json, out, err);
    case Invocation::Mode::Restore:
        return RestoreBackup(suite, inv.oldName, inv.newName, err);
    case Invocation::Mode::History:
        return PrintHistory(suite, json, out, err);
    case Invocation::Mode::RenameMany:
        return RenameManyAndSave(suite, inv, services.in, out, err);
    default:
        return RenameAndSave(suite, inv, out, err);
    }
}

} // namespace vel
