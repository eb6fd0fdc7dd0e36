// libvqportio_sim.so: the port I/O exports over the simulated I2C adapter and
// EEPROM (portio_sim.h), for running the program without the hardware.
#include "portio/portio_exports.h"
#include "portio/portio_sim.h"

extern "C" {

VQPORTIO_EXPORT short Inp32(short port) { return vqportio::sim::inp(port); }

VQPORTIO_EXPORT void Out32(short port, short value) { vqportio::sim::out(port, value); }

// The simulation has no failure to report.
VQPORTIO_EXPORT const char *vqportio_status(void) { return ""; }
}
