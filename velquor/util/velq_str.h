// Strings and numbers: plain functions on NUL-terminated 8-bit texts, strict
// decimal and hexadecimal number texts, 16-bit byte order and IPv4 texts.
//
// A length argument n counts the characters to copy; the destination holds
// n + 1 bytes, since a NUL always follows the copied characters. "Blank" means
// the space character only. Several parsers change the text they are given
// (letter case, blanks); callers pass a copy when they need theirs unchanged.
// Results are small codes, 0 = success; no function allocates or reports.
//
// Numbers typed by the operator or read from files are accepted only in their
// canonical form: printing the value back must give the same text. Decimal
// texts are read as atoi reads them, with one defined rule for values beyond
// 32 bits: they saturate at -2147483648 and 2147483647 (so they are never
// canonical and never pass the strict forms).
//
// Sections: characters and copies; numbers; byte order; IPv4 texts.
#pragma once

#include <cstdint>

#include "velquor/util/velq_str_poi.h"

// ---------------------------------------------------------------- characters and copies

// Converts the text in place (C library tolower / toupper); nothing for nullptr.
void ms_tolower(char *s);
void ms_toupper(char *s);
// 1 when the text is missing or empty, else 0.
char ms_str_is_empty(const char *s);
// Makes the text empty; nothing for nullptr.
void ms_str_set_empty(char *s);
// Copies at most n characters of src starting at the 1-based position pos,
// then NUL. src shorter than pos (or pos 0): dst becomes empty. Nothing when
// a text is missing or n is 0. dst and src may overlap.
void ms_strnpcpy(char *dst, const char *src, uint32_t n, uint32_t pos);
// ms_strnpcpy from position 1.
void ms_strncpy(char *dst, const char *src, uint32_t n);
// Splits src at its first `sep`: the characters before it into left (at most
// lsize), those after it into right (at most rsize); without a separator the
// whole source goes to left and right becomes empty. Nothing when a pointer
// is missing, a size is 0 or src is empty.
void ms_lsep(const char *src, char *left, uint32_t lsize, char *right, uint32_t rsize, char sep);
// Case-insensitive comparison: 0 equal (also both missing), 1 exactly one
// missing, 2 lengths differ, 3 a character differs.
char ms_strcmp_ud(const char *a, const char *b);
// Leading / trailing / both blanks removed from src into dst, which holds at
// least as many bytes as src; dst may be src. Nothing for a missing pointer.
void ms_ltrim(char *dst, const char *src);
void ms_rtrim(char *dst, const char *src);
void ms_trim(char *dst, const char *src);
// Cleans one line read from a file, in place: blanks trimmed at both ends, a
// line end of up to two characters (CR, LF) cut, every TAB made a blank.
void ms_clean_str(char *s);
// Exchange the first n bytes of two buffers; nothing for a missing buffer or
// n 0. The two functions are the same.
void swap_buffer(void *buff1, void *buff2, uint32_t n);
void ms_swap_buffer(void *buff1, void *buff2, uint32_t n);

// ---------------------------------------------------------------- numbers

// Value kinds of ms_iszahl and send_val: the width a value is stored in.
enum ms_kind : int {
    ms_kind_int = 1,    // signed 32-bit
    ms_kind_uchar = 2,  // unsigned 8-bit, 0..255
    ms_kind_char = 3,   // signed 8-bit, -128..127
    ms_kind_uint = 4,   // unsigned 32-bit, compared unsigned
    ms_kind_long = 5,   // signed 32-bit
};

// 1 when v lies outside the closed range of the two bounds (in either order), else 0.
char zborder_long(int32_t v, int32_t b1, int32_t b2);
// Stores *src into dest in the width of `kind`. 2 a pointer missing, 1 unknown kind, 0.
char send_val(int kind, void *dest, const int32_t *src);
// Checks that `text` is a decimal number within the bounds lo..hi (both "0":
// the kind's full range) and stores it into dest in the kind's width. 5 a
// bound missing, 6 text or dest missing, 1 unknown kind, 2 not a number (a
// zero that is not "0", "-0" or "+0"), 3 outside the bounds (dest = 0), 0.
// Texts read as atoi reads them: "12abc" is 12.
char ms_iszahl(const char *text, int kind, const char *lo, const char *hi, void *dest);
// Strict integer text: "0x" and at least four hexadecimal digits as "%04x"
// prints them, or decimal as "%d" prints it. Lower-cases the text and, for the
// hexadecimal form, blanks and cleans it in place. *out = 0, then the value on
// success. 1 a pointer missing, 2 empty, 3 bad hexadecimal, 4 bad decimal, 0.
char ms_str_to_int(char *text, int32_t *out);
// As ms_str_to_int for byte-sized fields: hexadecimal as "%02x", decimal as
// "%d" or "%02d" prints it ("7" and "07"). The value is not range-checked.
char ms_str_to_char(char *text, int32_t *out);

// ---------------------------------------------------------------- byte order

// Positions (0..3) of the least and second least significant byte inside a
// 32-bit value in memory, -1 = unknown; bo_ok = 1 on a little-endian host.
// They start as the compiler knows the host and are set by ms_get_byteorder2.
extern int8_t ilsb;
extern int8_t imsb;
extern uint8_t bo_ok;

// Finds ilsb, imsb and bo_ok by looking at the bytes of 0x201 in memory.
void ms_get_byteorder2(void);
// Bits 0..7 and 8..15 of v. 1 an out pointer missing, 2 positions unknown, 0.
char ms_get_bytes2(uint32_t v, uint8_t *lsb, uint8_t *msb);
// Mode 1: the low byte of v, mode 2: the high byte; 0 for any other mode or failure.
uint8_t ms_get_lmsb2(uint32_t v, int mode);
// *out = msb * 256 + lsb (the whole value cleared first). 1 out missing, 0.
char ms_get_lint_b2(uint32_t *out, uint8_t lsb, uint8_t msb);

// ---------------------------------------------------------------- IPv4 texts
//
// The one rule for an IPv4 address text, used by the address field of the
// main window, the link, the IP lists and velquor-cli: four decimal numbers
// 0..255 joined by dots, each written as "%d" prints it, and nothing else (no
// blanks, signs or leading zeros), as the platform's parser reads it. The
// helper library's export ms_get_ipv4_str keeps the same rule in its own
// code, since that library links nothing of the program.

// 1 when the text is not a dotted quad, else 0 ("0.0.0.0" is valid).
char ms_is_not_ipv4_u_std(const char *s);
// 1 not a dotted quad, 2 all four numbers 0 (no address), 4 255.255.255.255
// (the limited broadcast, which no converter has), 0 an address a link may
// use. Unless the result is 1, *addr_be (when given) holds the address in
// network byte order.
char ms_ipv4_addr(const char *s, uint32_t *addr_be);
// ms_ipv4_addr without the address.
char ms_is_not_ipv4(const char *s);
// 1 when the text is exactly "0.0.0.0" (no address set), else 0.
char ms_is_std_ip(const char *s);
// Writes "0.0.0.0" into buf (8 bytes). 1 buf missing, 0.
char ms_set_std_ipv4(char *buf);
