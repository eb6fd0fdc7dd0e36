// Windows-1252 <-> Unicode: one table for the 32 bytes 0x80-0x9F, identity
// for the rest (Windows-1252 agrees with Latin-1 outside that block).
#include "platform/cp1252.h"

#include <array>

namespace plat {

namespace {

// Code points of the bytes 0x80..0x9F, row i holds byte 0x80 + i.
constexpr std::array<char32_t, 32> c1_block = {
    0x20AC, 0x0081, 0x201A, 0x0192,
    0x201E, 0x2026, 0x2020, 0x2021,  // 80 euro .. 87 double dagger
    0x02C6, 0x2030, 0x0160, 0x2039,
    0x0152, 0x008D, 0x017D, 0x008F,  // 88 circumflex .. 8F (unassigned)
    0x0090, 0x2018, 0x2019, 0x201C,
    0x201D, 0x2022, 0x2013, 0x2014,  // 90 (unassigned) .. 97 em dash
    0x02DC, 0x2122, 0x0161, 0x203A,
    0x0153, 0x009D, 0x017E, 0x0178,  // 98 small tilde .. 9F Y diaeresis
};

void put_utf8(std::string &out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

char32_t cp1252_to_ucs(uint8_t byte) {
    if (byte >= 0x80 && byte <= 0x9F) return c1_block[byte - 0x80];
    return byte;
}

int cp1252_from_ucs(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
    for (size_t i = 0; i < c1_block.size(); ++i)
        if (c1_block[i] == cp) return static_cast<int>(0x80 + i);
    return -1;
}

std::string cp1252_to_utf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (char c : text) put_utf8(out, cp1252_to_ucs(static_cast<uint8_t>(c)));
    return out;
}

std::string utf8_to_cp1252(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<uint8_t>(text[i]);
        size_t len = 0;
        char32_t cp = 0;
        if (b < 0x80) {
            len = 1;
            cp = b;
        } else if ((b & 0xE0) == 0xC0) {
            len = 2;
            cp = b & 0x1F;
        } else if ((b & 0xF0) == 0xE0) {
            len = 3;
            cp = b & 0x0F;
        } else if ((b & 0xF8) == 0xF0) {
            len = 4;
            cp = b & 0x07;
        }
        bool ok = len > 0 && i + len <= text.size();
        for (size_t k = 1; ok && k < len; ++k) {
            const auto cb = static_cast<uint8_t>(text[i + k]);
            if ((cb & 0xC0) != 0x80)
                ok = false;
            else
                cp = (cp << 6) | (cb & 0x3F);
        }
        // Overlong forms and surrogates are malformed, too.
        static constexpr char32_t min_of_len[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (ok && (cp < min_of_len[len] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF))
            ok = false;
        if (!ok) {
            out += '?';
            ++i;
            continue;
        }
        const int byte = cp1252_from_ucs(cp);
        out += byte < 0 ? '?' : static_cast<char>(byte);
        i += len;
    }
    return out;
}

}  // namespace plat
