// DDC/EDID: reading, writing and converting the EDID of a display's DDC EEPROM
// over the I2C adapter on the parallel port. So far this module holds its
// settings; the steps come with the DDC operations. The port table belongs to
// the I2C bus (velquor/link/com_i2c.h).
#pragma once

#include <cstdint>

#include "velquor/util/files.h"  // cfg_path_size

// The EDID file of the DDC view (ik_ddcpath) and its write protection (ik_ddc_prot).
extern char ddcpath[cfg_path_size];
extern uint8_t ddc_prot;
// The parallel port number 1..4 (the view's "LPT:" field).
extern uint8_t ddc_intf;
// I2C bus number and time-out; passed along, they change nothing in the transfers.
extern uint8_t ddc_bus;
extern uint8_t ddc_to;
// 0 while a write series may run; the end of every operation sets 0xFF, which
// ends a running series at its next step.
extern uint8_t ddc_stop;
constexpr uint8_t ddc_stop_all = 0xFF;
