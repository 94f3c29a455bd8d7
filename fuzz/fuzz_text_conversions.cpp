// Typed times and separated fields: any text is safe and the minutes stay in
// the day.

#include "base/text_conversions.h"
#include "schedule/time_text.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const vel::AnsiText text(reinterpret_cast<const char*>(data), size);
    const std::int16_t minutes = vel::TimeTextToMinutes(text);
    if (minutes < 0 || minutes > 1440) std::abort();

    // The first byte chooses the separator and the field.
    vel::AnsiText separator = size > 0 && data[0] < 32 ? vel::AnsiText(1, static_cast<char>(data[0])) : vel::AnsiText();
    const auto index = static_cast<std::int16_t>(size > 1 ? data[1] % 40 - 2 : 0);
    const vel::AnsiText field = vel::ExtractField(text, index, separator);
    if (field.size() > text.size()) std::abort();
    return 0;
}
