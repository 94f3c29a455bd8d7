#pragma once

// The route profiles of the project: one file per profile,
// Profiles/Profile_NNNN.dat, named by the profile's own ProfileNumber, each
// holding the profile record followed by its weekly time schedule.

#include "schedule/time_schedule.h"
#include "records/project.h"
#include "records/record.h"
#include "records/store_context.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>

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
const KindSpec& ProfileKind();

// What decoding a profile file noticed. `truncated` is set when the file ended
// inside the record or the schedule: the missing values are zero or empty then.
struct ProfileReadNotes {
    bool truncated = false;
    std::string problem; // what was missing or left over, for the log
};
// Decodes a profile file into `profile` and `schedule`. An unknown version is
// a BadFormat error whose message is the version.
Result<ProfileReadNotes> DecodeProfileInto(std::span<const std::uint8_t> data, const std::string& source,
                                           RouteProfile& profile, cTimeSchedule& schedule);

// The same into a new profile and schedule.
struct DecodedProfile {
    RouteProfile profile;
    std::unique_ptr<cTimeSchedule> schedule;
    std::int16_t version = 0;
    bool truncated = false;
    std::string problem;
};
Result<DecodedProfile> DecodeProfileFile(std::span<const std::uint8_t> data, const std::string& source);
Result<ByteBuffer> EncodeProfileFile(const RouteProfile& profile, const cTimeSchedule& schedule,
                                     const std::string& target);

class RouteProfileStore {
public:
    static constexpr std::int16_t Capacity = 300;

    RouteProfileStore();

    // Replaces the table with the profiles on disk, each with its schedule,
    // sorted by name. Files that cannot be used are passed over, logged and
    // listed in the report.
    std::int16_t ReadAllRouteProfiles(const StoreContext& ctx, LoadReport* report = nullptr);

    // Replaces every profile file with the table, each under its own
    // ProfileNumber (drawing a free number where it is 0); then posts "RP:-1".
    // Nothing on disk changes unless every profile could be written.
    SaveReport SaveAllRouteProfiles(const StoreContext& ctx);

    // The table as the files a save writes, each under its entry's number,
    // and checked to read back as the profile it came from. An entry without
    // a usable number (0, negative, or the file of an earlier entry) gets a
    // drawn one that names no file in `existing` and no other entry's file;
    // `numbers` holds every entry's number for TakeNumbers after the save.
    struct EncodedProfiles {
        std::vector<NamedFile> files;
        std::vector<std::int16_t> numbers;
    };
    Result<EncodedProfiles> EncodeAll(const StoreContext& ctx, const std::vector<std::string>& existing);
    // Gives every entry the number its file was saved under.
    void TakeNumbers(const std::vector<std::int16_t>& numbers);

    // The folder as last loaded or saved, to tell changes by other tools.
    KindSnapshot& Loaded() { return m_loaded; }
    // The files of that folder whose content the table holds.
    const std::set<std::string>& Carried() const { return m_carried; }
    // After a save of the whole table: every file on disk holds a profile.
    void SavedAll();

    std::array<std::unique_ptr<RouteProfile>, Capacity> RouteProfiles;
    std::int16_t NumberOfRouteProfiles = 0;
    std::array<std::unique_ptr<cTimeSchedule>, Capacity> RouteProfileSchedules;

    RouteProfile& at(std::size_t slot) { return *RouteProfiles[slot]; }
    const RouteProfile& at(std::size_t slot) const { return *RouteProfiles[slot]; }

    // The program's pseudo-random sequence, uniform in [0, 1). Replaceable
    // by tests.
    std::function<double()> Random;

private:
    void SortRouteProfiles();

    KindSnapshot m_loaded;
    std::set<std::string> m_carried;
};

} // namespace vel
