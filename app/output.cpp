#include "app/output.h"

#include "app/parse.h"
#include "base/codepage.h"
#include "base/line_escape.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cctype>
#include <ostream>

namespace vel {

using namespace Qt::StringLiterals;

namespace {

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

} // namespace

// ASCII letters in lower case ("Profiles" -> "profiles").
std::string Lower(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A stored name (or list) as one column of a line.
std::string Column(std::string_view ansi)
{
    return EscapeControls(Cp1252ToUtf8(ansi), true);
}
std::string TextColumn(std::string_view utf8)
{
    return EscapeControls(utf8, true);
}

QString Unicode(std::string_view ansi)
{
    return QString::fromStdString(Cp1252ToUtf8(ansi));
}
QString Utf8(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

// One line per message, so that scripts can read standard error line by line.
void Complain(std::ostream& err, const std::string& text)
{
    err << ProgramName << ": " << EscapeControls(text, false) << '\n';
}

void PrintJson(std::ostream& out, const QJsonObject& object)
{
    out << QJsonDocument(object).toJson(QJsonDocument::Indented).toStdString();
}

Field NameField(const QString& key, std::string_view ansi)
{
    return {key, Unicode(ansi), Column(ansi)};
}
Field TextField(const QString& key, const std::string& utf8)
{
    return {key, Utf8(utf8), TextColumn(utf8)};
}
Field NumberField(const QString& key, long long n)
{
    return {key, static_cast<qint64>(n), std::to_string(n)};
}
Field FlagField(const QString& key, bool on)
{
    return {key, on, on ? "1" : "0"};
}

// The rows as lines of tab-separated columns, or as the JSON array `key` of
// `document`.
void PrintRows(const std::vector<Row>& rows, bool json, std::ostream& out, const QString& key, QJsonObject document)
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

void PrintFindings(const std::vector<Finding>& findings, bool json, std::ostream& out)
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
}

} // namespace vel
