// I2C buses through Linux i2c-dev (/dev/i2c-N), as a graphics card offers its
// display's DDC lines: the kernel's driver is the bus master, and a transfer
// is one combined message sequence (a write, a repeated start, a read) that
// the driver clocks out and ends with a stop condition.
//
// Every system call goes through i2c_sys(), a table that tests replace to put
// a device of their own on the bus.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plat {

enum I2cResult : int {
    I2C_OK = 0,
    I2C_BAD_ARG = 1,    // missing pointer, -1 handle, nothing to transfer, 7-bit address > 0x7F
    I2C_NO_DEVICE = 2,  // open failed, or the device is not an I2C bus that does plain transfers
    I2C_NAK = 3,        // no device acknowledged (absent, or busy with its write cycle)
    I2C_IO = 4,         // the transfer failed otherwise (bus error, adapter gone)
};

// Opens the bus at `path` for reading and writing; *fd holds the descriptor.
// I2C_NO_DEVICE, with errno kept for i2c_explain_open, when it cannot be
// opened or cannot make combined transfers.
int i2c_open(const char *path, int *fd);
// Closes; *fd = -1. Nothing for -1 or nullptr.
void i2c_close(int *fd);
// One transfer to the device at 7-bit address `addr`: writes `wn` bytes, then,
// when `rn` > 0, a repeated start and reads `rn` bytes into `r`. Either part
// may be empty, not both.
int i2c_transfer(int fd, uint8_t addr, const uint8_t *w, size_t wn, uint8_t *r, size_t rn);

// errno of the last failing system call in this thread, 0 if none.
int i2c_last_errno();
// Why `path` could not be opened as a bus, in words for the operator ("no such
// device", "permission denied (join group i2c)" or the like (explain_permission),
// "not an I2C bus", ...).
void i2c_explain_open(const char *path, int err, char *out, size_t n);

// System calls used by this layer, swappable by tests (i2c_sys_reset restores).
struct I2cSys {
    int (*open)(const char *path, int flags);
    int (*close)(int fd);
    int (*ioctl)(int fd, unsigned long req, void *arg);
};
I2cSys &i2c_sys();
void i2c_sys_reset();

}  // namespace plat
