// Windows-1252 text conversion.
//
// The program's texts are 8-bit Windows-1252 strings (umlauts, "ß", "é" are
// single bytes). Displays and terminals here speak Unicode, so the window
// layer and the command-line program convert at their edge with these
// functions. Every one of the 256 bytes maps to one code point: 0x80-0x9F as
// Windows-1252 assigns them (0x80 = euro sign), the five bytes it leaves
// unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D) to the C1 controls of the same
// value, so converting there and back gives the original bytes. The way back
// turns a character that Windows-1252 cannot hold into '?'.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace plat {

// Code point of one Windows-1252 byte.
char32_t cp1252_to_ucs(uint8_t byte);
// Windows-1252 byte of a code point, or -1 when there is none.
int cp1252_from_ucs(char32_t cp);

// Windows-1252 bytes to UTF-8.
std::string cp1252_to_utf8(std::string_view text);
// UTF-8 to Windows-1252; characters without a byte and malformed sequences
// (one '?' per bad byte) become '?'.
std::string utf8_to_cp1252(std::string_view text);

}  // namespace plat
