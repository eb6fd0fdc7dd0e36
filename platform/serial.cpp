// Serial ports on termios2: open and lock, line settings with any baud rate,
// reads with a per-port time-out, writes that drain, the discard of what is
// waiting in the input, and the COM-name table.
//
// The descriptor stays non-blocking: reads wait in poll() for the port's
// time-out and then take what is there, writes wait in poll() when the driver's
// buffer is full. <asm/termbits.h> gives termios2 and BOTHER; it clashes with
// glibc's <termios.h>, so this file must not include that header.
#include "serial.h"

#include "dev_explain.h"
#include "io_stop.h"

#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

namespace plat {
namespace {

int sys_open(const char *path, int flags) { return ::open(path, flags); }
int sys_close(int fd) { return ::close(fd); }
ssize_t sys_read(int fd, void *buf, size_t n) { return ::read(fd, buf, n); }
ssize_t sys_write(int fd, const void *buf, size_t n) { return ::write(fd, buf, n); }
int sys_ioctl(int fd, unsigned long req, void *arg) { return ::ioctl(fd, req, arg); }
int sys_poll(struct pollfd *fds, unsigned long nfds, int timeout_ms) {
    return ::poll(fds, static_cast<nfds_t>(nfds), timeout_ms);
}

const SerialSys kDefaultSys = {sys_open, sys_close, sys_read, sys_write, sys_ioctl, sys_poll};
SerialSys g_sys = kDefaultSys;

thread_local int t_errno = 0;

// Per-port data: the settings found at open (restored at close) and the read
// time-out. Keyed by descriptor.
struct PortInfo {
    struct termios2 saved;
    uint32_t read_timeout_ms;
    // The byte frame last set. A pseudo-terminal's driver forces 8 data bits
    // and no parity into its settings, so these are reported as set.
    bool have_frame;
    uint8_t data_bits;
    Parity parity;
};
std::mutex g_ports_mu;
std::map<int, PortInfo> g_ports;

// How long a write may stall on a full buffer before it counts as failed.
constexpr int kWriteStallMs = 5000;

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

struct BaudCode {
    unsigned code;
    uint32_t baud;
};
constexpr BaudCode kBauds[] = {
    {B50, 50},         {B75, 75},         {B110, 110},       {B134, 134},       {B150, 150},
    {B200, 200},       {B300, 300},       {B600, 600},       {B1200, 1200},     {B1800, 1800},
    {B2400, 2400},     {B4800, 4800},     {B9600, 9600},     {B19200, 19200},   {B38400, 38400},
    {B57600, 57600},   {B115200, 115200}, {B230400, 230400}, {B460800, 460800}, {B500000, 500000},
    {B576000, 576000}, {B921600, 921600},
};

uint32_t baud_of(const struct termios2 &t) {
    unsigned code = t.c_cflag & CBAUD;
    if (code == BOTHER) return t.c_ospeed;
    for (const BaudCode &b : kBauds)
        if (b.code == code) return b.baud;
    return t.c_ospeed;
}

bool known_port(int fd) {
    std::lock_guard<std::mutex> lk(g_ports_mu);
    return g_ports.count(fd) > 0;
}

// COM table. Paths live in fixed slots so that pointers handed out stay valid.
// `path` holds the path set explicitly, `found` the device ser_find_ports gave
// the number ("" = none).
constexpr size_t kPathMax = 256;
struct ComEntry {
    bool set;
    char path[kPathMax];
    char found[kPathMax];
};
std::mutex g_com_mu;
ComEntry g_com[100];

// The path of COM n (1..99): the one set, else the one found, else the
// default, which is written into its slot. g_com_mu held.
const char *com_path_locked(int n) {
    ComEntry &e = g_com[n];
    if (e.set) return e.path;
    if (e.found[0]) return e.found;
    snprintf(e.path, sizeof e.path, "/dev/ttyS%d", n - 1);
    return e.path;
}

}  // namespace

int ser_open(const char *path, int *fd) {
    if (!path || !fd || !*path) return SER_BAD_ARG;
    *fd = -1;
    int h;
    do {
        h = g_sys.open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (h < 0 && errno == EINTR);
    if (h < 0) return fail(errno == EBUSY ? SER_BUSY : SER_NO_DEVICE);

    struct termios2 saved;
    if (xioctl(h, TCGETS2, &saved) < 0) {  // not a terminal
        fail(0);
        g_sys.close(h);
        return SER_NO_DEVICE;
    }
    // TIOCEXCL keeps other openers out (except privileged ones); the advisory
    // lock also keeps out a second opener that runs as root, as tests do.
    if (flock(h, LOCK_EX | LOCK_NB) < 0) {
        fail(0);
        g_sys.close(h);
        return SER_BUSY;
    }
    xioctl(h, TIOCEXCL, nullptr);

    struct termios2 t = saved;
    t.c_iflag &=
        ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK);
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~(CRTSCTS | HUPCL);
    t.c_cflag |= CREAD | CLOCAL;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    if (xioctl(h, TCSETS2, &t) < 0) {
        fail(0);
        flock(h, LOCK_UN);
        g_sys.close(h);
        return SER_IO;
    }
    int lines = TIOCM_DTR | TIOCM_RTS;
    xioctl(h, TIOCMBIC, &lines);  // a pseudo-terminal has no modem lines: ignore

    {
        std::lock_guard<std::mutex> lk(g_ports_mu);
        g_ports[h] = PortInfo{saved, 0, false, 8, Parity::None};
    }
    *fd = h;
    t_errno = 0;
    return SER_OK;
}

void ser_close(int *fd) {
    if (!fd || *fd < 0) return;
    int h = *fd;
    *fd = -1;
    bool have = false;
    struct termios2 saved;
    {
        std::lock_guard<std::mutex> lk(g_ports_mu);
        auto it = g_ports.find(h);
        if (it != g_ports.end()) {
            saved = it->second.saved;
            have = true;
            g_ports.erase(it);
        }
    }
    if (have) {
        xioctl(h, TCSETS2, &saved);
        xioctl(h, TIOCNXCL, nullptr);
        flock(h, LOCK_UN);
    }
    g_sys.close(h);
}

int ser_get_settings(int fd, SerialSettings *out) {
    if (fd < 0 || !out) return SER_BAD_ARG;
    struct termios2 t;
    if (xioctl(fd, TCGETS2, &t) < 0) return fail(SER_IO);
    out->baud = baud_of(t);
    switch (t.c_cflag & CSIZE) {
    case CS5: out->data_bits = 5; break;
    case CS6: out->data_bits = 6; break;
    case CS7: out->data_bits = 7; break;
    default: out->data_bits = 8; break;
    }
    if (!(t.c_cflag & PARENB))
        out->parity = Parity::None;
    else
        out->parity = (t.c_cflag & PARODD) ? Parity::Odd : Parity::Even;
    out->stop_bits = (t.c_cflag & CSTOPB) ? 2 : 1;
    std::lock_guard<std::mutex> lk(g_ports_mu);
    auto it = g_ports.find(fd);
    if (it != g_ports.end() && it->second.have_frame) {
        out->data_bits = it->second.data_bits;
        out->parity = it->second.parity;
    }
    return SER_OK;
}

int ser_set_settings(int fd, const SerialSettings &s) {
    if (fd < 0 || s.baud == 0 || s.data_bits < 5 || s.data_bits > 8 ||
        (s.stop_bits != 1 && s.stop_bits != 2) || static_cast<uint8_t>(s.parity) > 2)
        return SER_BAD_ARG;
    struct termios2 t;
    if (xioctl(fd, TCGETS2, &t) < 0) return fail(SER_IO);
    t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT) | CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    // Standard rates keep their classic code, so tools that read the line
    // with plain termios see them; any other rate goes through BOTHER.
    unsigned code = BOTHER;
    for (const BaudCode &b : kBauds)
        if (b.baud == s.baud) code = b.code;
    t.c_cflag |= code | (code << IBSHIFT) | CREAD | CLOCAL;
    t.c_ispeed = t.c_ospeed = s.baud;
    static const unsigned kSize[] = {CS5, CS6, CS7, CS8};
    t.c_cflag |= kSize[s.data_bits - 5];
    if (s.parity == Parity::Even) t.c_cflag |= PARENB;
    if (s.parity == Parity::Odd) t.c_cflag |= PARENB | PARODD;
    if (s.stop_bits == 2) t.c_cflag |= CSTOPB;
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (xioctl(fd, TCSETS2, &t) < 0) return fail(SER_IO);
    std::lock_guard<std::mutex> lk(g_ports_mu);
    auto it = g_ports.find(fd);
    if (it != g_ports.end()) {
        it->second.have_frame = true;
        it->second.data_bits = s.data_bits;
        it->second.parity = s.parity;
    }
    return SER_OK;
}

int ser_set_read_timeout(int fd, uint32_t ms) {
    std::lock_guard<std::mutex> lk(g_ports_mu);
    auto it = g_ports.find(fd);
    if (it == g_ports.end()) return SER_BAD_ARG;
    it->second.read_timeout_ms = ms;
    return SER_OK;
}

int ser_get_read_timeout(int fd, uint32_t *ms) {
    if (!ms) return SER_BAD_ARG;
    std::lock_guard<std::mutex> lk(g_ports_mu);
    auto it = g_ports.find(fd);
    if (it == g_ports.end()) return SER_BAD_ARG;
    *ms = it->second.read_timeout_ms;
    return SER_OK;
}

int ser_read(int fd, uint8_t *buf, size_t n, size_t *got) {
    if (got) *got = 0;
    if (fd < 0 || !buf || !got) return SER_BAD_ARG;
    if (n == 0) return SER_OK;
    uint32_t tmo = 0;
    {
        std::lock_guard<std::mutex> lk(g_ports_mu);
        auto it = g_ports.find(fd);
        if (it != g_ports.end()) tmo = it->second.read_timeout_ms;
    }
    // The port and the I/O stop: a raised stop ends the wait at once.
    struct pollfd ps[2] = {{fd, POLLIN, 0}, {io_stop_fd(), POLLIN, 0}};
    const unsigned long np = ps[1].fd >= 0 ? 2 : 1;
    struct pollfd &p = ps[0];
    if (io_stop_raised()) return SER_STOPPED;
    int timeout = tmo > 0x7fffffffu ? 0x7fffffff : static_cast<int>(tmo);
    int r;
    do {
        r = g_sys.poll(ps, np, timeout);
    } while (r < 0 && errno == EINTR);  // a signal restarts the whole wait: rare
    if (r < 0) return fail(SER_IO);
    if (r == 0) return SER_OK;  // time-out, nothing read
    if (np == 2 && (ps[1].revents & POLLIN)) return SER_STOPPED;
    if (!(p.revents & POLLIN)) {
        // Only a hang-up or error: the peer is gone, which reads as silence
        // for one time-out (the pty master of a stopped simulator).
        if (p.revents & (POLLERR | POLLNVAL)) return fail(SER_IO);
        return SER_OK;
    }
    ssize_t k;
    do {
        k = g_sys.read(fd, buf, n);
    } while (k < 0 && errno == EINTR);
    if (k < 0) {
        if (errno == EAGAIN) return SER_OK;
        if (errno == EIO) return SER_OK;  // pty without a master: silence
        return fail(SER_IO);
    }
    *got = static_cast<size_t>(k);
    return SER_OK;
}

int ser_write(int fd, const uint8_t *buf, size_t n, size_t *put) {
    if (put) *put = 0;
    if (fd < 0 || (!buf && n > 0)) return SER_BAD_ARG;
    size_t done = 0;
    while (done < n) {
        ssize_t k = g_sys.write(fd, buf + done, n - done);
        if (k < 0 && errno == EINTR) continue;
        if (k < 0 && errno == EAGAIN) {
            struct pollfd p[2] = {{fd, POLLOUT, 0}, {io_stop_fd(), POLLIN, 0}};
            int r = g_sys.poll(p, p[1].fd >= 0 ? 2 : 1, kWriteStallMs);
            if (r < 0 && errno == EINTR) continue;
            if (r > 0 && p[1].fd >= 0 && (p[1].revents & POLLIN)) {
                if (put) *put = done;
                return SER_STOPPED;
            }
            if (r <= 0) {
                if (put) *put = done;
                return fail(SER_IO);
            }
            continue;
        }
        if (k <= 0) {
            if (put) *put = done;
            return fail(SER_IO);
        }
        done += static_cast<size_t>(k);
    }
    if (put) *put = done;
    // Drain: returns when the bytes have left the driver (at once on a pty).
    if (known_port(fd)) xioctl(fd, TCSBRK, reinterpret_cast<void *>(1));
    return SER_OK;
}

int ser_discard_input(int fd, uint8_t *buf, size_t n, size_t *got) {
    if (got) *got = 0;
    if (fd < 0 || !buf || !got) return SER_BAD_ARG;
    size_t taken = 0;
    int rc = SER_OK;
    while (taken < n) {
        // A poll that does not wait first, so that a descriptor in blocking
        // mode is read only when a byte is there.
        struct pollfd p = {fd, POLLIN, 0};
        const int r = g_sys.poll(&p, 1, 0);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) {
            rc = fail(SER_IO);
            break;
        }
        if (r == 0) break;  // nothing left
        if (!(p.revents & POLLIN)) {
            if (p.revents & (POLLERR | POLLNVAL)) rc = fail(SER_IO);
            break;  // a hang-up alone: nothing to take
        }
        const ssize_t k = g_sys.read(fd, buf + taken, n - taken);
        if (k < 0 && errno == EINTR) continue;
        if (k < 0 && errno != EAGAIN && errno != EIO) rc = fail(SER_IO);
        if (k <= 0) break;  // EIO: a pty without a master, as in ser_read
        taken += static_cast<size_t>(k);
    }
    *got = taken;
    return rc;
}

int ser_last_errno() { return t_errno; }

void ser_explain_open(const char *path, int err, char *out, size_t n) {
    explain_open_dev(path, err, "a serial port", "dialout", out, n);
}

bool ser_set_com_path(int n, const char *path) {
    if (n < 1 || n > 99) return false;
    std::lock_guard<std::mutex> lk(g_com_mu);
    ComEntry &e = g_com[n];
    if (!path || !*path) {
        e.set = false;
        e.path[0] = 0;
        return true;
    }
    if (strlen(path) >= kPathMax) return false;
    strcpy(e.path, path);
    e.set = true;
    return true;
}

bool ser_set_com_default(int n, const char *path) {
    if (n < 1 || n > 99) return false;
    if (path && strlen(path) >= kPathMax) return false;
    std::lock_guard<std::mutex> lk(g_com_mu);
    snprintf(g_com[n].found, sizeof g_com[n].found, "%s", path ? path : "");
    return true;
}

const char *ser_com_path(int n) {
    if (n < 1 || n > 99) return nullptr;
    std::lock_guard<std::mutex> lk(g_com_mu);
    return com_path_locked(n);
}

bool ser_com_path_is_set(int n) {
    if (n < 1 || n > 99) return false;
    std::lock_guard<std::mutex> lk(g_com_mu);
    return g_com[n].set;
}

bool ser_resolve_name(const char *name, char *out, size_t outsz) {
    if (!name || !out || outsz == 0) return false;
    out[0] = 0;
    const char *src = nullptr;
    char tmp[kPathMax];
    if (name[0] == '/') {
        src = name;
    } else {
        if (strncasecmp(name, "com", 3) != 0) return false;
        const char *d = name + 3;
        size_t nd = strspn(d, "0123456789");
        if (nd < 1 || nd > 2 || d[nd] != 0) return false;
        int n = atoi(d);  // NOLINT(cert-err34-c): d is one or two digits, checked above
        if (n < 1 || n > 99) return false;
        std::lock_guard<std::mutex> lk(g_com_mu);
        snprintf(tmp, sizeof tmp, "%s", com_path_locked(n));
        src = tmp;
    }
    size_t len = strlen(src);
    if (len >= outsz) return false;
    memcpy(out, src, len + 1);
    return true;
}

SerialSys &ser_sys() { return g_sys; }
void ser_sys_reset() { g_sys = kDefaultSys; }

}  // namespace plat
