// Link selection and byte transport: the link mode, the open parameters, the
// opening and closing of the link, and the traffic log.
//
// Writes and reads go to the serial primitives of the helper library on RS232
// and to the converter protocol (com_aknord.h) on IP and IP list. The discard
// of waiting input goes straight to the platform's serial and socket layers on
// the same descriptor: the helper library has no such primitive, and the
// converter hands its answers through plain. Each transfer is logged when the
// Debug view is shown or a log file is open: one line with the prefix "W:" or
// "R:", six blanks, and every byte as "%02X "; the Debug view's memo receives
// it through the window seam. Discarded bytes are logged as read lines.
//
// Sections: state; traffic log; open data; opening and closing; moving bytes;
// mode switching.
#include "velquor/link/com_link.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "platform/net.h"
#include "platform/serial.h"
#include "velquor/link/com_aknord.h"
#include "velquor/link/com_ser_lib.h"
#include "velquor/ui/win_seam.h"
#include "velquor/util/files.h"

// ---------------------------------------------------------------- state

int32_t com_mode = com_mode_rs232;
int syscom = -1;
char mc_fail_where[96] = "";
char mc_fail_why[128] = "";
odat_ser com_dat = {&syscom, {0}};
odat_ip ip_dat = {&syscom, {0}, eth_conv_port};
ip_com_configT ipcom_conf = {9600, 'N', 'E', 8, 2, 0, 0, 1000, 5};
uint8_t eth_buffer[eth_buffer_size];
FILE *fpc = nullptr;

uint8_t logcom = 0;
char fpath_log[1024] = "./test.txt";
int32_t sysmode = view_fs;
int32_t sys_baud = 115200;

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
    if (sysmode != view_debug && !fpc) return;
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
    if (sysmode == view_debug) win_debug_line(line);
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

}  // namespace

char mc_log_create(void) {
    if (!logcom || !fpath_log[0]) return mfe_ok;
    FILE *f = std::fopen(fpath_log, "w");
    if (!f) return mfe_open;
    std::fclose(f);
    return mfe_ok;
}

void mc_log_note(const char *text) {
    if (!text) return;
    if (sysmode == view_debug) win_debug_line(text);
    if (fpc) std::fprintf(fpc, "/* %s */\n", text);
}

// ---------------------------------------------------------------- open data

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

// ---------------------------------------------------------------- opening and closing

void mc_open_failed(const char *where, const char *why) {
    std::snprintf(mc_fail_where, sizeof mc_fail_where, "%s", where);
    std::snprintf(mc_fail_why, sizeof mc_fail_why, "%s", why);
    char note[sizeof mc_fail_where + sizeof mc_fail_why + 16];
    std::snprintf(note, sizeof note, "open %s: %s", mc_fail_where, mc_fail_why);
    mc_log_note(note);
}

namespace {

// The reason of a failed serial opening of `intf`.
void serial_failed(const char *intf, char rv) {
    char path[96];
    if (!intf || !plat::ser_resolve_name(intf, path, sizeof path))
        std::snprintf(path, sizeof path, "%s", intf ? intf : "");
    char why[128];
    if (rv == mc_e_port_used)
        std::snprintf(why, sizeof why, "already open");
    else if (rv == mc_e_miss_path)
        std::snprintf(why, sizeof why, "no port named");
    else
        plat::ser_explain_open(path, plat::ser_last_errno(), why, sizeof why);
    mc_open_failed(path, why);
}

// The reason of a failed TCP opening (the ICMP echo or the connect) of `ip`.
void tcp_failed(const char *ip, uint32_t port, char rv, bool echo) {
    char where[96];
    std::snprintf(where, sizeof where, "%s:%u", ip, unsigned(port));
    char why[128];
    if (rv == mc_e_ip || rv == mc_e_miss_path)
        std::snprintf(why, sizeof why, "not an address a converter can have");
    else if (echo && rv == mc_e_n_op_comp)
        std::snprintf(why, sizeof why, "no answer to the ICMP echo");
    else if (echo)
        std::snprintf(why, sizeof why, "no ICMP echo: %s", std::strerror(plat::net_last_errno()));
    else if (rv == mc_e_to)
        std::snprintf(why, sizeof why, "no connection within %u ms",
                      unsigned(ipcom_conf.timeout) * ipcom_conf.timeout_multi);
    else
        std::snprintf(why, sizeof why, "%s", std::strerror(plat::net_last_errno()));
    why[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(why[0])));
    mc_open_failed(where, why);
}

}  // namespace

char mc_open_mycom(const void *op_dat, int mode) {
    if (!op_dat) return mc_e_n_op_comp;
    mc_fail_where[0] = mc_fail_why[0] = '\0';
    log_open();
    if (mode == mc_open_ser) {
        const auto *ser = static_cast<const odat_ser *>(op_dat);
        const char rv = mc_ser_open(ser->cp, ser->intf);
        if (rv != mc_e_ok) serial_failed(ser->intf, rv);
        return rv;
    }
    if (mode == mc_open_tcp) {
        const auto *ipd = static_cast<const odat_ip *>(op_dat);
        if (!ipd->sock) return mc_e_n_op_comp;
        if (*ipd->sock != -1) return mc_e_port_used;  // a socket still open is not overwritten
        char rv = eth_ping_ip(ipd->ip);
        if (rv != mc_e_ok) {
            tcp_failed(ipd->ip, ipd->port, rv, true);
            return rv;
        }
        rv = eth_opensoc_tcp(ipd->sock, ipd->ip, ipd->port, ipcom_conf.timeout,
                             ipcom_conf.timeout_multi);
        if (rv != mc_e_ok) tcp_failed(ipd->ip, ipd->port, rv, false);
        return rv;
    }
    return mc_e_n_op_comp;
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
    if (mode_is_ip(com_mode)) return port ? aknord_send(*port, buff, nbuff) : char(mc_e_n_comp);
    if (com_mode == com_mode_rs232)
        return port ? mc_ser_write(*port, buff, nbuff) : char(mc_e_n_comp);
    return mc_e_w_dat;
}

char mc_write_syscom(const uint8_t *buff, uint32_t nbuff) {
    if (com_mode == com_mode_rs232) return mc_write_xcom(&syscom, buff, nbuff);
    if (mode_is_ip(com_mode)) return mc_write_xcom(ip_dat.sock, buff, nbuff);
    return mc_e_w_dat;
}

char mc_read_xcom(int *port, uint8_t *buff, uint32_t nbuff, uint32_t *nread) {
    uint32_t got = 0;
    char rv;
    if (com_mode == com_mode_rs232) {
        rv = port ? mc_ser_read(*port, buff, nbuff, &got) : char(mc_e_n_comp);
    } else if (mode_is_ip(com_mode)) {
        rv = port ? aknord_read(*port, buff, nbuff, &got) : char(mc_e_n_comp);
    } else {
        return mc_e_r_dat;
    }
    if (got > nbuff) got = nbuff;
    if (nread) *nread = got;
    log_transfer(true, buff, got);
    return rv;
}

char mc_read_syscom(uint8_t *buff, uint32_t nbuff, uint32_t *nread) {
    if (com_mode == com_mode_rs232) return mc_read_xcom(&syscom, buff, nbuff, nread);
    if (mode_is_ip(com_mode)) return mc_read_xcom(ip_dat.sock, buff, nbuff, nread);
    return mc_e_r_dat;
}

namespace {

// Bytes taken per platform call; each chunk is one read line of the log.
constexpr uint32_t discard_chunk = 256;
static_assert(discard_max_bytes % discard_chunk == 0);

// One chunk of the input of `port` without waiting: 0 (*got bytes in buf), or
// 11 when the port or socket failed or the peer has closed.
char discard_chunk_of(bool ip, int port, uint8_t *buf, uint32_t *got) {
    size_t n = 0;
    const bool ok = ip ? plat::net_discard_input(port, buf, discard_chunk, &n) == plat::NET_OK
                       : plat::ser_discard_input(port, buf, discard_chunk, &n) == plat::SER_OK;
    *got = n > discard_chunk ? discard_chunk : uint32_t(n);
    return ok ? char(mc_e_ok) : char(mc_e_r_dat);
}

}  // namespace

char mc_discard_syscom(void) {
    const bool ip = mode_is_ip(com_mode);
    if (!ip && com_mode != com_mode_rs232) return mc_e_r_dat;
    const int port = ip ? (ip_dat.sock ? *ip_dat.sock : -1) : syscom;
    if (port == -1) return mc_e_n_comp;
    uint8_t buf[discard_chunk];
    for (uint32_t done = 0; done < discard_max_bytes; done += discard_chunk) {
        uint32_t got = 0;
        const char rv = discard_chunk_of(ip, port, buf, &got);
        if (got > 0) log_transfer(true, buf, got);
        if (rv != mc_e_ok || got < discard_chunk) return rv;
    }
    return mc_e_ok;
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
    if (sysmode == view_firm && mode_is_ip(com_mode) && sys_baud == 115200) sys_baud = 38400;
    if (com_mode == com_mode_ipl) sys_baud = 9600;
    return 1;
}

char set_mode(int32_t mode) {
    if (!mw_set_mode3(mode, &sysmode)) return 0;
    if (com_mode == com_mode_ipl) sys_baud = 9600;
    return 1;
}
