#include "project/route_profile_store.h"

#include "base/codepage.h"
#include "base/text_conversions.h"

#include <random>
#include <set>

namespace vel {

namespace {

constexpr LayoutEntry RouteProfileEntries[] = {
    {4, ItemKind::Text, 1},      // ProfileNumber, Enabled; Name
    {12, ItemKind::Text, 1},     // opaque; ReceiverList1
    {0, ItemKind::Text, 1},      // ReceiverList2
    {0, ItemKind::TextArray, 6}, // six opaque texts
    {6, ItemKind::None, 0},      // opaque
    {0, ItemKind::Text, 1},      // opaque text
    {4, ItemKind::Text, 1},      // opaque; opaque text
    {0, ItemKind::Text, 1},      // opaque text
    {130, ItemKind::None, 0},    // opaque
};

constexpr const char* Prefix = "Profile_";
constexpr int LowestNumber = 1;
constexpr int HighestDrawnNumber = 9991;

std::string Shown(const AnsiText& name)
{
    return "'" + Cp1252ToUtf8(name) + "'";
}

} // namespace

RecordLayout RouteProfileLayout()
{
    return RouteProfileEntries;
}

const KindDescription& ProfileKind()
{
    // A file is its version word, one record and a schedule; a larger one is
    // no profile. The bound leaves room above the largest legal file.
    static const KindDescription desc{"Profiles", Prefix,
                                      2 + MaxRecordBytes(RouteProfileLayout()) + ScheduleFixedBytes +
                                          4 * MaxPeriodsPerDayType * 23 + 64 * 1024,
                                      "RP:-1", "route profiles"};
    return desc;
}

RouteProfile::RouteProfile() : Record(RouteProfileLayout()) {}

Result<DecodedProfile> DecodeProfileFile(std::span<const std::uint8_t> data, const std::string& source)
{
    ByteReader in(data, source);
    VEL_TRY_ASSIGN(const auto version, in.ReadI16());
    if (version != 4) return MakeError(ErrorCode::BadFormat, std::to_string(version));
    DecodedProfile out;
    out.schedule = std::make_unique<cTimeSchedule>();
    VEL_TRY(ReadRecord(in, out.profile));
    VEL_TRY(out.schedule->ReadFromDisk(in));
    if (!in.atEnd())
        return in.ErrorHere(ErrorCode::BadFormat, std::to_string(in.remaining()) + " bytes follow the schedule");
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

const KindRules& RouteProfileFiles::Rules()
{
    static const KindRules rules{ProfileKind(), "route profile", 4, 4, 805, true};
    return rules;
}

Result<RouteProfileEntry> RouteProfileFiles::Decode(std::span<const std::uint8_t> file, const std::string& source)
{
    VEL_TRY_ASSIGN(auto decoded, DecodeProfileFile(file, source));
    return RouteProfileEntry{std::move(decoded.profile), std::move(decoded.schedule)};
}

Result<ByteBuffer> RouteProfileFiles::Encode(const RouteProfileEntry& entry, const RouteProfile& record,
                                             const std::string& target)
{
    return EncodeProfileFile(record, *entry.schedule, target);
}

RouteProfileStore::RouteProfileStore()
{
    // Not seeded: the same sequence on every run.
    Random = [engine = std::mt19937_64()]() mutable { return std::generate_canonical<double, 53>(engine); };
}

std::int16_t RouteProfileStore::ReadAllRouteProfiles(const StoreContext& ctx, LoadReport* report)
{
    Load(ctx, report);
    return NumberOfRouteProfiles();
}

SaveReport RouteProfileStore::SaveAllRouteProfiles(const StoreContext& ctx)
{
    return SaveAll(ctx);
}

namespace {

// A profile's file name in upper case: names are matched without regard to
// case, and numbers above 9999 name the file of their last four digits.
std::string FileKey(std::int16_t number)
{
    return UpperCaseAnsi(NumberedFileName(Prefix, number));
}

// A number for a profile without a usable one, as the suite draws it:
// r x 9990 + 1, rounded, for random r in [0, 1), until it names no file in
// `taken`; after many tries the lowest free number. 0 when none is free.
std::int16_t DrawFreeNumber(const std::function<double()>& random, const std::set<std::string>& taken)
{
    for (int tries = 0; tries < 100000; ++tries) {
        const auto candidate = static_cast<std::int16_t>(RoundHalfEven(random() * 9990.0 + 1.0));
        if (taken.count(FileKey(candidate)) == 0) return candidate;
    }
    for (int c = LowestNumber; c <= HighestDrawnNumber; ++c)
        if (taken.count(FileKey(static_cast<std::int16_t>(c))) == 0) return static_cast<std::int16_t>(c);
    return 0;
}

// Tells the log and the operator that a profile whose number was taken by an
// earlier profile (duplicate) or was invalid is saved under `fresh`.
void TellNewNumber(const StoreContext& ctx, const AnsiText& name, std::int16_t number, std::int16_t fresh,
                   bool duplicate)
{
    const std::string saved = "; it is saved under the new number " + std::to_string(fresh);
    if (duplicate)
        ctx.WriteLog("Route profile " + Shown(name) + " has the number " + std::to_string(number) +
                     " of an earlier profile" + saved);
    else
        ctx.WriteLog("Route profile " + Shown(name) + " has the invalid number " + std::to_string(number) + saved);
    ctx.Tell("The route profile " + Shown(name) +
             (duplicate ? " has the same number as an earlier profile (" : " has an invalid number (") +
             std::to_string(number) + "), so it is saved under the new number " + std::to_string(fresh) + ".");
}

} // namespace

Result<std::vector<std::int16_t>> RouteProfileStore::FileNumbers(const StoreContext& ctx,
                                                                 const std::vector<std::string>& existing)
{
    std::set<std::string> taken;
    for (const std::string& f : existing) taken.insert(UpperCaseAnsi(f));
    for (const RouteProfileEntry& e : Entries())
        if (e.record.ProfileNumber() > 0) taken.insert(FileKey(e.record.ProfileNumber()));

    std::vector<std::int16_t> numbers;
    numbers.reserve(size());
    std::set<std::string> used;
    for (const RouteProfileEntry& e : Entries()) {
        std::int16_t number = e.record.ProfileNumber();
        const bool duplicate = number > 0 && used.count(FileKey(number)) != 0;
        if (number <= 0 || duplicate) {
            const std::int16_t fresh = DrawFreeNumber(Random, taken);
            if (fresh == 0)
                return MakeError(ErrorCode::Io,
                                 "no free profile number is left for route profile " + Shown(e.record.Name()));
            if (duplicate || number < 0) TellNewNumber(ctx, e.record.Name(), number, fresh, duplicate);
            number = fresh;
            taken.insert(FileKey(number));
        }
        used.insert(FileKey(number));
        numbers.push_back(number);
    }
    return numbers;
}

} // namespace vel
