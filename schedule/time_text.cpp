#include "schedule/time_text.h"

#include "base/text_conversions.h"

#include <cmath>
#include <string>
#include <string_view>

namespace vel {

AnsiText MinutesToTimeText(std::int32_t minutes)
{
    const std::string hours = "00" + std::to_string(minutes / 60);
    const std::string mins = "00" + std::to_string(minutes % 60);
    return hours.substr(hours.size() - 2) + ":" + mins.substr(mins.size() - 2);
}

std::int16_t TimeTextToMinutes(const AnsiText& text)
{
    static constexpr char Separators[] = {':', '.', ',', ' ', '-', '+'};
    double total = 0.0;
    std::size_t sep = std::string_view::npos;
    for (const char s : Separators) {
        sep = text.find(s);
        if (sep != std::string_view::npos) break;
    }
    if (sep != std::string_view::npos) {
        const std::string_view all(text);
        total = LeadingNumber(all.substr(0, sep)) * 60.0 + LeadingNumber(all.substr(sep + 1));
    } else {
        std::string t = text;
        if ((t.empty() || t[0] != '0') && t.size() < 3) t += "00";
        t = "0000" + t;
        t = t.substr(t.size() - 4);
        total = LeadingNumber(std::string_view(t).substr(0, 2)) * 60.0 +
                LeadingNumber(std::string_view(t).substr(2, 2));
    }
    if (std::isnan(total)) return 0;
    total = RoundHalfEven(total);
    if (total < 0.0) return 0;
    if (total > 1440.0) return 1440;
    return static_cast<std::int16_t>(total);
}

} // namespace vel
