#include "schedule/period_array.h"

#include "schedule/time_schedule.h"

#include <string>

namespace vel {

AnsiText IntegerToChars(std::int16_t value)
{
    const auto u = static_cast<std::uint16_t>(value);
    AnsiText chars(2, '\0');
    chars[0] = static_cast<char>(static_cast<unsigned char>(u >> 8));
    chars[1] = static_cast<char>(static_cast<unsigned char>(u & 0xFF));
    return chars;
}

Result<std::int16_t> CharsToInteger(std::string_view chars)
{
    if (chars.size() < 2)
        return MakeError(ErrorCode::InvalidArgument,
                         "two characters are needed for a 16-bit value, " + std::to_string(chars.size()) + " given");
    const unsigned a = static_cast<unsigned char>(chars[0]);
    const unsigned b = static_cast<unsigned char>(chars[1]);
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(a * 256 + b));
}

AnsiText cTimeSchedule::ComposePeriodArray() const
{
    AnsiText text;
    text.reserve(ScheduleFixedBytes + 4 * TotalPeriods());
    auto put = [&text](std::int16_t v) { text += IntegerToChars(v); };
    for (std::size_t d = 0; d < DayTypeCount; ++d) {
        put(m_DayTypeActive[d]);
        put(m_DayTypeGrouped[d]);
        // A count that does not fit its field is written as it wraps, exactly
        // as the text form always has; SaveToDisk refuses such a schedule.
        put(static_cast<std::int16_t>(m_Periods[d].size()));
        for (const auto& p : m_Periods[d]) {
            put(p->m_StartMinute);
            put(p->m_StopMinute);
        }
        put(m_DayTypeAxis[d]);
    }
    put(m_UseCalendar);
    return text;
}

Status cTimeSchedule::ExtractPeriodArray(std::string_view PeriodArray)
{
    ListsChanged();
    // p is the 0-based position of the next value.
    std::size_t p = 0;
    auto at = [&PeriodArray](std::size_t pos) -> Result<std::int16_t> {
        if (pos >= PeriodArray.size())
            return MakeError(ErrorCode::InvalidArgument, "period array of " + std::to_string(PeriodArray.size()) +
                                                             " characters ends before character " +
                                                             std::to_string(pos + 1));
        auto v = CharsToInteger(PeriodArray.substr(pos));
        if (!v)
            return MakeError(ErrorCode::InvalidArgument, "period array of " + std::to_string(PeriodArray.size()) +
                                                             " characters ends inside the value at character " +
                                                             std::to_string(pos + 1));
        return v;
    };
    for (std::size_t d = 0; d < DayTypeCount; ++d) {
        RemoveAllPeriods(d);
        auto active = at(p);
        VEL_TRY(active);
        m_DayTypeActive[d] = *active;
        auto grouped = at(p + 2);
        VEL_TRY(grouped);
        m_DayTypeGrouped[d] = *grouped;
        auto n = at(p + 4);
        VEL_TRY(n);
        std::size_t q = p + 6;
        for (std::int16_t i = 0; i < *n; ++i) {
            auto start = at(q);
            VEL_TRY(start);
            auto stop = at(q + 2);
            VEL_TRY(stop);
            auto period = std::make_unique<cTimeSchedulePeriod>();
            period->m_StartMinute = *start;
            period->m_StopMinute = *stop;
            m_Periods[d].push_back(std::move(period));
            q += 4;
        }
        auto axis = at(q);
        VEL_TRY(axis);
        m_DayTypeAxis[d] = *axis;
        p = q + 2;
    }
    auto useCalendar = at(p);
    VEL_TRY(useCalendar);
    m_UseCalendar = *useCalendar;
    return Status::Ok();
}

} // namespace vel
