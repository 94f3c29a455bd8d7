#include "project/route_profile_store.h"

#include "base/codepage.h"
#include "base/text_conversions.h"

#include <algorithm>
#include <numeric>
#include <optional>
#include <random>
#include <set>

namespace vel {

namespace {

constexpr LayoutEntry RouteProfileEntries[] = {
    {4, ItemKind::Text, 1},       // ProfileNumber, Enabled; Name
    {12, ItemKind::Text, 1},      // opaque; ReceiverList1
    {0, ItemKind::Text, 1},       // ReceiverList2
    {0, ItemKind::TextArray, 6},  // six opaque texts
    {6, ItemKind::None, 0},       // opaque
    {0, ItemKind::Text, 1},       // opaque text
    {4, ItemKind::Text, 1},       // opaque; opaque text
    {0, ItemKind::Text, 1},       // opaque text
    {130, ItemKind::None, 0},     // opaque
};

constexpr const char* Prefix = "Profile_";
constexpr const char* Kind = "Profiles";
constexpr int LowestNumber = 1;
constexpr int HighestDrawnNumber = 9991;

std::string Shown(const AnsiText& name) { return "'" + Cp1252ToUtf8(name) + "'"; }

} // namespace

RecordLayout RouteProfileLayout() { return RouteProfileEntries; }

const KindSpec& ProfileKind()
{
    // A file is its version word, one record and a schedule; a larger one is
    // no profile. The bound leaves room above the largest legal file.
    static const KindSpec spec{Kind, Prefix,
                               2 + MaxRecordBytes(RouteProfileLayout()) + ScheduleFixedBytes +
                                   4 * MaxPeriodsPerDayType * 23 + 64 * 1024,
                               "RP:-1", "route profiles"};
    return spec;
}

RouteProfile::RouteProfile() : Record(RouteProfileLayout()) {}

Result<ProfileReadNotes> DecodeProfileInto(std::span<const std::uint8_t> data, const std::string& source,
                                           RouteProfile& profile, cTimeSchedule& schedule)
{
    ByteReader in(data, source);
    auto version = in.ReadI16();
    if (!version) return version.error();
    if (*version != 4) return MakeError(ErrorCode::BadFormat, std::to_string(*version));

    ProfileReadNotes notes;
    Status record = ReadRecord(in, profile);
    if (!record) {
        // The schedule lies behind a record that could not be read whole: it
        // is missing too, and reads as zeros.
        notes.truncated = true;
        notes.problem = record.error().message;
        ByteReader nothing(std::span<const std::uint8_t>{}, source);
        (void)schedule.ReadFromDisk(nothing);
        return notes;
    }
    Status read = schedule.ReadFromDisk(in);
    if (!read) {
        notes.truncated = true;
        notes.problem = read.error().message;
    } else if (!in.atEnd()) {
        notes.problem = in.ErrorHere(ErrorCode::BadFormat, std::to_string(in.remaining()) +
                                                               " bytes follow the schedule and are not carried over")
                            .message;
    }
    return notes;
}

Result<DecodedProfile> DecodeProfileFile(std::span<const std::uint8_t> data, const std::string& source)
{
    DecodedProfile out;
    out.schedule = std::make_unique<cTimeSchedule>();
    auto notes = DecodeProfileInto(data, source, out.profile, *out.schedule);
    if (!notes) return notes.error();
    out.version = 4;
    out.truncated = notes->truncated;
    out.problem = std::move(notes->problem);
    return out;
}

Result<ByteBuffer> EncodeProfileFile(const RouteProfile& profile, const cTimeSchedule& schedule,
                                     const std::string& target)
{
    ByteWriter out(target);
    out.WriteI16(4);
    VEL_TRY(WriteRecord(out, profile));
    VEL_TRY(schedule.SaveToDisk(out));
    return out.take();
}

RouteProfileStore::RouteProfileStore()
{
    for (auto& slot : RouteProfiles) slot = std::make_unique<RouteProfile>();
    // Not seeded: the same sequence on every run.
    Random = [engine = std::mt19937_64()]() mutable { return std::generate_canonical<double, 53>(engine); };
}

void RouteProfileStore::SortRouteProfiles()
{
    const auto n = static_cast<std::size_t>(NumberOfRouteProfiles);
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return CompareUpper(RouteProfiles[a]->Name(), RouteProfiles[b]->Name()) < 0;
    });
    std::vector<std::unique_ptr<RouteProfile>> profiles(n);
    std::vector<std::unique_ptr<cTimeSchedule>> schedules(n);
    for (std::size_t i = 0; i < n; ++i) {
        profiles[i] = std::move(RouteProfiles[order[i]]);
        schedules[i] = std::move(RouteProfileSchedules[order[i]]);
    }
    for (std::size_t i = 0; i < n; ++i) {
        RouteProfiles[i] = std::move(profiles[i]);
        RouteProfileSchedules[i] = std::move(schedules[i]);
    }
}

namespace {

// Decodes one profile file into `profile` and `schedule`; false when it is not
// a loadable profile, and the report says why.
bool LoadProfileFile(const StoreContext& ctx, const KindFile& file, const std::string& path,
                     const Result<ByteBuffer>& data, LoadReport& report, RouteProfile& profile,
                     cTimeSchedule& schedule)
{
    auto versionLine = [&](std::int16_t version) {
        ctx.WriteLog(ctx.GetText(803) + " '" + path + "' (" + std::to_string(version) + ") " + ctx.GetText(805));
    };

    if (!data) {
        versionLine(0);
        report.passedOver.push_back({file.name, data.error().message});
        return false;
    }
    if (data->size() < 2) {
        report.passedOver.push_back({file.name, "shorter than 2 bytes"});
        return false;
    }
    auto notes = DecodeProfileInto(*data, path, profile, schedule);
    if (!notes) {
        const auto version = static_cast<std::int16_t>((*data)[0] | ((*data)[1] << 8));
        versionLine(version);
        report.passedOver.push_back({file.name, "file version " + std::to_string(version) + " is not known"});
        return false;
    }
    if (!notes->problem.empty()) {
        ctx.WriteLog("Profile file '" + path + "': " + notes->problem +
                     (notes->truncated ? "; the missing values read as zero or empty" : ""));
        ctx.Tell("The route profile file " + file.name + " is damaged (" + notes->problem + ")" +
                 (notes->truncated ? "; what is missing is read as zero or empty, and the next save of the profiles "
                                     "writes it so."
                                   : "; the next save of the profiles leaves the extra bytes out."));
    }
    return true;
}

} // namespace

std::int16_t RouteProfileStore::ReadAllRouteProfiles(const StoreContext& ctx, LoadReport* report)
{
    BusyPointer busy(ctx);
    LoadReport local;
    LoadReport& rep = report != nullptr ? *report : local;
    for (auto& schedule : RouteProfileSchedules) schedule.reset();
    NumberOfRouteProfiles = 0;
    m_loaded = KindSnapshot{};
    m_carried.clear();

    auto content = ReadKindFolder(*ctx.fs, ctx.ProjectPath, ProfileKind());
    if (!content) {
        rep.passedOver.push_back({ctx.ProjectPath + Kind, content.error().message});
        ctx.WriteLog("Profiles not loaded: " + content.error().message);
        return 0;
    }
    if (!content->refused.empty()) {
        rep.passedOver.push_back({ctx.ProjectPath + Kind, content->refused});
        ctx.WriteLog("Profiles not loaded: " + content->refused);
    }
    KindSnapshot snapshot;
    snapshot.taken = true;
    // Files are decoded straight into the next free slot; one beyond the
    // table's end goes to a spare, only to tell whether it would load.
    std::unique_ptr<RouteProfile> spareProfile;
    std::unique_ptr<cTimeSchedule> spareSchedule;
    for (KindFolderContent::File& entry : content->files) {
        const KindFile& f = entry.file;
        const std::string path = ctx.ProjectPath + content->folderName + "/" + f.name;
        Result<ByteBuffer>& data = entry.content;
        if (!FileNumber(f.numberPart)) {
            rep.passedOver.push_back({f.name, "the characters after \"Profile_\" are not a number"});
        } else if (NumberOfRouteProfiles >= Capacity) {
            if (!spareProfile) {
                spareProfile = std::make_unique<RouteProfile>();
                spareSchedule = std::make_unique<cTimeSchedule>();
            }
            // Quietly: only a loadable file is worth a line here.
            StoreContext quiet = ctx;
            quiet.log = {};
            quiet.notice = {};
            quiet.busy = {};
            if (LoadProfileFile(quiet, f, path, data, rep, *spareProfile, *spareSchedule)) {
                rep.passedOver.push_back({f.name, "the table holds only 300 route profiles"});
                ctx.WriteLog("Profile file '" + path + "' passed over: the table holds only 300 route profiles");
            }
        } else {
            const auto slot = static_cast<std::size_t>(NumberOfRouteProfiles);
            auto schedule = std::make_unique<cTimeSchedule>();
            if (LoadProfileFile(ctx, f, path, data, rep, *RouteProfiles[slot], *schedule)) {
                RouteProfileSchedules[slot] = std::move(schedule);
                ++NumberOfRouteProfiles;
                m_carried.insert(f.name);
            }
        }
        snapshot.Add(f.name, std::move(data));
    }
    SortRouteProfiles();
    m_loaded = std::move(snapshot);
    return NumberOfRouteProfiles;
}

Result<RouteProfileStore::EncodedProfiles> RouteProfileStore::EncodeAll(const StoreContext& ctx,
                                                                       const std::vector<std::string>& existing)
{
    // The file number of every entry: its own ProfileNumber, unless that is
    // unset (0), cannot name a file that loads again (negative), or names the
    // same file as an earlier entry; then a fresh one, free among the files on
    // disk and the numbers of the whole table.
    const auto n = static_cast<std::size_t>(NumberOfRouteProfiles);
    std::set<std::string> taken;
    for (const std::string& f : existing) taken.insert(UpperCaseAnsi(f));
    for (std::size_t i = 0; i < n; ++i)
        if (at(i).ProfileNumber() > 0) taken.insert(UpperCaseAnsi(NumberedFileName(Prefix, at(i).ProfileNumber())));

    EncodedProfiles out;
    out.numbers.resize(n);
    std::set<std::string> used;
    for (std::size_t i = 0; i < n; ++i) {
        std::int16_t number = at(i).ProfileNumber();
        const bool duplicate = number > 0 && used.count(UpperCaseAnsi(NumberedFileName(Prefix, number))) != 0;
        if (number <= 0 || duplicate) {
            std::int16_t fresh = 0;
            for (int tries = 0; tries < 100000 && fresh == 0; ++tries) {
                const auto candidate = static_cast<std::int16_t>(RoundHalfEven(Random() * 9990.0 + 1.0));
                if (taken.count(UpperCaseAnsi(NumberedFileName(Prefix, candidate))) == 0) fresh = candidate;
            }
            for (int c = LowestNumber; c <= HighestDrawnNumber && fresh == 0; ++c)
                if (taken.count(UpperCaseAnsi(NumberedFileName(Prefix, c))) == 0) fresh = static_cast<std::int16_t>(c);
            if (fresh == 0)
                return MakeError(ErrorCode::Io, "no free profile number is left for route profile " + Shown(at(i).Name()));
            if (duplicate)
                ctx.WriteLog("Route profile " + Shown(at(i).Name()) + " has the number " + std::to_string(number) +
                             " of an earlier profile; it is saved under the new number " + std::to_string(fresh));
            else if (number < 0)
                ctx.WriteLog("Route profile " + Shown(at(i).Name()) + " has the invalid number " +
                             std::to_string(number) + "; it is saved under the new number " + std::to_string(fresh));
            if (duplicate || number < 0)
                ctx.Tell("The route profile " + Shown(at(i).Name()) +
                         (duplicate ? " has the same number as an earlier profile (" : " has an invalid number (") +
                         std::to_string(number) + "), so it is saved under the new number " + std::to_string(fresh) +
                         ".");
            number = fresh;
            taken.insert(UpperCaseAnsi(NumberedFileName(Prefix, number)));
        }
        used.insert(UpperCaseAnsi(NumberedFileName(Prefix, number)));
        out.numbers[i] = number;
    }

    out.files.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::string name = NumberedFileName(Prefix, out.numbers[i]);
        const std::string who = "route profile " + Shown(at(i).Name()) + " (" + name + ")";
        if (!RouteProfileSchedules[i]) RouteProfileSchedules[i] = std::make_unique<cTimeSchedule>();
        RouteProfile profile = at(i);
        profile.SetProfileNumber(out.numbers[i]);
        auto bytes = EncodeProfileFile(profile, *RouteProfileSchedules[i], name);
        if (!bytes) return MakeError(bytes.error().code, who + ": " + bytes.error().message);
        // Read back what will be written: it must decode to the same profile.
        auto check = DecodeProfileFile(*bytes, name);
        if (!check || check->truncated || !check->problem.empty() || !(check->profile == profile))
            return MakeError(ErrorCode::BadFormat, who + ": the encoded profile does not read back unchanged");
        out.files.emplace_back(name, std::move(*bytes));
    }
    return out;
}

void RouteProfileStore::SavedAll()
{
    m_carried.clear();
    for (const auto& stamp : m_loaded.files) m_carried.insert(stamp.name);
}

void RouteProfileStore::TakeNumbers(const std::vector<std::int16_t>& numbers)
{
    for (std::size_t i = 0; i < numbers.size() && i < static_cast<std::size_t>(NumberOfRouteProfiles); ++i)
        at(i).SetProfileNumber(numbers[i]);
}

SaveReport RouteProfileStore::SaveAllRouteProfiles(const StoreContext& ctx)
{
    std::vector<std::int16_t> numbers;
    return RunSave(
        ctx, {{ProfileKind(), &m_loaded, &m_carried}},
        [&](SaveTransaction& transaction) -> Result<std::vector<std::vector<NamedFile>>> {
            // The numbers are drawn among the files on disk now, under the lock.
            auto encoded = EncodeAll(ctx, transaction.ExistingNames(0));
            if (!encoded) return encoded.error();
            numbers = std::move(encoded->numbers);
            return Sets(std::move(encoded->files));
        },
        [&] {
            TakeNumbers(numbers);
            SavedAll();
        });
}

} // namespace vel
