// Period arrays: extracting any text is safe, and compose / extract / compose
// gives the same text.

#include "schedule/time_schedule.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    vel::cTimeSchedule schedule;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (!schedule.ExtractPeriodArray(text).ok()) return 0;
    const vel::AnsiText composed = schedule.ComposePeriodArray();
    vel::cTimeSchedule again;
    if (!again.ExtractPeriodArray(composed).ok()) std::abort();
    if (again.ComposePeriodArray() != composed) std::abort();
    return 0;
}
