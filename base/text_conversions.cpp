#include "base/text_conversions.h"

#include <cmath>
#include <string_view>

namespace vel {

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

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
