// The helper library's string functions as the program calls them: pointers
// bound by name at start-up (vqsystem) and nullptr until then. Callers test
// the pointer before a call. Defined in velq_str.cpp.
#pragma once

#include <cstdint>

// 1 when li is outside 0..255, else 0.
extern char (*ms_is_not_uchar_li)(int32_t li);
// Dotted quad to four bytes (first number into *b4): 0 valid; 1 an argument
// missing, 2 empty, 3 fewer than four numbers, 4 a number outside 0..255,
// 5 not the canonical form.
extern int32_t (*ms_get_ipv4_str)(const char *s, uint8_t *b4, uint8_t *b3, uint8_t *b2,
                                  uint8_t *b1);
// Four bytes to "b4.b3.b2.b1" in s (16 bytes): 0, or 1 when s is missing.
extern int32_t (*ms_get_ipv4_4b)(char *s, uint8_t b4, uint8_t b3, uint8_t b2, uint8_t b1);
// Exchange one byte / four bytes of two buffers: 0, or 1 when one is missing.
extern char (*ms_swap_buffer_uc)(void *buff1, void *buff2);
extern char (*ms_swap_buffer_li)(void *buff1, void *buff2);
