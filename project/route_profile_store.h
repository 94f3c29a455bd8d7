#pragma once

// The route profiles of the project: one file per profile,
// Profiles/Profile_NNNN.dat, named by the profile's own ProfileNumber, each
// holding the profile record followed by its weekly time schedule.

#include "project/kind_store.h"
#include "records/project.h"
#include "records/record.h"
#include "schedule/time_schedule.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace vel {

class RouteProfile : public Record {
public:
    RouteProfile();

    std::int16_t ProfileNumber() const { return PlainI16(0, 0); }
    void SetProfileNumber(std::int16_t v) { SetPlainI16(0, 0, v); }
    std::int16_t Enabled() const { return PlainI16(0, 2); }
    void SetEnabled(std::int16_t v) { SetPlainI16(0, 2, v); }
    AnsiText& Name() { return Text(0); }
    const AnsiText& Name() const { return Text(0); }
    // Receiver names, each followed by one NUL character.
    AnsiText& ReceiverList1() { return Text(1); }
    const AnsiText& ReceiverList1() const { return Text(1); }
    AnsiText& ReceiverList2() { return Text(2); }
    const AnsiText& ReceiverList2() const { return Text(2); }
};

RecordLayout RouteProfileLayout();

// The route profile files: Profiles/Profile_NNNN.dat, reloaded with "RP:-1".
const KindDescription& ProfileKind();

// Decodes a whole profile file: its record and its schedule. An unknown
// version is a BadFormat error whose message is the version; a file that
// ends inside the record or the schedule, or holds bytes after them, is an
// error naming the file and byte offset.
struct DecodedProfile {
    RouteProfile profile;
    std::unique_ptr<cTimeSchedule> schedule;
};
Result<DecodedProfile> DecodeProfileFile(std::span<const std::uint8_t> data, const std::string& source);
Result<ByteBuffer> EncodeProfileFile(const RouteProfile& profile, const cTimeSchedule& schedule,
                                     const std::string& target);

// A route profile of the table with its weekly time schedule.
struct RouteProfileEntry {
    RouteProfile record;
    std::unique_ptr<cTimeSchedule> schedule = std::make_unique<cTimeSchedule>();
};

// The route profiles as a kind of record file (see KindStore): a profile's
// file is named by its own ProfileNumber, which a save writes into the record.
struct RouteProfileFiles {
    using Record = RouteProfile;
    using Entry = RouteProfileEntry;
    static constexpr bool SortedAtSave = false;
    static const KindRules& Rules();
    static Result<Entry> Decode(std::span<const std::uint8_t> file, const std::string& source);
    static void Loaded(Entry& /*entry*/) {}
    static Result<ByteBuffer> Encode(const Entry& entry, const RouteProfile& record, const std::string& target);
    static void TakeNumber(RouteProfile& record, std::int16_t number) { record.SetProfileNumber(number); }
};

class RouteProfileStore final : public KindStore<RouteProfileFiles> {
public:
    RouteProfileStore();

    // Replaces the table with the profiles on disk, each with its schedule,
    // sorted by name. Files that cannot be used are passed over, logged and
    // listed in the report.
    std::int16_t ReadAllRouteProfiles(const StoreContext& ctx, LoadReport* report = nullptr);

    // Replaces every profile file with the table, each under its own
    // ProfileNumber (drawing a free number where it has none usable); then
    // posts "RP:-1". Nothing on disk changes unless every profile could be
    // written.
    SaveReport SaveAllRouteProfiles(const StoreContext& ctx);

    std::int16_t NumberOfRouteProfiles() const { return static_cast<std::int16_t>(size()); }
    // The schedule of entry i.
    cTimeSchedule& Schedule(std::size_t i) { return *Entries()[i].schedule; }
    const cTimeSchedule& Schedule(std::size_t i) const { return *Entries()[i].schedule; }

    // The program's pseudo-random sequence, uniform in [0, 1). Replaceable
    // by tests.
    std::function<double()> Random;

protected:
    // Each entry's own ProfileNumber, unless it has none (0), one that cannot
    // name a file that loads again (negative), or the file of an earlier
    // entry; then a drawn number that names no file in `existing` and no
    // other entry's file.
    Result<std::vector<std::int16_t>> FileNumbers(const StoreContext& ctx,
                                                  const std::vector<std::string>& existing) override;
};

} // namespace vel
