#pragma once

#include "base/bytes.h"

#include <cstdint>
#include <string>

namespace vel {

// The month heading of the month view: the full month name in the language of
// a locale, a space and the four-digit year ("December 2026"). localeName ""
// is the user's locale (from the environment); a locale that cannot be loaded
// falls back to the classic "C" locale. Months outside 1..12 are normalised
// (13 is January of the next year). The text is in the suite's code page;
// a month name that the code page cannot hold falls back to the English name.
AnsiText MonthHeadingText(std::int64_t year, std::int32_t month, const std::string& localeName);

} // namespace vel
