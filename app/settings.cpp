#include "app/settings.h"

#include "records/project.h"
#include "records/save_transaction.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string_view>

namespace vel {

namespace {

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
    Status problem; // the file is there but cannot be read
};

ConfigValue ReadConfigured(FileSystem& fs, const std::string& key)
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
    auto data = ReadNamedFile(fs, c.file, 1024 * 1024);
    if (!data) {
        if (data.error().code != ErrorCode::NotFound) c.problem = data.error();
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

ProjectChoice Named(FileSystem& fs, const std::string& given, const std::string& from)
{
    ProjectChoice c;
    c.from = from;
    c.path = given;
    const std::string note = from == "--project" ? "" : " (named by " + from + ")";
    auto folder = OpenFolder(fs, c.path);
    if (folder) return c;
    if (folder.error().code == ErrorCode::NotFound)
        c.problem = MakeError(ErrorCode::NotFound,
                              "the project directory \"" + given + "\"" + note + " does not exist");
    else
        c.problem = MakeError(folder.error().code, "\"" + given + "\"" + note +
                                                       " cannot be opened as a directory: " + folder.error().message);
    return c;
}

} // namespace

ProjectChoice ChooseProject(const Invocation& invocation, FileSystem& fs)
{
    if (invocation.projectGiven) return Named(fs, invocation.project, "--project");

    ProjectChoice beside;
    beside.path = MakeProjectPath(ExecutableDirectory());
    beside.from = "beside the program";
    if (OpenFolder(fs, beside.path)) return beside;

    if (const char* env = std::getenv("VELNAMECHANGE_PROJECT"); env != nullptr && env[0] != '\0')
        return Named(fs, env, "VELNAMECHANGE_PROJECT");
    const ConfigValue config = ReadConfigured(fs, "project");
    if (!config.problem) {
        ProjectChoice c;
        c.from = config.file;
        c.problem = config.problem;
        return c;
    }
    if (!config.value.empty()) return Named(fs, config.value, config.file);
    return beside;
}

std::string ResolveProjectPath(const Invocation& invocation)
{
    return ChooseProject(invocation).path;
}

std::size_t ConfiguredKeptBackups(std::string* problem, FileSystem& fs)
{
    const ConfigValue config = ReadConfigured(fs, "keep-backups");
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

std::int64_t ConfiguredStaleLockMinutes(std::string* problem, FileSystem& fs)
{
    const ConfigValue config = ReadConfigured(fs, "stale-lock-minutes");
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

} // namespace vel
