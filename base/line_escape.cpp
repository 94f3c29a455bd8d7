#include "base/line_escape.h"

#include <cstdio>

namespace vel {

namespace {

void AppendHex(std::string& out, unsigned value)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\x%02X", value & 0xFFU);
    out += buf;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool IsC0OrDel(unsigned b)
{
    return b < 0x20 || b == 0x7F;
}

Error BadEscape(std::size_t at, const std::string& what)
{
    return MakeError(ErrorCode::BadFormat, what + " at byte " + std::to_string(at + 1));
}

} // namespace

std::string EscapeControls(std::string_view utf8, bool backslash)
{
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b == '\\' && backslash)
            out += "\\\\";
        else if (b == '\t')
            out += "\\t";
        else if (b == '\n')
            out += "\\n";
        else if (IsC0OrDel(b))
            AppendHex(out, b);
        else if (b == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
                 static_cast<unsigned char>(utf8[i + 1]) <= 0x9F)
            AppendHex(out, static_cast<unsigned char>(utf8[++i]));
        else
            out.push_back(utf8[i]);
    }
    return out;
}

Result<std::string> UnescapeControls(std::string_view column)
{
    std::string out;
    out.reserve(column.size());
    for (std::size_t i = 0; i < column.size(); ++i) {
        const auto b = static_cast<unsigned char>(column[i]);
        if (IsC0OrDel(b)) return BadEscape(i, "a control character that is not escaped");
        // A C1 control in UTF-8 is always written escaped.
        if (b == 0xC2 && i + 1 < column.size() && static_cast<unsigned char>(column[i + 1]) >= 0x80 &&
            static_cast<unsigned char>(column[i + 1]) <= 0x9F)
            return BadEscape(i, "a control character that is not escaped");
        if (b != '\\') {
            out.push_back(column[i]);
            continue;
        }
        if (i + 1 >= column.size()) return BadEscape(i, "a backslash at the end");
        const char next = column[i + 1];
        if (next == '\\' || next == 't' || next == 'n') {
            out.push_back(next == '\\' ? '\\' : next == 't' ? '\t' : '\n');
            ++i;
            continue;
        }
        if (next != 'x' || i + 3 >= column.size() || HexDigit(column[i + 2]) < 0 || HexDigit(column[i + 3]) < 0)
            return BadEscape(i, "an unknown escape");
        const auto value = static_cast<unsigned>(HexDigit(column[i + 2]) * 16 + HexDigit(column[i + 3]));
        if (IsC0OrDel(value)) {
            out.push_back(static_cast<char>(value));
        } else if (value >= 0x80 && value <= 0x9F) {
            out.push_back(static_cast<char>(0xC2));
            out.push_back(static_cast<char>(value));
        } else {
            return BadEscape(i, "an escape of a character that is no control character");
        }
        i += 3;
    }
    return out;
}

std::optional<std::int64_t> DecimalColumn(std::string_view column)
{
    if (column.empty() || column.size() > 18) return std::nullopt;
    std::int64_t n = 0;
    for (const char c : column) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
}

} // namespace vel
