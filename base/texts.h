#pragma once

// The suite's text table and its log sink.

#include "base/bytes.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vel {

class SuiteTexts {
public:
    struct IndexEntry {
        std::int32_t number = 0;
        std::int32_t start = 0;  // 1-based position in TextBuffer
        std::int32_t length = 0; // in characters
    };

    // The text of a number, or "Invalid Text (" number ")" when the table has none.
    AnsiText GetText(std::int32_t number) const;

    // Appends one text to the table (a host that knows the suite's wording fills it).
    void Add(std::int32_t number, const AnsiText& text);

    std::int32_t TextCount = 0;
    std::vector<IndexEntry> TextIndex;
    AnsiText TextBuffer;
};

// Takes one complete log line (no line end).
using LogSink = std::function<void(const std::string& line)>;

// The default sink: each line to standard error, so an operator can see why a
// file was passed over.
LogSink StandardErrorLog();

} // namespace vel
