// Device link: the serial primitives of the helper library as the link calls
// them. The library's exports are bound by name at start-up; these wrappers call
// the bound functions and report 3 ("can not open port") while nothing is bound,
// so that a missing binding is a result code and never a null call.
#pragma once

#include <cstdint>

char mc_ser_open(int *hcom, const char *intf);
void mc_ser_close(int *hcom);
char mc_ser_timeouts(int hcom, uint32_t tor);
char mc_ser_write(int hcom, const uint8_t *buff, uint32_t n);
// *got = bytes stored (0 when the call failed before reading).
char mc_ser_read(int hcom, uint8_t *buff, uint32_t n, uint32_t *got);
