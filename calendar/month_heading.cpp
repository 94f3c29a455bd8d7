#include "calendar/month_heading.h"

#include "calendar/calendar_dates.h"
#include "base/codepage.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <iterator>
#include <locale>
#include <sstream>

namespace vel {

namespace {

// std::locale reports an unknown name by an exception; it never leaves here.
std::locale LoadLocale(const std::string& name)
{
    try {
        return std::locale(name.c_str());
    } catch (...) {
        return std::locale::classic();
    }
}

bool IsUtf8Locale(const std::locale& loc)
{
    std::string name = loc.name();
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    return name.find("utf-8") != std::string::npos || name.find("utf8") != std::string::npos;
}

std::string FormatMonthName(const std::locale& loc, std::int32_t month)
{
    std::tm tm{};
    tm.tm_year = 100;
    tm.tm_mon = month - 1;
    tm.tm_mday = 1;
    std::ostringstream out;
    out.imbue(loc);
    // %OB: the month name standing alone (nominative where a language has
    // more than one form), as a heading needs it.
    const char pattern[] = "%OB";
    std::use_facet<std::time_put<char>>(loc).put(std::ostreambuf_iterator<char>(out), out, ' ', &tm, pattern,
                                                 pattern + sizeof pattern - 1);
    return out.str();
}

std::string FourDigitYear(std::int64_t year)
{
    std::string digits = std::to_string(year < 0 ? -year : year);
    if (digits.size() < 4) digits.insert(0, 4 - digits.size(), '0');
    return (year < 0 ? "-" : "") + digits;
}

} // namespace

AnsiText MonthHeadingText(std::int64_t year, std::int32_t month, const std::string& localeName)
{
    // Month 13 is January of the next year, month 0 December of the one before.
    const CivilDate first = DateOfDayIndex(DayIndexOf(year, month, 1));
    year = first.year;
    month = first.month;
    const std::locale loc = LoadLocale(localeName);
    std::string name = FormatMonthName(loc, month);
    if (IsUtf8Locale(loc)) {
        Result<AnsiText> ansi = Utf8ToCp1252(name);
        name = ansi.ok() ? *ansi : FormatMonthName(std::locale::classic(), month);
    }
    if (name.empty()) name = FormatMonthName(std::locale::classic(), month);
    return name + " " + FourDigitYear(year);
}

} // namespace vel
