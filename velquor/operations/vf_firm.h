// The firmware update: sending an Intel-HEX firmware file (or the built-in
// image) to the monitors of a line at a raised baud rate. So far this module
// holds its settings; the update's steps come with the update itself. The
// rate chosen for the update, sys_baud, belongs to the link (com_link.h),
// which lowers it for the IP links.
#pragma once

#include <cstdint>

#include "velquor/util/files.h"  // cfg_path_size

// The firmware file of the update and the bootstrap (configuration key ik_firmpath).
extern char firmpath[cfg_path_size];
// Special handling of firmware 5.068 (ik_firmspec).
extern uint8_t firm_68;
// "High Monitor-Timeout": wait 10 s more before the first line (ik_firm_hito).
extern uint8_t firm_hito;
