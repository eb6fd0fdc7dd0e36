// Device link: the I2C bus on the parallel port, which reaches a display's DDC
// EEPROM through a small adapter. So far it holds the port table; the bus
// itself comes with the DDC operations.
#pragma once

#include <cstdint>

// I/O addresses of LPT1..4: data registers and status registers (configuration
// keys ik_ddc_1 .. ik_ddc_4 and ik_ddc_1s .. ik_ddc_4s). Port n uses entry n - 1.
constexpr int lpt_n_ports = 4;
extern uint32_t lptport[lpt_n_ports];
extern uint32_t lptportstat[lpt_n_ports];

// LPT1..4 at 0x378, 0x278, 0x3BC, 0x378, each status register one above.
void reset_ddc_port(void);

// Closes the I2C link. The parallel port needs no closing: nothing to do.
void mc_close_ddc(void);
