// Device link: the I2C bus on the parallel port, which reaches a display's DDC
// EEPROM through a small adapter. The program is the only bus master: it
// drives the clock and data lines itself by writing the port's data register
// and reads the data line back from its status register, through the two
// functions of the port-I/O library bound at start-up.
//
// Data register: bit 0 SCL (1 released), bit 1 SDA as driven (1 released),
// bit 2 the supply of the bus side, bit 7 the loop-back output of the adapter
// test. Status register: bit 6 SDA as seen on the bus, bit 7 the loop-back
// input, which reads the inverse of data bit 7 while the adapter is plugged.
//
// The same EEPROM can also be reached over a graphics card's DDC lines, an
// i2c-dev bus, where the kernel's driver is the master: then I2C_WR3 and
// I2C_R3 are one transfer each, and the adapter test, the supply and the bare
// conditions have nothing to do.
#pragma once

#include <cstdint>

// I/O addresses of LPT1..4: data registers and status registers (configuration
// keys ik_ddc_1 .. ik_ddc_4 and ik_ddc_1s .. ik_ddc_4s). Port n uses entry n - 1.
constexpr int lpt_n_ports = 4;
extern uint32_t lptport[lpt_n_ports];
extern uint32_t lptportstat[lpt_n_ports];

// LPT1..4 at 0x378, 0x278, 0x3BC, 0x378, each status register one above.
void reset_ddc_port(void);

// The selected register pair (0x378 and 0x379 until a port is selected).
extern uint32_t sys_lport;
extern uint32_t sys_lport_stat;

// The two functions of the port-I/O library, bound by sys_load_port_io
// (nullptr before): read a register (the low 8 bits count), write one.
using inp32_fn = short (*)(short port);
using out32_fn = void (*)(short port, short value);
extern inp32_fn Inp32;
extern out32_fn Out32;

// Register accesses made so far (reads and writes), for measurements.
extern uint64_t i2c_accesses;
// Shortest time between two register accesses, in nanoseconds: the bus runs
// at the speed of the accesses, and a level written twice must last the
// standard mode's 4.7 us of a low clock. 0 lets the accesses run as they come.
extern uint32_t i2c_access_ns;

// The i2c-dev bus to use instead of the parallel port ("/dev/i2c-N"); empty
// for the parallel port.
extern char ddc_i2c_dev[96];

// The parallel port: selects the register pair of port intf (1..4): 0, or 6
// "port not specified" with the selection left as it was. An i2c-dev bus:
// opens it, 0, or 3 "can not open port" with mc_fail_where and mc_fail_why
// set. to and bus are not used.
char mc_open_ddc(uint8_t intf, uint8_t to, uint8_t bus);
// Closes the I2C link: the i2c-dev bus when one is open (the parallel port
// needs no closing).
void mc_close_ddc(void);

// The adapter test: 1 found; 0 not found with sys_rv 21. Leaves the supply off.
// An i2c-dev bus has no adapter: 1.
char I2C_get_cable(void);
// The supply of the bus side off (both lines low) or on (both lines low); 1.
// Nothing to do on an i2c-dev bus, whose supply the graphics card keeps on.
char I2C_pw_off(void);
char I2C_pw_on(void);
// Start, repeated start and stop conditions; 0. Nothing on an i2c-dev bus.
char I2C_send_start(void);
char I2C_send_rpstart(void);
char I2C_send_stop(void);
// Ten start-stop pairs, which bring every device on the bus to idle; 1.
char I2C_send_start_stop_loop(void);
// Clocks out dat, most significant bit first, and reads the acknowledge:
// 0 acknowledged, 1 not (sys_rv 14).
char I2C_wdat(uint8_t dat);
// Clocks in one byte and answers it with no acknowledge.
uint8_t I2C_rdat(void);
// Writes dat to word address sub of device adr: 0, or 1 at the first byte not
// acknowledged (no stop condition then; sys_rv 14). On an i2c-dev bus a
// transfer that failed otherwise gives sys_rv 7, and the traffic log says why.
char I2C_WR3(uint8_t adr, uint8_t sub, uint8_t dat);
// Reads word address sub of device adr into *dat: 0, or 1 when a byte was not
// acknowledged (a stop condition is sent either way; sys_rv 14), or on an
// i2c-dev bus when the transfer failed otherwise (sys_rv 11).
char I2C_R3(uint8_t adr, uint8_t sub, uint8_t *dat);
