// Device link: the helper library's serial primitives as bound pointers.
//
// The start-up binding fills these from the helper library's exports by name;
// the link calls them only through the wrappers of com_ser_lib.h, which report
// 3 ("can not open port") while a pointer is null. A program or test that runs
// without the helper library may point them at its own implementations of the
// same contract before it opens a link.
#pragma once

#include <cstdint>

// Opens the device `intf` into *hcom: 10 no hcom, 2 no name, 1 already open,
// 3 open failed, else 0.
extern char (*mc_opencom)(int *hcom, const char *intf);
// Closes *cp when it is not -1 and sets it to -1.
extern void (*mc_CloseCom)(int *cp);
// Read time-out of the port: a read gives up `tor` ms after the last byte.
// 6 no port, 4 time-outs unreadable, 9 not settable, else 0.
extern char (*set_comm_timeouts_zelb)(int hcom, uint32_t tor);
// Reads up to nbuff bytes byte by byte within the time-out; *s_read = bytes
// stored. 10 no buffer, 6 no port, 12 fewer bytes than asked, else 0.
extern char (*mc_read_com_buff)(int hcom, uint8_t *buff, uint32_t nbuff, uint32_t *s_read);
// Writes all n_buff bytes and drains: 10 no buffer, 6 no port, 7 short, else 0.
extern char (*mc_writecom_buff)(int hcom, const uint8_t *buff, uint32_t n_buff);
