#include "calendar/view_options.h"

#include "calendar/calendar_dates.h"

#include <charconv>

namespace vel {

namespace {

Error Wrong(std::string why)
{
    return MakeError(ErrorCode::InvalidArgument, std::move(why));
}

std::optional<std::int32_t> ParseInt(const std::string& text)
{
    std::int32_t value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || text.empty()) return std::nullopt;
    return value;
}

// YYYY-MM-DD of a real date.
std::optional<std::int64_t> ParseDate(const std::string& text)
{
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    const auto y = ParseInt(text.substr(0, 4));
    const auto m = ParseInt(text.substr(5, 2));
    const auto d = ParseInt(text.substr(8, 2));
    if (!y || !m || !d || *m < 1 || *m > 12 || *d < 1 || *d > DaysInMonth(*y, *m)) return std::nullopt;
    return DayIndexOf(*y, *m, *d);
}

// YYYY-MM-DD=DAYTYPE of --set.
Result<DaySetting> ParseSetting(const std::string& text)
{
    const auto equals = text.find('=');
    if (equals == std::string::npos) return Wrong("--set needs YYYY-MM-DD=DAYTYPE, not '" + text + "'");
    const std::string date = text.substr(0, equals);
    const std::string type = text.substr(equals + 1);
    const auto day = ParseDate(date);
    if (!day) return Wrong("--set needs a date YYYY-MM-DD, not '" + date + "'");
    if (*day < 0 || *day >= CalendarDays)
        return Wrong("--set: " + date + " is outside the calendar (2000-01-01 to 2039-12-31)");
    const auto value = ParseInt(type);
    if (!value || *value < 0 || *value > MaxStoredDayType)
        return Wrong("--set needs a day type 0 to " + std::to_string(MaxStoredDayType) + ", not '" + type + "'");
    return DaySetting{static_cast<std::int32_t>(*day), static_cast<std::int16_t>(*value)};
}

Status AddSetting(CalendarViewOptions& o, const std::string& text)
{
    VEL_TRY_ASSIGN(const DaySetting setting, ParseSetting(text));
    for (const DaySetting& earlier : o.settings) {
        if (earlier.dayIndex == setting.dayIndex)
            return Wrong("--set gives " + text.substr(0, text.find('=')) + " more than once");
    }
    o.settings.push_back(setting);
    return Status::Ok();
}

// An option that takes a value, with that value.
Status TakeValue(CalendarViewOptions& o, const std::string& option, const std::string& v)
{
    if (option == "--set") return AddSetting(o, v);
    if (option == "--calendar") {
        o.calendarFile = v;
    } else if (option == "--profile") {
        o.profileFile = v;
    } else if (option == "--screenshot") {
        o.screenshotFile = v;
    } else if (option == "--year") {
        o.year = ParseInt(v);
        if (!o.year) return Wrong("--year needs a whole number, not '" + v + "'");
    } else if (option == "--month") {
        o.month = ParseInt(v);
        if (!o.month) return Wrong("--month needs a whole number, not '" + v + "'");
    } else {
        const auto day = ParseDate(v);
        if (!day) return Wrong("--today needs a date YYYY-MM-DD, not '" + v + "'");
        o.todayDayIndex = static_cast<std::int32_t>(*day);
    }
    return Status::Ok();
}

// What the options given ask for together.
Status CheckTogether(const CalendarViewOptions& o)
{
    if (o.year.has_value() != o.month.has_value()) return Wrong("--year and --month go together");
    if (o.year && !MonthInCalendar(*o.year, *o.month))
        return Wrong("the calendar holds the months 2000-01 to 2039-12 only");
    if (!o.settings.empty() && !o.save) return Wrong("--set goes with --save");
    if (o.save) {
        if (o.calendarFile.empty()) return Wrong("--save needs --calendar FILE");
        if (!o.profileFile.empty() || o.showTimeAxis || o.year || o.todayDayIndex || !o.screenshotFile.empty())
            return Wrong("--save goes with --calendar and --set only");
    }
    return Status::Ok();
}

} // namespace

bool MonthInCalendar(std::int64_t year, std::int64_t month)
{
    return month >= 1 && month <= 12 && year >= CalendarFirstYear && year <= CalendarLastYear;
}

Result<CalendarViewOptions> ParseCalendarViewOptions(const std::vector<std::string>& args)
{
    CalendarViewOptions o;
    for (std::size_t k = 0; k < args.size(); ++k) {
        const std::string& a = args[k];
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--show-time-axis") {
            o.showTimeAxis = true;
        } else if (a == "--save") {
            o.save = true;
        } else if (a == "--set" || a == "--calendar" || a == "--profile" || a == "--screenshot" || a == "--year" ||
                   a == "--month" || a == "--today") {
            if (k + 1 >= args.size() || args[k + 1].empty()) return Wrong(a + " needs a value");
            VEL_TRY(TakeValue(o, a, args[++k]));
        } else {
            return Wrong("unknown argument '" + a + "'");
        }
    }
    VEL_TRY(CheckTogether(o));
    return o;
}

YearMonth FirstMonthToShow(const CalendarViewOptions& options, std::int64_t todayDayIndex)
{
    if (options.year && options.month) return YearMonth{*options.year, *options.month};
    const CivilDate today = DateOfDayIndex(todayDayIndex);
    if (today.year < CalendarFirstYear) return YearMonth{CalendarFirstYear, 1};
    if (today.year > CalendarLastYear) return YearMonth{CalendarLastYear, 12};
    return YearMonth{static_cast<std::int32_t>(today.year), today.month};
}

std::string CalendarViewUsage()
{
    return "Usage: VelCalendarView [--calendar FILE] [--profile FILE] [--show-time-axis]\n"
           "                       [--year Y --month M] [--today YYYY-MM-DD] [--screenshot OUT.png]\n"
           "       VelCalendarView --calendar FILE [--set YYYY-MM-DD=DAYTYPE]... --save\n"
           "\n"
           "  --calendar FILE     calendar file to show and edit (read when it exists)\n"
           "  --profile FILE      route profile file whose time schedule is drawn\n"
           "  --show-time-axis    draw each day's time periods\n"
           "  --year Y --month M  month to show first (2000-01 to 2039-12)\n"
           "  --today YYYY-MM-DD  today's date instead of the system date\n"
           "  --screenshot OUT    render the calendar surface to a PNG file and exit\n"
           "  --set DATE=DAYTYPE  give a day (2000-01-01 to 2039-12-31) a stored day type:\n"
           "                      0 no entry, 1..7 Monday..Sunday, 8..23 special day 1..16\n"
           "  --save              set the days of --set, save the calendar file (a missing\n"
           "                      file is made) and exit without a window: status 0 saved,\n"
           "                      1 not saved\n";
}

} // namespace vel
