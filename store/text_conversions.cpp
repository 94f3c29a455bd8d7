#include "store/text_conversions.h"

#include <cfenv>
#include <cmath>
#include <string_view>

namespace vel {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

} // namespace

double RoundHalfEven(double value)
{
    const double floor = std::floor(value);
    const double diff = value - floor;
    if (diff < 0.5) return floor;
    if (diff > 0.5) return floor + 1.0;
    return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}

double LeadingNumber(std::string_view text)
{
    // Collect the characters that form the number, skipping blanks anywhere.
    std::size_t i = 0;
    auto next = [&]() -> char {
        while (i < text.size() && IsBlank(text[i])) ++i;
        return i < text.size() ? text[i] : '\0';
    };

    double sign = 1.0;
    char c = next();
    if (c == '+' || c == '-') {
        if (c == '-') sign = -1.0;
        ++i;
        c = next();
    }
    double mantissa = 0.0;
    bool any = false;
    while (IsDigit(c)) {
        mantissa = mantissa * 10.0 + (c - '0');
        any = true;
        ++i;
        c = next();
    }
    if (c == '.') {
        ++i;
        c = next();
        double scale = 0.1;
        while (IsDigit(c)) {
            mantissa += (c - '0') * scale;
            scale /= 10.0;
            any = true;
            ++i;
            c = next();
        }
    }
    if (!any) return 0.0;
    if (c == 'e' || c == 'E' || c == 'd' || c == 'D') {
        const std::size_t save = i;
        ++i;
        char e = next();
        int expSign = 1;
        if (e == '+' || e == '-') {
            if (e == '-') expSign = -1;
            ++i;
            e = next();
        }
        if (IsDigit(e)) {
            int exponent = 0;
            while (IsDigit(e)) {
                if (exponent < 10000) exponent = exponent * 10 + (e - '0');
                ++i;
                e = next();
            }
            mantissa *= std::pow(10.0, expSign * exponent);
        } else {
            i = save;
        }
    }
    return sign * mantissa;
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
        total = LeadingNumber(std::string_view(t).substr(0, 2)) * 60.0 + LeadingNumber(std::string_view(t).substr(2, 2));
    }
    if (std::isnan(total)) return 0;
    total = RoundHalfEven(total);
    if (total < 0.0) return 0;
    if (total > 1440.0) return 1440;
    return static_cast<std::int16_t>(total);
}

AnsiText ExtractField(const AnsiText& text, std::int16_t index, AnsiText& separator)
{
    if (separator.empty()) {
        if (text.find('\t') != AnsiText::npos)
            separator = "\t";
        else if (text.find(';') != AnsiText::npos)
            separator = ";";
    }
    if (separator.empty() || index < 0) return {};

    std::size_t start = 0;
    for (std::int16_t k = 0; k < index; ++k) {
        const std::size_t at = text.find(separator, start);
        if (at == AnsiText::npos) return {};
        start = at + separator.size();
    }
    const std::size_t end = text.find(separator, start);
    return text.substr(start, end == AnsiText::npos ? AnsiText::npos : end - start);
}

} // namespace vel
