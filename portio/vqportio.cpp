// libvqportio.so: 8-bit port I/O for the program's I2C adapter, through the
// Linux parallel-port devices (portio_sys.h describes the port table). The
// devices are released and closed when the library is unloaded.
#include "portio/portio_exports.h"
#include "portio/portio_sys.h"

extern "C" {

VQPORTIO_EXPORT short Inp32(short port) { return vqportio::inp(port); }

VQPORTIO_EXPORT void Out32(short port, short value) { vqportio::out(port, value); }

VQPORTIO_EXPORT const char *vqportio_status(void) { return vqportio::status(); }
}
