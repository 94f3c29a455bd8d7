#include "project/kind_store.h"

#include "base/codepage.h"
#include "base/file_system.h"

namespace vel {

namespace {

// Upper case of the first letter, for a line that starts with the noun.
std::string Capitalised(std::string text)
{
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 'a' + 'A');
    return text;
}

// The one form of the store's own line about a file or folder passed over.
void LogPassedOver(const StoreContext& ctx, const KindRules& rules, const std::string& what,
                   const std::string& relative, const std::string& reason)
{
    ctx.WriteLog(Capitalised(rules.entryNoun) + " " + what + " '" + relative + "' passed over: " + reason);
}

std::int16_t VersionWord(std::span<const std::uint8_t> file)
{
    return static_cast<std::int16_t>(file[0] | (file[1] << 8));
}

} // namespace

std::string DescribeEntry(const KindRules& rules, const AnsiText& name, const std::string& file)
{
    return rules.entryNoun + " '" + Cp1252ToUtf8(name) + "' (" + file + ")";
}

void KindFiles::SavedAll()
{
    m_carried.clear();
    for (const auto& stamp : m_loaded.files) m_carried.insert(stamp.name);
}

void KindFiles::Load(const StoreContext& ctx, const KindRules& rules, LoadReport& report, const TakeFile& take)
{
    const KindDescription& desc = rules.desc;
    m_loaded = KindSnapshot{};
    m_carried.clear();

    auto folderPassedOver = [&](const std::string& reason) {
        report.passedOver.push_back({JoinPath(ctx.ProjectPath, desc.kind), reason});
        LogPassedOver(ctx, rules, "folder", desc.kind, reason);
    };
    auto content = ReadKindFolder(*ctx.fs, ctx.ProjectPath, desc);
    if (!content) {
        folderPassedOver(content.error().message);
        return;
    }
    if (!content->refused.empty()) folderPassedOver(content->refused);

    KindSnapshot snapshot;
    snapshot.taken = true;
    for (KindFolderContent::File& entry : content->files) {
        const std::string& name = entry.file.name;
        const std::string relative = content->folderName + "/" + name;
        Result<ByteBuffer>& data = entry.content;
        auto passOver = [&](const std::string& reason, bool logged) {
            report.passedOver.push_back({name, reason});
            if (logged) LogPassedOver(ctx, rules, "file", relative, reason);
        };

        if (!FileNumber(entry.file.numberPart)) {
            passOver("the characters after \"" + desc.prefix + "\" are not a number", false);
        } else if (!data) {
            passOver(data.error().message, true);
        } else if (data->size() < 2) {
            passOver("shorter than 2 bytes", false);
        } else if (const std::int16_t version = VersionWord(*data);
                   version < rules.oldestVersion || version > rules.currentVersion) {
            const std::string shown = rules.unknownVersionNamesPath ? JoinPath(ctx.ProjectPath, relative) : name;
            ctx.WriteLog(ctx.GetText(803) + " '" + shown + "' (" + std::to_string(version) + ") " +
                         ctx.GetText(rules.unknownVersionText));
            passOver("file version " + std::to_string(version) + " is not known", false);
        } else if (auto taken = take(*data, relative); !taken) {
            passOver(taken.error().message, true);
        } else if (*taken == Taken::TableFull) {
            passOver("the table holds only " + std::to_string(KindTableCapacity) + " " + desc.what, true);
        } else {
            if (version != rules.currentVersion) {
                const std::string from = std::to_string(version), to = std::to_string(rules.currentVersion);
                ctx.WriteLog(ctx.GetText(888) + " '" + name + "' (" + from + " -> " + to + ")");
                ctx.Tell("The " + rules.entryNoun + " file " + name + " is in file version " + from +
                         " and is converted to version " + to + " at the next save of the " + desc.what + ".");
            }
            m_carried.insert(name);
        }
        snapshot.Add(name, std::move(data));
    }
    m_loaded = std::move(snapshot);
}

} // namespace vel
