#pragma once

// Texts written one to a column of a tab-separated line (the listings, the
// history) or one to a line (messages): control characters would split the
// line or the column, so they are written escaped, and the escaped form of a
// column reads back to the text it came from.

#include "base/result.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vel {

// Control characters of UTF-8 text written as \t, \n or \xHH (C0, DEL and
// the C1 controls U+0080..U+009F, HH their code), and with `backslash` a
// backslash as \\, so that the text stays on one line and in one column.
// Other bytes pass unchanged. Without `backslash` the result is for people
// only: it does not read back.
std::string EscapeControls(std::string_view utf8, bool backslash);

// The text a column escaped with backslashes came from. BadFormat for what
// the escaping never writes: a lone or unknown backslash escape, \xHH of no
// control character, a raw control character.
Result<std::string> UnescapeControls(std::string_view column);

// A number column of the work folder's own files: decimal digits only, at
// most 18 of them (so that it fits, whatever it says); nothing otherwise.
std::optional<std::int64_t> DecimalColumn(std::string_view column);

} // namespace vel
