#pragma once

// What the commands write: listings as lines of tab-separated columns or as
// JSON, and messages on standard error, one line each.

#include "project/project_check.h"
#include "project/suite.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace vel {

// ASCII letters in lower case ("Profiles" -> "profiles").
std::string Lower(std::string text);

// A stored name (or list) as one column of a line.
std::string Column(std::string_view ansi);
// A UTF-8 text as one column of a line.
std::string TextColumn(std::string_view utf8);

QString Unicode(std::string_view ansi);
QString Utf8(const std::string& utf8);

// One line per message, so that scripts can read standard error line by line.
void Complain(std::ostream& err, const std::string& text);

void PrintJson(std::ostream& out, const QJsonObject& object);

// One column of a listing's row: its key and value in JSON, its text in a
// tab-separated line.
struct Field {
    QString key;
    QJsonValue json;
    std::string text;
};
using Row = std::vector<Field>;

Field NameField(const QString& key, std::string_view ansi);
Field TextField(const QString& key, const std::string& utf8);
Field NumberField(const QString& key, long long n);
Field FlagField(const QString& key, bool on);

// The rows as lines of tab-separated columns, or as the JSON array `key` of
// `document`.
void PrintRows(const std::vector<Row>& rows, bool json, std::ostream& out, const QString& key,
               QJsonObject document = {});

void PrintProfiles(const Suite& suite, bool json, std::ostream& out);
void PrintReceivers(const Suite& suite, bool json, std::ostream& out);
// One line (or JSON object) per finding of CheckProject.
void PrintFindings(const std::vector<Finding>& findings, bool json, std::ostream& out);

} // namespace vel
