// I2C buses through i2c-dev: opening with a check that the adapter makes plain
// combined transfers, and one transfer per call through the I2C_RDWR ioctl.
#include "i2c.h"

#include "dev_explain.h"

#include <fcntl.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <cerrno>

namespace plat {
namespace {

int sys_open(const char *path, int flags) { return ::open(path, flags); }
int sys_close(int fd) { return ::close(fd); }
int sys_ioctl(int fd, unsigned long req, void *arg) { return ::ioctl(fd, req, arg); }

const I2cSys kDefaultSys = {sys_open, sys_close, sys_ioctl};
I2cSys g_sys = kDefaultSys;

thread_local int t_errno = 0;

int fail(int code) {
    t_errno = errno;
    return code;
}

// ioctl that retries EINTR.
int xioctl(int fd, unsigned long req, void *arg) {
    int r;
    do {
        r = g_sys.ioctl(fd, req, arg);
    } while (r < 0 && errno == EINTR);
    return r;
}

}  // namespace

int i2c_open(const char *path, int *fd) {
    if (!fd) return I2C_BAD_ARG;
    *fd = -1;
    if (!path || !*path) return I2C_BAD_ARG;
    t_errno = 0;
    int h;
    do {
        h = g_sys.open(path, O_RDWR | O_CLOEXEC);
    } while (h < 0 && errno == EINTR);
    if (h < 0) return fail(I2C_NO_DEVICE);
    unsigned long funcs = 0;
    if (xioctl(h, I2C_FUNCS, &funcs) < 0) {
        const int rc = fail(I2C_NO_DEVICE);
        g_sys.close(h);
        return rc;
    }
    // SMBus-only adapters cannot make the write-then-read of one transfer.
    if (!(funcs & I2C_FUNC_I2C)) {
        t_errno = ENOTTY;
        g_sys.close(h);
        return I2C_NO_DEVICE;
    }
    *fd = h;
    return I2C_OK;
}

void i2c_close(int *fd) {
    if (!fd || *fd < 0) return;
    g_sys.close(*fd);
    *fd = -1;
}

int i2c_transfer(int fd, uint8_t addr, const uint8_t *w, size_t wn, uint8_t *r, size_t rn) {
    if (fd < 0 || addr > 0x7F || (wn == 0 && rn == 0) || (wn && !w) || (rn && !r))
        return I2C_BAD_ARG;
    if (wn > 0xFFFF || rn > 0xFFFF) return I2C_BAD_ARG;
    struct i2c_msg msgs[2];
    unsigned n = 0;
    if (wn) msgs[n++] = {addr, 0, static_cast<__u16>(wn), const_cast<uint8_t *>(w)};
    if (rn) msgs[n++] = {addr, I2C_M_RD, static_cast<__u16>(rn), r};
    struct i2c_rdwr_ioctl_data data = {msgs, n};
    t_errno = 0;
    if (xioctl(fd, I2C_RDWR, &data) >= 0) return I2C_OK;
    // Drivers tell a missing acknowledge by ENXIO (the documented code),
    // EREMOTEIO or EIO; an EEPROM in its write cycle answers so too.
    if (errno == ENXIO || errno == EREMOTEIO || errno == EIO) return fail(I2C_NAK);
    return fail(I2C_IO);
}

int i2c_last_errno() { return t_errno; }

void i2c_explain_open(const char *path, int err, char *out, size_t n) {
    explain_open_dev(path, err, "an I2C bus", "i2c", out, n);
}

I2cSys &i2c_sys() { return g_sys; }
void i2c_sys_reset() { g_sys = kDefaultSys; }

}  // namespace plat
