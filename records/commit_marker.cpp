#include "records/commit_marker.h"

#include "base/line_escape.h"

#include <algorithm>
#include <optional>
#include <sstream>

namespace vel {

namespace {

// Version 3 adds the save's id, time and desk and the renames; version 2
// markers, of saves interrupted before an update, are finished all the same.
constexpr const char* MarkerHeader = "VelNameChange commit 3";
constexpr const char* MarkerHeaderV2 = "VelNameChange commit 2";

bool EndsWith(const std::string& s, const std::string& suffix)
{
    return s.size() > suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// A value on a line of its own: "%", line ends and (with `word`) blanks and
// every other control byte as %HH.
std::string Escape(const std::string& s, bool word = false)
{
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '%' || c == '\n' || (word && (u <= 0x20 || u == 0x7F))) {
            out += '%';
            out += hex[u >> 4];
            out += hex[u & 15];
        } else {
            out.push_back(c);
        }
    }
    return out;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string Unescape(const std::string& s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && HexDigit(s[i + 1]) >= 0 && HexDigit(s[i + 2]) >= 0) {
            out.push_back(static_cast<char>(HexDigit(s[i + 1]) * 16 + HexDigit(s[i + 2])));
            i += 2;
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

// "change ITEMS OLD NEW", the names escaped as words.
std::optional<NameChange> DecodeChange(const std::string& kind, const std::string& value)
{
    std::istringstream in(value);
    std::string items, oldName, newName, more;
    if (!(in >> items >> oldName >> newName) || (in >> more) || !DecimalColumn(items)) return std::nullopt;
    NameChange c;
    c.kind = kind;
    c.items = static_cast<int>(*DecimalColumn(items));
    c.oldName = Unescape(oldName == "%" ? std::string() : oldName);
    c.newName = Unescape(newName == "%" ? std::string() : newName);
    return c;
}

// An empty name as a word of its own.
std::string Word(const std::string& s)
{
    return s.empty() ? "%" : Escape(s, true);
}

} // namespace

ByteBuffer EncodeMarker(const Marker& marker)
{
    std::string text = std::string(MarkerHeader) + "\n";
    text += "save " + Escape(marker.save) + "\n";
    text += "time " + std::to_string(marker.time) + "\n";
    text += "user " + Escape(marker.desk.user) + "\n";
    text += "host " + Escape(marker.desk.host) + "\n";
    for (const KindMarker& k : marker.kinds) {
        text += "kind " + Escape(k.kind) + "\n";
        text += "folder " + Escape(k.folder) + "\n";
        if (!k.backup.empty()) text += "backup " + Escape(k.backup) + "\n";
        for (const auto& n : k.newNames) text += "new " + Escape(n) + "\n";
        for (const auto& n : k.oldNames) text += "old " + Escape(n) + "\n";
        for (const auto& n : k.moved) text += "move " + Escape(n) + "\n";
        for (const auto& c : k.changes)
            text += "change " + std::to_string(c.items) + " " + Word(c.oldName) + " " + Word(c.newName) + "\n";
        if (!k.restoredFrom.empty()) text += "restored " + Escape(k.restoredFrom) + "\n";
    }
    text += "end\n";
    return ByteBuffer(text.begin(), text.end());
}

Result<Marker> DecodeMarker(const ByteBuffer& data)
{
    std::istringstream in(std::string(data.begin(), data.end()));
    std::string line;
    if (!std::getline(in, line) || (line != MarkerHeader && line != MarkerHeaderV2))
        return MakeError(ErrorCode::BadFormat, "not a commit marker");
    Marker marker;
    bool ended = false;
    while (std::getline(in, line)) {
        if (line == "end") {
            ended = true;
            break;
        }
        const auto sp = line.find(' ');
        if (sp == std::string::npos) return MakeError(ErrorCode::BadFormat, "damaged line '" + line + "'");
        const std::string key = line.substr(0, sp);
        const std::string raw = line.substr(sp + 1);
        std::string value = Unescape(raw);
        if (key == "kind") {
            marker.kinds.push_back(KindMarker{});
            marker.kinds.back().kind = std::move(value);
            continue;
        }
        if (marker.kinds.empty()) {
            if (key == "save")
                marker.save = std::move(value);
            else if (key == "time" && DecimalColumn(value))
                marker.time = *DecimalColumn(value);
            else if (key == "user")
                marker.desk.user = std::move(value);
            else if (key == "host")
                marker.desk.host = std::move(value);
            else
                return MakeError(ErrorCode::BadFormat, "damaged line '" + line + "'");
            continue;
        }
        KindMarker& k = marker.kinds.back();
        if (key == "folder") {
            k.folder = std::move(value);
        } else if (key == "backup") {
            k.backup = std::move(value);
        } else if (key == "new") {
            k.newNames.push_back(std::move(value));
        } else if (key == "old") {
            k.oldNames.push_back(std::move(value));
        } else if (key == "move") {
            k.moved.push_back(std::move(value));
        } else if (key == "restored") {
            k.restoredFrom = std::move(value);
        } else if (key == "change") {
            auto change = DecodeChange(k.kind, raw);
            if (!change) return MakeError(ErrorCode::BadFormat, "damaged line '" + line + "'");
            k.changes.push_back(std::move(*change));
        } else {
            return MakeError(ErrorCode::BadFormat, "damaged line '" + line + "'");
        }
    }
    if (!ended || marker.kinds.empty()) return MakeError(ErrorCode::BadFormat, "the marker is incomplete");
    return marker;
}

bool IsMarkerName(const std::string& name)
{
    return EndsWith(name, MarkerSuffix);
}

std::vector<std::string> KindsOfMarker(const std::string& name)
{
    std::vector<std::string> kinds;
    const std::string stem = name.substr(0, name.size() - std::string(MarkerSuffix).size());
    std::size_t start = 0;
    for (;;) {
        const auto plus = stem.find('+', start);
        kinds.push_back(stem.substr(start, plus == std::string::npos ? std::string::npos : plus - start));
        if (plus == std::string::npos) break;
        start = plus + 1;
    }
    return kinds;
}

std::string MarkerName(std::vector<std::string> kinds)
{
    std::sort(kinds.begin(), kinds.end());
    std::string name;
    for (const auto& k : kinds) name += (name.empty() ? "" : "+") + k;
    return name + MarkerSuffix;
}

const KindDescription* FindDescription(const std::vector<KindDescription>& known, const std::string& kind)
{
    for (const KindDescription& desc : known)
        if (desc.kind == kind) return &desc;
    return nullptr;
}

Status CheckMarker(const Marker& marker, const std::vector<std::string>& kindsOfName,
                   const std::vector<KindDescription>& known)
{
    if (marker.kinds.size() != kindsOfName.size())
        return MakeError(ErrorCode::BadFormat, "its kinds do not match its name");
    for (const KindMarker& k : marker.kinds) {
        const KindDescription* desc = FindDescription(known, k.kind);
        if (desc == nullptr || std::find(kindsOfName.begin(), kindsOfName.end(), k.kind) == kindsOfName.end())
            return MakeError(ErrorCode::BadFormat, "it names the unexpected kind '" + k.kind + "'");
        if (!IsPlainName(k.folder) || k.folder.size() != k.kind.size() ||
            !IsKindFileName(k.folder + "0000.dat", k.kind))
            return MakeError(ErrorCode::BadFormat, "it names the unexpected folder '" + k.folder + "'");
        if (!k.backup.empty() && (!IsPlainName(k.backup) || k.backup.rfind(k.kind + "-", 0) != 0))
            return MakeError(ErrorCode::BadFormat, "it names the unexpected backup '" + k.backup + "'");
        for (const auto* names : {&k.newNames, &k.oldNames, &k.moved}) {
            for (const std::string& n : *names)
                if (!IsPlainName(n) || !IsKindFileName(n, desc->prefix))
                    return MakeError(ErrorCode::BadFormat, "it names the unexpected file '" + n + "'");
        }
        if ((!k.oldNames.empty() || !k.moved.empty()) && k.backup.empty())
            return MakeError(ErrorCode::BadFormat, "it keeps old files in no backup");
    }
    return Status::Ok();
}

} // namespace vel
