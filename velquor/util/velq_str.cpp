// Strings and numbers of the program: copies and trims of 8-bit texts, the
// strict number forms, 16-bit byte order and the IPv4 text checks.
//
// Every copy goes through copy_chars, which moves at most the characters
// asked for and always terminates, and tolerates overlapping texts (trims may
// work in place). Decimal texts are read by read_atoi, the atoi rule with a
// defined result for values beyond 32 bits (they saturate), so a text is read
// the same way everywhere and an oversized number never passes a strict form.
//
// Sections: bound functions; characters and copies; numbers; byte order; IPv4
// texts.
#include "velquor/util/velq_str.h"

#include <bit>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "platform/net.h"

// ---------------------------------------------------------------- bound functions

char (*ms_is_not_uchar_li)(int32_t li) = nullptr;
int32_t (*ms_get_ipv4_str)(const char *s, uint8_t *b4, uint8_t *b3, uint8_t *b2,
                           uint8_t *b1) = nullptr;
int32_t (*ms_get_ipv4_4b)(char *s, uint8_t b4, uint8_t b3, uint8_t b2, uint8_t b1) = nullptr;
char (*ms_swap_buffer_uc)(void *buff1, void *buff2) = nullptr;
char (*ms_swap_buffer_li)(void *buff1, void *buff2) = nullptr;

// ---------------------------------------------------------------- characters and copies

namespace {

bool is_blank(char c) { return c == ' '; }
bool is_line_end(char c) { return c == '\r' || c == '\n'; }

// n characters of src into dst, then NUL; the texts may overlap.
void copy_chars(char *dst, const char *src, size_t n) {
    std::memmove(dst, src, n);
    dst[n] = '\0';
}

}  // namespace

void ms_tolower(char *s) {
    if (!s) return;
    for (; *s; ++s) *s = static_cast<char>(std::tolower(static_cast<unsigned char>(*s)));
}

void ms_toupper(char *s) {
    if (!s) return;
    for (; *s; ++s) *s = static_cast<char>(std::toupper(static_cast<unsigned char>(*s)));
}

char ms_str_is_empty(const char *s) { return (!s || !s[0]) ? 1 : 0; }

void ms_str_set_empty(char *s) {
    if (s) s[0] = '\0';
}

void ms_strnpcpy(char *dst, const char *src, uint32_t n, uint32_t pos) {
    if (!dst || !src || n == 0) return;
    const size_t len = std::strlen(src);
    if (pos == 0 || len < pos) {
        dst[0] = '\0';
        return;
    }
    const size_t rest = len - (pos - 1);
    copy_chars(dst, src + (pos - 1), rest < n ? rest : n);
}

void ms_strncpy(char *dst, const char *src, uint32_t n) { ms_strnpcpy(dst, src, n, 1); }

void ms_lsep(const char *src, char *left, uint32_t lsize, char *right, uint32_t rsize, char sep) {
    if (!src || !left || !right || lsize == 0 || rsize == 0 || !src[0]) return;
    const char *at = std::strchr(src, sep);
    if (!at || sep == '\0') {
        ms_strncpy(left, src, lsize);
        if (right != left) right[0] = '\0';
        return;
    }
    const size_t x = static_cast<size_t>(at - src);
    const size_t rlen = std::strlen(at + 1);
    // The left part first: it ends at or before the separator, so the right
    // part survives even when left is the source buffer itself.
    copy_chars(left, src, x < lsize ? x : lsize);
    copy_chars(right, at + 1, rlen < rsize ? rlen : rsize);
}

char ms_strcmp_ud(const char *a, const char *b) {
    if (!a && !b) return 0;
    if (!a || !b) return 1;
    if (std::strlen(a) != std::strlen(b)) return 2;
    for (; *a; ++a, ++b)
        if (std::tolower(static_cast<unsigned char>(*a)) !=
            std::tolower(static_cast<unsigned char>(*b)))
            return 3;
    return 0;
}

void ms_ltrim(char *dst, const char *src) {
    if (!dst || !src) return;
    const char *s = src;
    while (is_blank(*s)) ++s;
    copy_chars(dst, s, std::strlen(s));
}

void ms_rtrim(char *dst, const char *src) {
    if (!dst || !src) return;
    size_t len = std::strlen(src);
    while (len > 0 && is_blank(src[len - 1])) --len;
    copy_chars(dst, src, len);
}

void ms_trim(char *dst, const char *src) {
    if (!dst || !src) return;
    ms_ltrim(dst, src);
    ms_rtrim(dst, dst);
}

void ms_clean_str(char *s) {
    if (!s) return;
    ms_trim(s, s);
    const size_t len = std::strlen(s);
    if (len == 0) return;
    if (is_line_end(s[len - 1])) s[len - 1] = '\0';
    // Measured before the cut: a CR LF pair goes, and so does a last
    // character behind a CR or LF.
    if (len >= 2 && is_line_end(s[len - 2])) s[len - 2] = '\0';
    for (; *s; ++s)
        if (*s == '\t') *s = ' ';
}

void swap_buffer(void *buff1, void *buff2, uint32_t n) {
    if (!buff1 || !buff2 || n == 0) return;
    auto *a = static_cast<unsigned char *>(buff1);
    auto *b = static_cast<unsigned char *>(buff2);
    for (uint32_t i = 0; i < n; ++i) {
        const unsigned char t = a[i];
        a[i] = b[i];
        b[i] = t;
    }
}

void ms_swap_buffer(void *buff1, void *buff2, uint32_t n) { swap_buffer(buff1, buff2, n); }

// ---------------------------------------------------------------- numbers

namespace {

// atoi: white space, an optional sign, decimal digits up to the first other
// character; no digits give 0. Values beyond 32 bits saturate.
int32_t read_atoi(const char *s) {
    while (std::isspace(static_cast<unsigned char>(*s))) ++s;
    bool neg = false;
    if (*s == '+' || *s == '-') neg = (*s++ == '-');
    int64_t v = 0;
    for (; std::isdigit(static_cast<unsigned char>(*s)); ++s)
        if (v <= INT32_MAX) v = v * 10 + (*s - '0');
    if (neg) v = -v;
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

// Hexadecimal digits only (at least one) into *v, saturating at 32 bits;
// false for anything else, which can never equal a printout anyway.
bool read_hex(const char *s, uint32_t *v) {
    if (!*s) return false;
    uint64_t x = 0;
    for (; *s; ++s) {
        if (!std::isxdigit(static_cast<unsigned char>(*s))) return false;
        const int d =
            std::isdigit(static_cast<unsigned char>(*s)) ? *s - '0' : std::tolower(*s) - 'a' + 10;
        if (x <= UINT32_MAX) x = x * 16 + static_cast<uint64_t>(d);
    }
    *v = x > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(x);
    return true;
}

// One strict form: hexadecimal after "0x" printed with hex_fmt, decimal
// printed with "%d" or (when dec_fmt2 is given) that format.
char str_to_num(char *text, int32_t *out, const char *hex_fmt, const char *dec_fmt2) {
    if (!text || !out) return 1;
    *out = 0;
    if (!text[0]) return 2;
    ms_tolower(text);
    char back[24];
    if (text[0] == '0' && text[1] == 'x') {
        text[0] = text[1] = ' ';
        ms_clean_str(text);
        uint32_t v = 0;
        if (!read_hex(text, &v)) return 3;
        std::snprintf(back, sizeof back, hex_fmt, static_cast<unsigned>(v));
        if (std::strcmp(back, text) != 0) return 3;
        *out = static_cast<int32_t>(v);
        return 0;
    }
    const int32_t v = read_atoi(text);
    std::snprintf(back, sizeof back, "%d", static_cast<int>(v));
    bool same = std::strcmp(back, text) == 0;
    if (!same && dec_fmt2) {
        std::snprintf(back, sizeof back, dec_fmt2, static_cast<int>(v));
        same = std::strcmp(back, text) == 0;
    }
    if (!same) return 4;
    *out = v;
    return 0;
}

}  // namespace

char zborder_long(int32_t v, int32_t b1, int32_t b2) {
    if (b1 > b2) {
        const int32_t t = b1;
        b1 = b2;
        b2 = t;
    }
    return (v < b1 || v > b2) ? 1 : 0;
}

char send_val(int kind, void *dest, const int32_t *src) {
    if (!src || !dest) return 2;
    switch (kind) {
    case ms_kind_int:
    case ms_kind_long: *static_cast<int32_t *>(dest) = *src; return 0;
    case ms_kind_uchar: *static_cast<uint8_t *>(dest) = static_cast<uint8_t>(*src); return 0;
    case ms_kind_char: *static_cast<int8_t *>(dest) = static_cast<int8_t>(*src); return 0;
    case ms_kind_uint: *static_cast<uint32_t *>(dest) = static_cast<uint32_t>(*src); return 0;
    default: return 1;
    }
}

char ms_iszahl(const char *text, int kind, const char *lo, const char *hi, void *dest) {
    if (!lo || !hi) return 5;
    if (!text || !dest) return 6;
    if (kind < ms_kind_int || kind > ms_kind_long) return 1;
    const int32_t v = read_atoi(text);
    int32_t l = read_atoi(lo), h = read_atoi(hi);
    bool inside;
    if (kind == ms_kind_uint) {
        uint32_t ul = static_cast<uint32_t>(l), uh = static_cast<uint32_t>(h);
        if (ul == 0 && uh == 0) uh = UINT32_MAX;
        if (ul > uh) {
            const uint32_t t = ul;
            ul = uh;
            uh = t;
        }
        const uint32_t uv = static_cast<uint32_t>(v);
        inside = uv >= ul && uv <= uh;
    } else {
        if (l > h) {
            const int32_t t = l;
            l = h;
            h = t;
        }
        const bool full = l == 0 && h == 0;
        if (kind == ms_kind_uchar) {
            if (full || l < 0) l = 0;
            if (full || h > 255) h = 255;
        } else if (kind == ms_kind_char) {
            if (full || l < -128) l = -128;
            if (full || h > 127) h = 127;
        } else if (full) {
            l = INT32_MIN;
            h = INT32_MAX;
        }
        inside = v >= l && v <= h;
    }
    if (v == 0 && std::strcmp(text, "0") != 0 && std::strcmp(text, "-0") != 0 &&
        std::strcmp(text, "+0") != 0)
        return 2;
    if (!inside) {
        const int32_t zero = 0;
        send_val(kind, dest, &zero);
        return 3;
    }
    send_val(kind, dest, &v);
    return 0;
}

char ms_str_to_int(char *text, int32_t *out) { return str_to_num(text, out, "%04x", nullptr); }

char ms_str_to_char(char *text, int32_t *out) { return str_to_num(text, out, "%02x", "%02d"); }

// ---------------------------------------------------------------- byte order

int8_t ilsb = std::endian::native == std::endian::little ? 0 : 3;
int8_t imsb = std::endian::native == std::endian::little ? 1 : 2;
uint8_t bo_ok = std::endian::native == std::endian::little ? 1 : 0;

void ms_get_byteorder2(void) {
    ilsb = imsb = -1;
    const uint32_t probe = 0x201;
    unsigned char b[4];
    std::memcpy(b, &probe, sizeof b);
    for (int8_t i = 0; i < 4; ++i) {
        if (b[i] == 1) ilsb = i;
        if (b[i] == 2) imsb = i;
    }
    if (ilsb < 0 || imsb < 0) ilsb = imsb = -1;
    bo_ok = (ilsb == 0 && imsb == 1) ? 1 : 0;
}

char ms_get_bytes2(uint32_t v, uint8_t *lsb, uint8_t *msb) {
    if (!lsb || !msb) return 1;
    if (bo_ok) {
        *lsb = static_cast<uint8_t>(v & 0xFF);
        *msb = static_cast<uint8_t>((v >> 8) & 0xFF);
        return 0;
    }
    if (ilsb < 0 || ilsb > 3 || imsb < 0 || imsb > 3) return 2;
    unsigned char b[4];
    std::memcpy(b, &v, sizeof b);
    *lsb = b[ilsb];
    *msb = b[imsb];
    return 0;
}

uint8_t ms_get_lmsb2(uint32_t v, int mode) {
    uint8_t lsb = 0, msb = 0;
    if (ms_get_bytes2(v, &lsb, &msb) != 0) return 0;
    if (mode == 1) return lsb;
    if (mode == 2) return msb;
    return 0;
}

char ms_get_lint_b2(uint32_t *out, uint8_t lsb, uint8_t msb) {
    if (!out) return 1;
    *out = 0;
    if (ilsb < 0 || ilsb > 3 || imsb < 0 || imsb > 3 || ilsb == imsb) {
        *out = static_cast<uint32_t>(msb) * 256u + lsb;  // positions unknown: by value
        return 0;
    }
    unsigned char b[4] = {0, 0, 0, 0};
    b[ilsb] = lsb;
    b[imsb] = msb;
    std::memcpy(out, b, sizeof b);
    return 0;
}

// ---------------------------------------------------------------- IPv4 texts

namespace {

const char std_ipv4[] = "0.0.0.0";

}  // namespace

char ms_is_not_ipv4_u_std(const char *s) { return plat::net_parse_ipv4(s, nullptr) ? 0 : 1; }

char ms_ipv4_addr(const char *s, uint32_t *addr_be) {
    uint32_t a = 0;
    if (!plat::net_parse_ipv4(s, &a)) return 1;
    if (addr_be) *addr_be = a;
    if (a == 0) return 2;
    if (a == 0xFFFFFFFFu) return 4;
    return 0;
}

char ms_is_not_ipv4(const char *s) { return ms_ipv4_addr(s, nullptr); }

char ms_is_std_ip(const char *s) { return (s && std::strcmp(s, std_ipv4) == 0) ? 1 : 0; }

char ms_set_std_ipv4(char *buf) {
    if (!buf) return 1;
    std::memcpy(buf, std_ipv4, sizeof std_ipv4);
    return 0;
}
