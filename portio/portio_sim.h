// The simulated I2C adapter on the port pair 0x378/0x379 with a 24C02-style
// EEPROM behind it: the core of libvqportio_sim.so, called directly by tests.
//
// Data register (written): bit 0 SCL (1 = released), bit 1 SDA (1 = released),
// bit 2 supply of the bus side (1 = on), bit 7 loop-back output.
// Status register (read): bit 6 SDA on the bus, bit 7 the loop-back input,
// which the port inverts; every other bit reads 0. An unplugged adapter reads
// 0xC0 (floating inputs). Other addresses read 0xFF and ignore writes.
//
// The state lives in the directory named by the environment variable
// VELQUOR_PORTIO_SIM, read on first use and again each time the supply is
// switched on (so a test switches directories by setting the variable and
// cycling the supply). Its files:
//   eeprom.bin  the EEPROM's contents, 128 bytes (256 when the file holds 256);
//               made, filled with 0xFF, when missing; rewritten (beside, then
//               renamed) when a write cycle completes
//   plugged     present: the adapter is on the port (the loop-back works)
//   board       present: a monitor (the EEPROM) is on the bus
//   wp          present: the EEPROM's write protection is on: it acknowledges
//               writes but keeps its contents
//   log         present: one line is appended per completed transaction
//               ("W A0 12 34", "R A0 12 -> 56", "NAK A0")
// plugged, board, wp and log are looked at when the supply is switched on and
// at each START condition. Without the variable nothing is plugged.
#pragma once

namespace vqportio::sim {

inline constexpr const char *kDirVariable = "VELQUOR_PORTIO_SIM";

short inp(short port);
void out(short port, short value);
// Completes a pending write cycle, switches the supply off and forgets all
// state, as if the library had just been loaded.
void shutdown();

}  // namespace vqportio::sim
