// Reads a pseudo-terminal slave's line settings through its master. The termios2 record of
// <asm/termbits.h> carries any baud rate (BOTHER), which the program's serial layer uses; that
// header clashes with glibc's <termios.h>, so it lives alone in this file. On Linux a mode
// ioctl on the master acts on the slave, so this sees what the program set on its side.
#include "zs_internal.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>
#include <cerrno>

// Rates of the classic Bxxx codes, indexed by code (CBAUDEX codes from 0010001 on).
static uint32_t rate_of_code(unsigned code) {
    static const uint32_t low[] = {0,   50,   75,   110,  134,  150,  200,   300,
                                   600, 1200, 1800, 2400, 4800, 9600, 19200, 38400};
    static const uint32_t high[] = {57600,   115200,  230400,  460800,  500000,
                                    576000,  921600,  1000000, 1152000, 1500000,
                                    2000000, 2500000, 3000000, 3500000, 4000000};
    if (code < 16) return low[code];
    if (code >= 0010001 && code - 0010001 < sizeof high / sizeof high[0])
        return high[code - 0010001];
    return 0;
}

int zs_pty_read_settings(int master, uint32_t *baud, uint8_t *data_bits, uint8_t *stop_bits) {
    struct termios2 t;
    int rc;
    do {
        rc = ioctl(master, TCGETS2, &t);
    } while (rc < 0 && errno == EINTR);
    if (rc < 0) return ZS_SYS;
    const unsigned code = t.c_cflag & CBAUD;
    *baud = code == BOTHER ? t.c_ospeed : rate_of_code(code);
    switch (t.c_cflag & CSIZE) {
    case CS5: *data_bits = 5; break;
    case CS6: *data_bits = 6; break;
    case CS7: *data_bits = 7; break;
    default: *data_bits = 8; break;
    }
    *stop_bits = (t.c_cflag & CSTOPB) ? 2 : 1;
    return ZS_OK;
}
