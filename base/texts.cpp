#include "base/texts.h"

#include <cstdio>

namespace vel {

AnsiText SuiteTexts::GetText(std::int32_t number) const
{
    const auto count = static_cast<std::size_t>(TextCount > 0 ? TextCount : 0);
    for (std::size_t i = 0; i < count && i < TextIndex.size(); ++i) {
        const IndexEntry& e = TextIndex[i];
        if (e.number != number) continue;
        if (e.start < 1 || e.length < 0) return {};
        const auto start = static_cast<std::size_t>(e.start - 1);
        if (start >= TextBuffer.size()) return {};
        return TextBuffer.substr(start, static_cast<std::size_t>(e.length));
    }
    return "Invalid Text (" + std::to_string(number) + ")";
}

void SuiteTexts::Add(std::int32_t number, const AnsiText& text)
{
    TextIndex.push_back(
        {number, static_cast<std::int32_t>(TextBuffer.size() + 1), static_cast<std::int32_t>(text.size())});
    TextBuffer += text;
    TextCount = static_cast<std::int32_t>(TextIndex.size());
}

LogSink StandardErrorLog()
{
    return [](const std::string& line) {
        std::fprintf(stderr, "VelNameChange: %s\n", line.c_str());
        std::fflush(stderr);
    };
}

} // namespace vel
