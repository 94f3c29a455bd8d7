#include "records/history.h"

#include "base/line_escape.h"
#include "records/save_transaction.h"

#include <chrono>
#include <cstdio>
#include <set>

namespace vel {

namespace {

constexpr std::size_t HistoryFields = 9;
// The history is read whole before every append; a file beyond this is no
// history this program wrote (a line is some hundred bytes, a million renames
// take some hundred megabytes).
constexpr std::uint64_t HistoryMaxBytes = std::uint64_t{1} << 30;

} // namespace

std::string FormatHistoryTime(std::int64_t seconds)
{
    using namespace std::chrono;
    const sys_seconds at{std::chrono::seconds(seconds)};
    const sys_days day = floor<days>(at);
    const year_month_day date{day};
    const hh_mm_ss<std::chrono::seconds> time{at - day};
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
    return buf;
}

namespace {

// The digits of text[from, from + n) as a number; -1 when one is no digit.
int Digits(std::string_view text, std::size_t from, std::size_t n)
{
    int value = 0;
    for (std::size_t i = from; i < from + n; ++i) {
        if (text[i] < '0' || text[i] > '9') return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

Result<std::int64_t> ParseUtcTime(std::string_view text)
{
    const Error none = MakeError(ErrorCode::BadFormat, "the time is no time of the form YYYY-MM-DDTHH:MM:SSZ");
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
        text[16] != ':' || text[19] != 'Z')
        return none;
    const int y = Digits(text, 0, 4), mo = Digits(text, 5, 2), d = Digits(text, 8, 2);
    const int h = Digits(text, 11, 2), mi = Digits(text, 14, 2), s = Digits(text, 17, 2);
    if (y < 0 || mo < 0 || d < 0 || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59) return none;
    using namespace std::chrono;
    const year_month_day date{year(y), month(static_cast<unsigned>(mo)), day(static_cast<unsigned>(d))};
    if (!date.ok()) return none;
    const sys_seconds at = sys_days(date) + hours(h) + minutes(mi) + seconds(s);
    return static_cast<std::int64_t>(at.time_since_epoch().count());
}

Result<int> ParseCount(std::string_view text)
{
    if (text.empty() || text.size() > 9) return MakeError(ErrorCode::BadFormat, "the item count is no number");
    const int n = Digits(text, 0, text.size());
    if (n < 0) return MakeError(ErrorCode::BadFormat, "the item count is no number");
    return n;
}

// Whether text is UTF-8 throughout (no overlong forms, no surrogates).
bool IsUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        std::size_t n = 0;
        char32_t cp = 0;
        if (b < 0x80) {
            ++i;
            continue;
        }
        if (b >= 0xC2 && b <= 0xDF) {
            n = 1;
            cp = b & 0x1FU;
        } else if (b >= 0xE0 && b <= 0xEF) {
            n = 2;
            cp = b & 0x0FU;
        } else if (b >= 0xF0 && b <= 0xF4) {
            n = 3;
            cp = b & 0x07U;
        } else {
            return false;
        }
        if (i + n >= text.size()) return false;
        for (std::size_t k = 1; k <= n; ++k) {
            const auto c = static_cast<unsigned char>(text[i + k]);
            if ((c & 0xC0U) != 0x80U) return false;
            cp = (cp << 6) | (c & 0x3FU);
        }
        if ((n == 2 && cp < 0x800) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += n + 1;
    }
    return true;
}

std::vector<std::string_view> SplitTabs(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        if (tab == std::string_view::npos) {
            fields.push_back(line.substr(start));
            return fields;
        }
        fields.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
}

// The lines of a file's text: split at every line end; a last line without
// its line end is a line too.
std::vector<std::string_view> SplitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

constexpr std::string_view HeaderPrefix = "VelNameChange history ";

std::string HistoryPath()
{
    return std::string(WorkFolderName) + "/" + HistoryFileName;
}

} // namespace

std::string FormatHistoryLine(const HistoryEntry& entry)
{
    const std::string fields[] = {
        FormatHistoryTime(entry.time), entry.user,   entry.host, entry.kind, entry.oldName, entry.newName,
        std::to_string(entry.items),   entry.backup, entry.save};
    std::string line;
    for (std::size_t i = 0; i < HistoryFields; ++i) {
        if (i != 0) line += '\t';
        line += EscapeControls(fields[i], true);
    }
    return line;
}

Result<HistoryEntry> ParseHistoryLine(std::string_view line)
{
    const std::vector<std::string_view> raw = SplitTabs(line);
    if (raw.size() != HistoryFields)
        return MakeError(ErrorCode::BadFormat,
                         "it holds " + std::to_string(raw.size()) + " fields, not " + std::to_string(HistoryFields));
    static constexpr const char* Names[] = {"time",     "user",  "host",   "kind", "old name",
                                            "new name", "items", "backup", "save"};
    std::vector<std::string> fields;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        auto text = UnescapeControls(raw[i]);
        if (!text)
            return MakeError(ErrorCode::BadFormat, std::string("its ") + Names[i] + " holds " + text.error().message);
        if (!IsUtf8(*text)) return MakeError(ErrorCode::BadFormat, std::string("its ") + Names[i] + " is not UTF-8");
        fields.push_back(std::move(*text));
    }
    VEL_TRY_ASSIGN(const auto time, ParseUtcTime(fields[0]));
    VEL_TRY_ASSIGN(const auto items, ParseCount(fields[6]));
    if (fields[3].empty()) return MakeError(ErrorCode::BadFormat, "its kind is empty");
    HistoryEntry entry;
    entry.time = time;
    entry.user = std::move(fields[1]);
    entry.host = std::move(fields[2]);
    entry.kind = std::move(fields[3]);
    entry.oldName = std::move(fields[4]);
    entry.newName = std::move(fields[5]);
    entry.items = items;
    entry.backup = std::move(fields[7]);
    entry.save = std::move(fields[8]);
    return entry;
}

Result<std::vector<HistoryEntry>> ReadHistory(FileSystem& fs, const std::string& projectPath, const LogSink& tell)
{
    std::vector<HistoryEntry> entries;
    VEL_TRY_ASSIGN(const auto project, OpenFolder(fs, projectPath));
    VEL_TRY_ASSIGN(const auto workInfo, fs.StatAt(project.handle(), WorkFolderName));
    if (!workInfo.exists()) return entries;
    VEL_TRY_ASSIGN(const auto work, OpenFolderAt(fs, project, WorkFolderName));
    VEL_TRY_ASSIGN(const auto info, fs.StatAt(work.handle(), HistoryFileName));
    if (!info.exists()) return entries;
    VEL_TRY_ASSIGN(const auto data, fs.ReadAt(work.handle(), HistoryFileName, HistoryMaxBytes));

    const std::string text(data.begin(), data.end());
    const std::vector<std::string_view> lines = SplitLines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string where = HistoryPath() + " line " + std::to_string(i + 1);
        if (i == 0 && lines[0] == HistoryHeader) continue;
        if (i == 0 && lines[0].substr(0, HeaderPrefix.size()) == HeaderPrefix) {
            if (tell)
                tell(where + " names a form of the history this program does not know (\"" +
                     EscapeControls(lines[0], true) + "\"); the lines that it can read are shown");
            continue;
        }
        if (i == 0 && tell) tell(HistoryPath() + " does not start with its header line \"" + HistoryHeader + "\"");
        auto entry = ParseHistoryLine(lines[i]);
        if (!entry) {
            if (tell) tell(where + " is damaged and passed over: " + entry.error().message);
            continue;
        }
        entries.push_back(std::move(*entry));
    }
    return entries;
}

Status AppendHistory(FileSystem& fs, const Folder& work, const std::vector<HistoryEntry>& entries,
                     const FileAttributes& attributes)
{
    VEL_TRY_ASSIGN(const auto info, fs.StatAt(work.handle(), HistoryFileName));
    std::string text;
    FileAttributes kept = attributes;
    std::set<std::string> saves;
    if (info.exists()) {
        // Never lose a line: a history that cannot be read whole is not
        // replaced.
        auto data = fs.ReadAt(work.handle(), HistoryFileName, HistoryMaxBytes);
        if (!data) return MakeError(data.error().code, HistoryPath() + " cannot be read: " + data.error().message);
        text.assign(data->begin(), data->end());
        for (const std::string_view line : SplitLines(text)) {
            auto entry = ParseHistoryLine(line);
            if (entry && !entry->save.empty()) saves.insert(entry->save);
        }
        // The file keeps what it has, and gains what a file of the work
        // folder must have so that every member of the group can write it.
        kept.mode = info.mode | attributes.mode;
        kept.owner = info.owner;
        if (!kept.group) kept.group = info.group;
    }
    if (text.empty()) text = std::string(HistoryHeader) + "\n";
    // A last line cut short keeps its bytes; the new lines start on a line of their own.
    if (text.back() != '\n') text += '\n';

    bool added = false;
    for (const HistoryEntry& entry : entries) {
        if (!entry.save.empty() && saves.count(entry.save) != 0) continue;
        text += FormatHistoryLine(entry);
        text += '\n';
        added = true;
    }
    if (!added) return Status::Ok();
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    Status replaced = ReplaceFileAt(fs, work.handle(), HistoryFileName, bytes, kept);
    if (!replaced)
        return MakeError(replaced.error().code, HistoryPath() + " was not written: " + replaced.error().message);
    return Status::Ok();
}

} // namespace vel
