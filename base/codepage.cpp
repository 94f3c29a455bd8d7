#include "base/codepage.h"

#include <array>
#include <cstdint>

namespace vel {

namespace {

constexpr std::array<char16_t, 32> HighControls = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                   0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                                   0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                   0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

unsigned char UpperByte(unsigned char c)
{
    if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 0x20);
    switch (c) {
    case 0x9A:
        return 0x8A; // š
    case 0x9C:
        return 0x8C; // œ
    case 0x9E:
        return 0x8E; // ž
    case 0xFF:
        return 0x9F; // ÿ
    default:
        break;
    }
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 0x20);
    return c;
}

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::string CodePointName(char32_t cp)
{
    static const char* hex = "0123456789ABCDEF";
    std::string s = "U+";
    bool any = false;
    for (int shift = 20; shift >= 0; shift -= 4) {
        const auto d = static_cast<unsigned>((cp >> shift) & 0xF);
        if (d != 0 || any || shift <= 12) {
            s.push_back(hex[d]);
            any = true;
        }
    }
    return s;
}

} // namespace

char32_t Cp1252ToUnicode(unsigned char byte)
{
    if (byte >= 0x80 && byte <= 0x9F) return HighControls[byte - 0x80];
    return byte;
}

std::string Cp1252ToUtf8(std::string_view ansi)
{
    std::string out;
    out.reserve(ansi.size());
    for (const char c : ansi) AppendUtf8(out, Cp1252ToUnicode(static_cast<unsigned char>(c)));
    return out;
}

Result<AnsiText> Utf8ToCp1252(std::string_view utf8)
{
    AnsiText out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto b0 = static_cast<unsigned char>(utf8[i]);
        char32_t cp = 0;
        std::size_t len = 0;
        if (b0 < 0x80) {
            cp = b0;
            len = 1;
        } else if ((b0 & 0xE0) == 0xC0) {
            cp = b0 & 0x1F;
            len = 2;
        } else if ((b0 & 0xF0) == 0xE0) {
            cp = b0 & 0x0F;
            len = 3;
        } else if ((b0 & 0xF8) == 0xF0) {
            cp = b0 & 0x07;
            len = 4;
        } else {
            return MakeError(ErrorCode::InvalidArgument, "the text is not valid UTF-8");
        }
        if (i + len > utf8.size()) return MakeError(ErrorCode::InvalidArgument, "the text is not valid UTF-8");
        for (std::size_t k = 1; k < len; ++k) {
            const auto b = static_cast<unsigned char>(utf8[i + k]);
            if ((b & 0xC0) != 0x80) return MakeError(ErrorCode::InvalidArgument, "the text is not valid UTF-8");
            cp = (cp << 6) | (b & 0x3F);
        }
        const bool overlong = (len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000);
        if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return MakeError(ErrorCode::InvalidArgument, "the text is not valid UTF-8");
        i += len;

        if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
            out.push_back(static_cast<char>(cp));
            continue;
        }
        bool found = false;
        for (std::size_t k = 0; k < HighControls.size(); ++k) {
            if (HighControls[k] == cp) {
                out.push_back(static_cast<char>(0x80 + k));
                found = true;
                break;
            }
        }
        if (!found) {
            std::string shown;
            AppendUtf8(shown, cp < 0x10000 ? cp : U'?');
            return MakeError(ErrorCode::InvalidArgument, "the character \"" + shown + "\" (" + CodePointName(cp) +
                                                             ") cannot be stored in the Windows-1252 code page");
        }
    }
    return out;
}

AnsiText UpperCaseAnsi(std::string_view ansi)
{
    AnsiText out(ansi);
    for (char& c : out) c = static_cast<char>(UpperByte(static_cast<unsigned char>(c)));
    return out;
}

int CompareUpper(std::string_view a, std::string_view b)
{
    // The Unicode code of each byte's capital, computed once.
    static const std::array<char32_t, 256> key = [] {
        std::array<char32_t, 256> k{};
        for (int c = 0; c < 256; ++c)
            k[static_cast<std::size_t>(c)] = Cp1252ToUnicode(UpperByte(static_cast<unsigned char>(c)));
        return k;
    }();
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char32_t ca = key[static_cast<unsigned char>(a[i])];
        const char32_t cb = key[static_cast<unsigned char>(b[i])];
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

} // namespace vel
