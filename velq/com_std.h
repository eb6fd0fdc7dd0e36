// The helper library's exports: plain C functions, bound by name at run time.
//
// Every handle lives in the caller: a port handle is the int file descriptor
// of an opened serial device (-1 = closed), a window handle an int of the
// window layer (-1 = no window). Results are small codes; the serial ones are
// the link's communication error ids (0 = success). The library keeps no
// state between calls and has no start or end call of its own.
//
// Only the functions declared here leave the library (VELQ_EXPORT); the build
// hides everything else. Inside the library the exports never call each other
// but share hidden helpers, so that a program symbol of the same name (the
// program keeps bound pointers named like several exports) can never stand in
// for one of them.
#pragma once

#include <cstdint>

#define VELQ_EXPORT extern "C" __attribute__((visibility("default")))

// ---------------------------------------------------------------- serial port (com_action_dll)

// Opens the device `intf` ("ComN", N = 1..99, through the platform's port
// table, or a device path beginning with "/") into *hcom. 10 no hcom, 2 no or
// empty name, 1 *hcom not -1 (left untouched), 3 the device could not be
// opened or is in use (*hcom = -1), 0 opened.
VELQ_EXPORT char mc_opencom_rs232(int *hcom, const char *intf);
// Closes *cp when it is not -1 and sets it to -1; nothing otherwise.
VELQ_EXPORT void mc_CloseCom_rs232(int *cp);
// Per-byte read time-out of the port in ms. 6 no port, 4 the time-outs could
// not be read, 9 not set, 0 done.
VELQ_EXPORT char set_comm_timeouts_zelb(int hcom, uint32_t tor);
// Writes the n_buff bytes and drains the port. 10 no buffer or n_buff 0, 6 no
// port, 7 not all bytes written, 0 done.
VELQ_EXPORT char mc_writecom_buff_rs232(int hcom, const unsigned char *buff, uint32_t n_buff);
// Reads byte by byte, at most 127 bytes a call; *s_read (may be nullptr) =
// bytes stored. 10 no buffer or nbuff 0, 6 no port, 11 a read failed, 12 the
// time-out ran out (or more than 127 bytes were asked) before nbuff bytes, 0.
VELQ_EXPORT char mc_read_com_buff_rs232(int hcom, unsigned char *buff, uint32_t nbuff,
                                        uint32_t *s_read);

// ---------------------------------------------------------------- version (dll_main)

VELQ_EXPORT uint8_t dll_get_main_ver(void);
VELQ_EXPORT uint32_t dll_get_sub_ver(void);

// ---------------------------------------------------------------- windows (winfuncs_dll)

// 10 for hwnd -1, 1 when the check box or radio button is marked, else 0.
VELQ_EXPORT char mw_butt_is_checked(int hwnd);
// Enables (enab non-zero) or disables the window; nothing for -1.
VELQ_EXPORT void mw_enab_butt(int hwnd, int enab);
// Modal OK box owned by hwnd; nothing for hwnd -1 or a missing text. The
// style picks the icon by its lowest set bit: 1 stop, 2 question, 4 warning.
VELQ_EXPORT void mw_alert(int hwnd, const char *title, const char *text, char style);
// Modal Yes/No box: 0 Yes, 1 No, 2 for hwnd -1 or a missing text.
VELQ_EXPORT char mw_quest(int hwnd, const char *title, const char *text, char style);
// Attaches menu resource `id` to main window hwnd (menus are registered
// process-wide, so hInst is not needed). 1 no such menu or hwnd -1, 2 could
// not be attached, 0 done.
VELQ_EXPORT char mw_select_menu(void *hInst, int hwnd, int id);
// Sets (check non-zero) or clears the mark of menu item `id`. 1 hwnd -1, 2 the
// window has no menu, 3 no such item, 0 done.
VELQ_EXPORT char mw_check_menu(int hwnd, int id, int check);

// ---------------------------------------------------------------- strings (velq_str_dll)

// 1 when li is outside 0..255, else 0.
VELQ_EXPORT char ms_is_not_uchar_li(int32_t li);
// 1 when li < 0, else 0.
VELQ_EXPORT char ms_is_not_uint_li(int32_t li);
// Writes "b4.b3.b2.b1" into s, which holds at least 16 bytes. 1 no s, 0 done.
VELQ_EXPORT int32_t ms_get_ipv4_4b(char *s, uint8_t b4, uint8_t b3, uint8_t b2, uint8_t b1);
// Checks a dotted quad, first number into *b4. 1 an argument missing, 2 s
// empty, 3 fewer than four numbers, 4 a number outside 0..255, 5 not in the
// canonical form (leading zeros, blanks, signs, anything behind), 0 valid.
// The bytes are left alone for 1 and 2, are 0 for 3 to 5 and hold the
// address for 0.
VELQ_EXPORT int32_t ms_get_ipv4_str(const char *s, uint8_t *b4, uint8_t *b3, uint8_t *b2,
                                    uint8_t *b1);
// Exchanges the first n bytes of two buffers. 1 a buffer missing or n 0, else 0.
VELQ_EXPORT char ms_swap_buffer(void *buff1, void *buff2, uint32_t n);
// ms_swap_buffer of one byte and of four bytes (two 32-bit values).
VELQ_EXPORT char ms_swap_buffer_uc(void *buff1, void *buff2);
VELQ_EXPORT char ms_swap_buffer_li(void *buff1, void *buff2);
