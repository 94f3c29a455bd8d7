#include "examples/sample_generator/sample_project.h"

#include "schedule/time_schedule.h"
#include "project/route_profile_store.h"
#include "records/project.h"
#include "project/receiver_store.h"
#include "records/record.h"

#include <array>
#include <initializer_list>

namespace vel {

namespace {

// Windows-1252: 0xE8 is e with grave, 0xE9 e with acute.
const AnsiText SireneHall = "Sir\xE8ne Hall";
const AnsiText CafeHours = "Caf\xE9 Hours";

struct Period {
    std::int16_t dayType;
    std::int16_t start;
    std::int16_t stop;
};

constexpr std::int16_t H(int hour, int minute = 0)
{
    return static_cast<std::int16_t>(hour * 60 + minute);
}

// Receiver names each followed by one NUL, as profiles keep them.
AnsiText List(std::initializer_list<AnsiText> names)
{
    AnsiText out;
    for (const AnsiText& n : names) out += n + '\0';
    return out;
}

struct SampleProfile {
    std::int16_t number;
    std::int16_t enabled;
    AnsiText name;
    AnsiText list1;
    AnsiText list2;
    bool defaultPeriod; // Monday to Friday 07:00-16:00, grouped
    bool useCalendar;
    std::vector<std::int16_t> activeDays; // besides those of the default period
    std::vector<Period> periods;
};

Status BuildSchedule(const SampleProfile& sample, cTimeSchedule& s)
{
    if (sample.defaultPeriod) s.SetDefaultPeriod();
    s.m_UseCalendar = sample.useCalendar ? -1 : 0;
    for (std::int16_t d : sample.activeDays) s.m_DayTypeActive[static_cast<std::size_t>(d)] = -1;
    for (const Period& p : sample.periods) {
        s.m_DayTypeActive[static_cast<std::size_t>(p.dayType)] = -1;
        auto added = s.AppendPeriod(p.dayType, p.start, p.stop);
        if (!added) return added.error();
    }
    // Axis numbers as the editor view numbers them: active day types counted
    // from the top.
    std::int16_t axis = 0;
    for (std::size_t d = 0; d < DayTypeCount; ++d) {
        s.m_DayTypeAxis[d] = axis;
        if (s.m_DayTypeActive[d] != 0) ++axis;
    }
    return Status::Ok();
}

std::vector<SampleProfile> Profiles()
{
    std::vector<SampleProfile> out;
    out.push_back({1, -1, "Day Shift", List({"Siren", "Pager"}), List({"Control Room"}), true, false, {}, {}});
    {
        SampleProfile p{2,  -1, "Night Shift", List({"Pager", "SMS Gateway"}), List({"Control Room"}), false, false,
                        {}, {}};
        for (std::int16_t d = 0; d <= 6; ++d) {
            p.periods.push_back({d, H(0), H(7)});
            p.periods.push_back({d, H(16), H(24)});
        }
        out.push_back(std::move(p));
    }
    out.push_back({5,
                   -1,
                   "Weekend",
                   List({"SMS Gateway"}),
                   List({"Email Relay", "Pager"}),
                   false,
                   false,
                   {0, 1, 2, 3, 4},
                   {{5, H(0), H(24)}, {6, H(0), H(24)}}});
    out.push_back({12,
                   -1,
                   "Holidays",
                   List({"Siren", SireneHall}),
                   List({}),
                   false,
                   true,
                   {0, 1, 2, 3, 4, 5, 6},
                   {{7, H(0), H(24)}, {8, H(0), H(24)}, {9, H(6), H(22)}}});
    out.push_back({17,
                   0,
                   "Maintenance",
                   List({"Email Relay"}),
                   List({}),
                   false,
                   false,
                   {},
                   {{1, H(22), H(23, 30)}, {3, H(6), H(6, 45)}}});
    {
        SampleProfile p{23,
                        -1,
                        "Fire Alarm",
                        List({"Siren", SireneHall, "Pager"}),
                        List({"Control Room", "SMS Gateway"}),
                        false,
                        true,
                        {},
                        {}};
        for (std::int16_t d = 0; d < 23; ++d) p.periods.push_back({d, H(0), H(24)});
        out.push_back(std::move(p));
    }
    out.push_back({40,
                   0,
                   "Lunch Break",
                   List({"Pager"}),
                   List({}),
                   false,
                   false,
                   {},
                   {{0, H(12), H(12, 30)},
                    {1, H(12), H(12, 30)},
                    {2, H(12), H(12, 30)},
                    {3, H(12), H(12, 30)},
                    {4, H(12), H(12, 30)}}});
    out.push_back({101,
                   -1,
                   CafeHours,
                   List({SireneHall}),
                   List({"Email Relay"}),
                   false,
                   false,
                   {},
                   {{0, H(8, 30), H(12)},
                    {0, H(13), H(18)},
                    {1, H(8, 30), H(12)},
                    {1, H(13), H(18)},
                    {2, H(8, 30), H(12)},
                    {2, H(13), H(18)},
                    {3, H(8, 30), H(12)},
                    {3, H(13), H(18)},
                    {4, H(8, 30), H(12)},
                    {4, H(13), H(18)},
                    {5, H(9), H(14)}}});
    return out;
}

TaggedValue Integer(std::int16_t v)
{
    return {TaggedValue::Integer, {static_cast<std::uint8_t>(v & 0xFF), static_cast<std::uint8_t>((v >> 8) & 0xFF)}};
}

TaggedValue String(const AnsiText& text)
{
    return {TaggedValue::String, ByteBuffer(text.begin(), text.end())};
}

TaggedValue Boolean(bool v)
{
    return {TaggedValue::Boolean, Integer(v ? -1 : 0).value};
}

struct SampleReceiver {
    std::int16_t file;
    std::int16_t id;
    std::int16_t enabled;
    std::int16_t type;
    AnsiText name;
    std::array<TaggedValue, 4> settings;
    AnsiText text1;
};

std::vector<SampleReceiver> Receivers()
{
    return {
        {0, 1, -1, 1, "Siren", {Integer(1), String("Output 1"), Boolean(true), TaggedValue{}}, "Hall A"},
        {1, 2, -1, 2, "Pager", {String("COM1"), Integer(9600), Boolean(false), TaggedValue{}}, "On-call team"},
        {2, 3, -1, 3, "Control Room", {String("10.0.0.20"), Integer(5020), TaggedValue{}, TaggedValue{}}, ""},
        {3, 4, 0, 4, "SMS Gateway", {String("+4930123456"), Integer(3), Boolean(true), TaggedValue{}}, "Spare modem"},
        {4, 5, -1, 1, SireneHall, {Integer(2), String("Output 2"), Boolean(true), TaggedValue{}}, "Hall B"},
    };
}

} // namespace

Result<std::vector<std::pair<std::string, ByteBuffer>>> SampleProjectFiles()
{
    std::vector<std::pair<std::string, ByteBuffer>> files;

    for (const SampleProfile& sample : Profiles()) {
        RouteProfile p;
        p.SetProfileNumber(sample.number);
        p.SetEnabled(sample.enabled);
        p.Name() = sample.name;
        p.ReceiverList1() = sample.list1;
        p.ReceiverList2() = sample.list2;
        cTimeSchedule schedule;
        VEL_TRY(BuildSchedule(sample, schedule));
        const std::string name = NumberedFileName("Profile_", sample.number);
        auto bytes = EncodeProfileFile(p, schedule, name);
        if (!bytes) return bytes.error();
        files.emplace_back("Profiles/" + name, std::move(*bytes));
    }

    for (const SampleReceiver& sample : Receivers()) {
        Receiver r;
        r.SetId(sample.id);
        r.SetEnabled(sample.enabled);
        r.SetReceiverType(sample.type);
        r.Name() = sample.name;
        for (std::size_t i = 0; i < 4; ++i) r.Settings(i) = sample.settings[i];
        r.Text1() = sample.text1;
        const std::string name = NumberedFileName("Receiver_", sample.file);
        auto bytes = EncodeReceiverFile(r, name);
        if (!bytes) return bytes.error();
        files.emplace_back("Receivers/" + name, std::move(*bytes));
    }

    // One receiver in the older version 3: version word, then Id,
    // ReceiverType, Name and the four settings.
    {
        ReceiverV3 old;
        old.SetPlainI16(0, 0, 6); // Id
        old.SetPlainI16(0, 2, 5); // ReceiverType
        old.Text(0) = "Email Relay";
        old.Tagged(1, 0) = String("smtp.example.net");
        old.Tagged(1, 1) = Integer(25);
        old.Tagged(1, 2) = String("alarms@example.net");
        old.Tagged(1, 3) = TaggedValue{};
        const std::string name = NumberedFileName("Receiver_", 5);
        ByteWriter out(name);
        out.WriteI16(3);
        VEL_TRY(WriteRecord(out, old));
        files.emplace_back("Receivers/" + name, out.take());
    }
    return files;
}

Status WriteSampleProject(FileSystem& fs, const std::string& projectDir)
{
    auto files = SampleProjectFiles();
    if (!files) return files.error();

    FileAttributes folderAttributes = DefaultAttributes();
    folderAttributes.mode |= (folderAttributes.mode >> 2) & 0111; // searchable where readable
    auto parent = OpenFolder(fs, SplitPath(projectDir).first);
    if (!parent) return parent.error();
    auto project = OpenFolderAt(fs, *parent, SplitPath(projectDir).second, true, folderAttributes);
    if (!project) return project.error();
    for (const char* kind : {"Profiles", "Receivers"}) {
        auto folder = OpenFolderAt(fs, *project, kind, true, folderAttributes);
        if (!folder) return folder.error();
        auto old = ListKindFiles(fs, *folder, std::string(kind) == "Profiles" ? "Profile_" : "Receiver_");
        if (!old) return old.error();
        for (const KindFile& f : *old) VEL_TRY(fs.RemoveAt(folder->handle(), f.name));
        const std::string within = std::string(kind) + "/";
        for (const auto& [relative, bytes] : *files) {
            if (relative.rfind(within, 0) != 0) continue;
            VEL_TRY(fs.CreateAt(folder->handle(), relative.substr(within.size()), bytes, DefaultAttributes()));
        }
    }
    return Status::Ok();
}

} // namespace vel
