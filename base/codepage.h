#pragma once

// The suite's code page. Texts are kept as raw Windows-1252 bytes everywhere in
// the core; these conversions run only where a person sees or types a text.

#include "base/bytes.h"
#include "base/result.h"

#include <string>
#include <string_view>

namespace vel {

// Unicode code point of one Windows-1252 byte. The five bytes the code page
// leaves undefined map to the C1 control of the same value, as Windows does.
char32_t Cp1252ToUnicode(unsigned char byte);

std::string Cp1252ToUtf8(std::string_view ansi);

// Fails (InvalidArgument) on malformed UTF-8 or a character the code page
// cannot hold; the message names the character.
Result<AnsiText> Utf8ToCp1252(std::string_view utf8);

// Upper case as the suite compares names: every letter of the code page whose
// capital is also in the code page ("é" -> "É", "š" -> "Š", "ÿ" -> "Ÿ").
AnsiText UpperCaseAnsi(std::string_view ansi);

// Compares the upper-case forms character by character by Unicode character
// code; a name that is the start of a longer one comes first. <0, 0, >0.
int CompareUpper(std::string_view a, std::string_view b);

} // namespace vel
