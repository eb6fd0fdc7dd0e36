// Serial-port primitives of the helper library over the platform's serial
// layer: open by COM name or device path, close, the per-byte read time-out,
// one write with drain, and the byte-by-byte read.
//
// The read asks the port for one byte at a time. The port's time-out makes
// each such read return at once when a byte is waiting and give up after the
// time-out otherwise, so a silent line costs one time-out and the bytes that
// did arrive are counted. One call reads at most 127 bytes (the counter of the
// board protocol is a signed byte); a longer request stops there with 12
// instead of running the counter past its range.
#include "com_std.h"

#include "platform/serial.h"

namespace {

// Longest device path the port table hands out.
constexpr size_t path_max = 256;
// Bytes one read call stores at most.
constexpr uint32_t read_max = 127;

}  // namespace

char mc_opencom_rs232(int *hcom, const char *intf) {
    if (!hcom) return 10;
    if (!intf || !intf[0]) return 2;
    if (*hcom != -1) return 1;
    char path[path_max];
    int fd = -1;
    if (!plat::ser_resolve_name(intf, path, sizeof path) ||
        plat::ser_open(path, &fd) != plat::SER_OK || fd < 0) {
        *hcom = -1;
        return 3;
    }
    *hcom = fd;
    return 0;
}

void mc_CloseCom_rs232(int *cp) {
    if (!cp || *cp == -1) return;
    plat::ser_close(cp);
    *cp = -1;
}

char set_comm_timeouts_zelb(int hcom, uint32_t tor) {
    if (hcom == -1) return 6;
    uint32_t old = 0;
    if (plat::ser_get_read_timeout(hcom, &old) != plat::SER_OK) return 4;
    if (plat::ser_set_read_timeout(hcom, tor) != plat::SER_OK) return 9;
    return 0;
}

char mc_writecom_buff_rs232(int hcom, const unsigned char *buff, uint32_t n_buff) {
    if (!buff || n_buff == 0) return 10;
    if (hcom == -1) return 6;
    size_t put = 0;
    // ser_write retries short writes and drains the port after a good write.
    if (plat::ser_write(hcom, buff, n_buff, &put) != plat::SER_OK || put != n_buff) return 7;
    return 0;
}

char mc_read_com_buff_rs232(int hcom, unsigned char *buff, uint32_t nbuff, uint32_t *s_read) {
    if (nbuff == 0 || !buff) return 10;
    if (hcom == -1) return 6;
    uint32_t counter = 0;
    char error = 0;
    for (;;) {
        if (counter == nbuff) break;
        if (counter == read_max) {  // the rest needs another call
            error = 12;
            break;
        }
        size_t got = 0;
        if (plat::ser_read(hcom, buff + counter, 1, &got) != plat::SER_OK) {
            error = 11;
            break;
        }
        if (got == 0) {  // the time-out ran out
            error = 12;
            break;
        }
        ++counter;
    }
    if (s_read) *s_read = counter;
    return error;
}
