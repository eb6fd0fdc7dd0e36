// Link selection and byte transport: the link mode, the open parameters, the
// opening and closing of the link, the converter packet of an IP link, and the
// traffic log.
//
// Writes and reads go to the serial primitives of the helper library on RS232
// and to the converter protocol on IP and IP list. Each transfer is logged when
// the Debug view is shown or a log file is open: one line with the prefix "W:"
// or "R:", six blanks, and every byte as "%02X ".
//
// Sections: state; traffic log; converter; open data and names; opening and
// closing; moving bytes; mode switching.
#include "velquor/link/com_link.h"

#include "velquor/link/com_ser_lib.h"
#include "velquor/operations/vf_ipl.h"
#include "velquor/ui/screen.h"

#include <cstring>

// ---------------------------------------------------------------- state

int32_t com_mode = com_mode_rs232;
int syscom = -1;
odat_ser com_dat = {&syscom, {0}};
odat_ip ip_dat = {&syscom, {0}, eth_conv_port};
ip_com_configT ipcom_conf = {9600, 'N', 'E', 8, 2, 0, 0, 1000, 5};
uint8_t eth_buffer[eth_buffer_size];
FILE *fpc = nullptr;

uint8_t logcom = 0;                    // configuration module: traffic logging to a file
char fpath_log[1024] = ".\\test.txt";  // configuration module: path of the traffic log
int32_t sysmode = 0;                   // configuration module: the current view
int32_t sys_baud = 115200;             // configuration module: baud rate for firmware updates

namespace {

// ---------------------------------------------------------------- traffic log

constexpr size_t log_line_size = 2048;  // at most 2047 characters and the NUL
constexpr char log_prefix_w[] = "W:      ";
constexpr char log_prefix_r[] = "R:      ";
constexpr char log_separator[] = "\n/*********************************/\n\n";

// Logs one transfer: to the debug text in the Debug view, to the log file when
// one is open. Read lines end in a blank before the line end, write lines not.
// Each byte is "%02X " (two upper-case digits and a blank), filled in directly.
void log_transfer(bool is_read, const uint8_t *buff, uint32_t n) {
    if (sysmode != sysmode_debug && !fpc) return;
    static_assert(sizeof log_prefix_r == sizeof log_prefix_w);
    static constexpr char hex[] = "0123456789ABCDEF";
    char line[log_line_size];
    std::memcpy(line, is_read ? log_prefix_r : log_prefix_w, sizeof log_prefix_r);
    size_t len = sizeof log_prefix_r - 1;
    for (uint32_t i = 0; buff && i < n && len + 3 < sizeof line; ++i) {
        line[len++] = hex[buff[i] >> 4];
        line[len++] = hex[buff[i] & 0x0F];
        line[len++] = ' ';
    }
    line[len] = '\0';
    if (sysmode == sysmode_debug) add_debug_str(line);
    if (fpc) std::fprintf(fpc, is_read ? "%s \n" : "%s\n", line);
}

void log_open(void) {
    if (fpc) {  // a log left open by an opening without its close is ended first
        std::fputs(log_separator, fpc);
        std::fclose(fpc);
        fpc = nullptr;
    }
    if (logcom && fpath_log[0]) fpc = std::fopen(fpath_log, "a");
}

void log_close(void) {
    if (!fpc) return;
    std::fputs(log_separator, fpc);
    std::fclose(fpc);
    fpc = nullptr;
}

bool mode_is_ip(int32_t mode) { return mode == com_mode_ip || mode == com_mode_ipl; }

// Copies at most n characters of src (nullptr = empty) into dst of n + 1 bytes.
void copy_text(char *dst, const char *src, size_t n) {
    size_t i = 0;
    for (; src && i < n && src[i]; ++i) dst[i] = src[i];
    dst[i] = '\0';
}

// Converter baud code of a rate.
uint8_t aknord_baud_code(int32_t baud) {
    switch (baud) {
    case 115200: return 1;
    case 57600: return 2;
    case 38400: return 3;
    case 19200: return 4;
    default: return 5;
    }
}

}  // namespace

void mc_log_create(void) {
    if (!logcom || !fpath_log[0]) return;
    FILE *f = std::fopen(fpath_log, "w");
    if (f) std::fclose(f);
}

// ---------------------------------------------------------------- converter

char aknord_set_baud(int /*s*/, int32_t baudrate) {
    ipcom_conf.baudrate = baudrate;
    return 0;
}

char aknord_set_flow(int /*s*/, char flow) {
    ipcom_conf.flow = flow;
    return 0;
}

char aknord_set_datamote(int /*s*/, char ndat, char stb, char par) {
    ipcom_conf.databits = ndat;
    ipcom_conf.stoppbits = stb;
    ipcom_conf.par = par;
    return 0;
}

uint32_t aknord_build(const uint8_t *buffer, uint32_t bufflen, uint8_t *out) {
    if (!out) return 0;
    const uint8_t head[10] = {2, uint8_t(ipcom_conf.par == 'E' ? 0x81 : 0x80), 3, 'N', 5, 0, 4, 0,
                              1, aknord_baud_code(ipcom_conf.baudrate)};
    std::memcpy(out, head, sizeof head);
    uint32_t len = sizeof head;
    const uint32_t n = buffer ? (bufflen < aknord_max_data ? bufflen : aknord_max_data) : 0;
    for (uint32_t k = 0; k < n; ++k) {
        out[len++] = 0;
        out[len++] = buffer[k];
    }
    return len;
}

char aknord_send(int s, const uint8_t *buffer, uint32_t bufflen) {
    if (!buffer || bufflen == 0) return 10;
    const uint32_t len = aknord_build(buffer, bufflen, eth_buffer);
    return eth_send(s, eth_buffer, len);
}

char aknord_read(int s, uint8_t *buffer, uint32_t bufflen, uint32_t *nread) {
    if (!buffer) return 10;
    uint32_t count = 0;
    char rv = 0;
    while (count < bufflen) {
        int32_t got = 0;
        rv = eth_recv(s, buffer + count, 1, &got);
        if (rv != 0) break;
        ++count;
    }
    if (nread) *nread = count;
    return rv;
}

char aknord_send_std_baud(int s) {
    static const uint8_t std_baud[2] = {0x01, 0x05};
    return eth_send(s, std_baud, sizeof std_baud);
}

// ---------------------------------------------------------------- open data and names

void reset_ip_com_conf(void) {
    ipcom_conf.timeout_multi = 1000;
    ipcom_conf.par = 'E';
}

void set_ipcom_conf(uint8_t to, uint8_t par) {
    reset_ip_com_conf();
    ipcom_conf.timeout = to;
    ipcom_conf.par = par ? 'N' : 'E';
}

char set_opendat_ser(odat_ser *ser, int *cp, const char *intf) {
    if (!ser) return 1;
    ser->cp = cp;
    copy_text(ser->intf, intf, intf_name_size - 1);
    return 0;
}

char set_opendat_ip(odat_ip *ipdat, int *sock, const char *ip, uint32_t port) {
    if (!ipdat) return 1;
    ipdat->sock = sock;
    copy_text(ipdat->ip, ip, intf_name_size - 1);
    ipdat->port = port;
    return 0;
}

void init_op_dat(int32_t mode, const char *intf, int *port, uint8_t to, uint8_t parno) {
    set_ipcom_conf(to, parno);
    if (mode == com_mode_rs232) {
        set_opendat_ser(&com_dat, port, intf);
    } else if (mode_is_ip(mode)) {
        set_opendat_ip(&ip_dat, port, intf, eth_conv_port);
    }
}

void get_intf_name(uint8_t nr, const char *ip, int8_t ipx, char *s) {
    if (!s) return;
    if (com_mode == com_mode_rs232) {
        std::snprintf(s, intf_name_size, "Com%d", int(nr));
    } else if (com_mode == com_mode_ip) {
        copy_text(s, ip, intf_name_size - 1);
    } else if (com_mode == com_mode_ipl) {
        copy_text(s, list_get_ip(ipx), intf_name_size - 1);
    }
}

void get_intf_name_sub(uint8_t nr, const char *ip, int8_t ipx, char *s, int32_t sub) {
    if (!s) return;
    if (com_mode == com_mode_ipl) {
        copy_text(s, list_get_ip_sub(ipx, sub), intf_name_size - 1);
    } else {
        get_intf_name(nr, ip, ipx, s);
    }
}

// ---------------------------------------------------------------- opening and closing

char mc_open_mycom(const void *op_dat, int mode) {
    if (!op_dat) return 3;
    log_open();
    if (mode == 0) {
        const auto *ser = static_cast<const odat_ser *>(op_dat);
        return mc_ser_open(ser->cp, ser->intf);
    }
    if (mode == 1) {
        const auto *ipd = static_cast<const odat_ip *>(op_dat);
        if (!ipd->sock) return 3;
        if (*ipd->sock != -1) return 1;  // a socket still open is not overwritten
        const char rv = eth_ping_ip(ipd->ip);
        if (rv != 0) return rv;
        return eth_opensoc_tcp(ipd->sock, ipd->ip, ipd->port, ipcom_conf.timeout,
                               ipcom_conf.timeout_multi);
    }
    return 3;
}

void mc_close_syscom(void) {
    log_close();
    if (com_mode == com_mode_rs232) {
        mc_ser_close(&syscom);
    } else if (mode_is_ip(com_mode)) {
        if (syscom != -1) aknord_send_std_baud(syscom);
        eth_closesoc(&syscom);
    }
}

// ---------------------------------------------------------------- moving bytes

char mc_write_xcom(int *port, const uint8_t *buff, uint32_t nbuff) {
    log_transfer(false, buff, nbuff);
    if (mode_is_ip(com_mode)) return port ? aknord_send(*port, buff, nbuff) : 6;
    if (com_mode == com_mode_rs232) return port ? mc_ser_write(*port, buff, nbuff) : 6;
    return 7;
}

char mc_write_syscom(const uint8_t *buff, uint32_t nbuff) {
    if (com_mode == com_mode_rs232) return mc_write_xcom(&syscom, buff, nbuff);
    if (mode_is_ip(com_mode)) return mc_write_xcom(ip_dat.sock, buff, nbuff);
    return 7;
}

char mc_read_xcom(int *port, uint8_t *buff, uint32_t nbuff, uint32_t *nread) {
    uint32_t got = 0;
    char rv;
    if (com_mode == com_mode_rs232) {
        rv = port ? mc_ser_read(*port, buff, nbuff, &got) : 6;
    } else if (mode_is_ip(com_mode)) {
        rv = port ? aknord_read(*port, buff, nbuff, &got) : 6;
    } else {
        return 11;
    }
    if (got > nbuff) got = nbuff;
    if (nread) *nread = got;
    log_transfer(true, buff, got);
    return rv;
}

char mc_read_syscom(uint8_t *buff, uint32_t nbuff, uint32_t *nread) {
    if (com_mode == com_mode_rs232) return mc_read_xcom(&syscom, buff, nbuff, nread);
    if (mode_is_ip(com_mode)) return mc_read_xcom(ip_dat.sock, buff, nbuff, nread);
    return 11;
}

// ---------------------------------------------------------------- mode switching

char mw_set_mode3(int32_t modenew, int32_t *modevar) {
    if (!modevar) return 0;
    const bool changed = *modevar != modenew;
    *modevar = modenew;
    return changed ? 1 : 0;
}

char set_com_mode(int32_t mode) {
    const int32_t old = com_mode;
    com_mode = is_inet ? mode : com_mode_rs232;
    if (com_mode == old) return 0;
    if (sysmode == sysmode_firm && mode_is_ip(com_mode) && sys_baud == 115200) sys_baud = 38400;
    if (com_mode == com_mode_ipl) sys_baud = 9600;
    return 1;
}

char set_mode(int32_t mode) {
    if (!mw_set_mode3(mode, &sysmode)) return 0;
    if (com_mode == com_mode_ipl) sys_baud = 9600;
    return 1;
}
