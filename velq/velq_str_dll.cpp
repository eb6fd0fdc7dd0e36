// String and number helpers of the helper library: byte-range tests, the
// dotted-quad IPv4 form in both directions, and byte exchange of buffers.
//
// A dotted quad is read as "%d.%d.%d.%d" would read it (white space before a
// number, an optional sign, decimal digits) and then printed back: only a text
// equal to its own printout passes, so leading zeros, blanks, signs and
// trailing characters are all refused. The numbers are read here rather than
// by sscanf, whose "%d" has no defined result for digits beyond the int range;
// such a number saturates and so fails the range test.
#include "com_std.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

// Length of the longest dotted quad, "255.255.255.255", plus its NUL.
constexpr size_t quad_size = 16;

char not_uchar(int32_t li) { return (li < 0 || li > 255) ? 1 : 0; }

// Reads one "%d" number at *p; false when no digits follow (the scan stops).
bool scan_int(const char **p, int32_t *out) {
    const char *s = *p;
    while (std::isspace(static_cast<unsigned char>(*s))) ++s;
    bool neg = false;
    if (*s == '+' || *s == '-') neg = (*s++ == '-');
    if (!std::isdigit(static_cast<unsigned char>(*s))) return false;
    int64_t v = 0;
    for (; std::isdigit(static_cast<unsigned char>(*s)); ++s)
        if (v <= INT32_MAX) v = v * 10 + (*s - '0');  // stops growing past the range
    if (neg) v = -v;
    if (v > INT32_MAX) v = INT32_MAX;
    if (v < INT32_MIN) v = INT32_MIN;
    *out = static_cast<int32_t>(v);
    *p = s;
    return true;
}

// Numbers of "%d.%d.%d.%d" found at the start of s (0..4).
int scan_quad(const char *s, int32_t n[4]) {
    int found = 0;
    while (found < 4) {
        if (found > 0) {
            if (*s != '.') break;
            ++s;
        }
        if (!scan_int(&s, &n[found])) break;
        ++found;
    }
    return found;
}

void print_quad(char *out, int32_t b4, int32_t b3, int32_t b2, int32_t b1) {
    std::snprintf(out, quad_size, "%d.%d.%d.%d", static_cast<int>(b4), static_cast<int>(b3),
                  static_cast<int>(b2), static_cast<int>(b1));
}

char swap_bytes(void *buff1, void *buff2, uint32_t n) {
    if (!buff1 || !buff2 || n == 0) return 1;
    auto *a = static_cast<unsigned char *>(buff1);
    auto *b = static_cast<unsigned char *>(buff2);
    for (uint32_t i = 0; i < n; ++i) {
        const unsigned char t = a[i];
        a[i] = b[i];
        b[i] = t;
    }
    return 0;
}

}  // namespace

char ms_is_not_uchar_li(int32_t li) { return not_uchar(li); }

char ms_is_not_uint_li(int32_t li) { return li < 0 ? 1 : 0; }

int32_t ms_get_ipv4_4b(char *s, uint8_t b4, uint8_t b3, uint8_t b2, uint8_t b1) {
    if (!s) return 1;
    print_quad(s, b4, b3, b2, b1);
    return 0;
}

int32_t ms_get_ipv4_str(const char *s, uint8_t *b4, uint8_t *b3, uint8_t *b2, uint8_t *b1) {
    if (!s || !b4 || !b3 || !b2 || !b1) return 1;
    if (!s[0]) return 2;
    *b4 = *b3 = *b2 = *b1 = 0;
    int32_t n[4] = {0, 0, 0, 0};
    if (scan_quad(s, n) < 4) return 3;
    for (int32_t v : n)
        if (not_uchar(v)) return 4;
    char back[quad_size];
    print_quad(back, n[0], n[1], n[2], n[3]);
    if (std::strcmp(back, s) != 0) return 5;
    *b4 = static_cast<uint8_t>(n[0]);
    *b3 = static_cast<uint8_t>(n[1]);
    *b2 = static_cast<uint8_t>(n[2]);
    *b1 = static_cast<uint8_t>(n[3]);
    return 0;
}

char ms_swap_buffer(void *buff1, void *buff2, uint32_t n) { return swap_bytes(buff1, buff2, n); }

char ms_swap_buffer_uc(void *buff1, void *buff2) { return swap_bytes(buff1, buff2, 1); }

char ms_swap_buffer_li(void *buff1, void *buff2) { return swap_bytes(buff1, buff2, 4); }
