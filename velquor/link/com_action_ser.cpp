// Serial settings of the link: the line parameters for the monitor protocol
// (9600 baud, 8 data bits, 1 stop bit, even parity or none) and for the boot
// loader (57600 baud 8N1), on a local port through the platform's serial layer
// or, through the converter parameters, on a serial-to-IP converter; the
// per-byte read time-out; and the openings that combine both.
//
// Sections: helper-library primitives; port settings; interface settings;
// openings.
#include "velquor/link/com_link.h"

#include "platform/serial.h"
#include "velquor/link/com_aknord.h"
#include "velquor/link/com_poi.h"
#include "velquor/link/com_ser_lib.h"

// ---------------------------------------------------------------- helper-library primitives
//
// The start-up binding (vqsystem) fills these pointers from the helper
// library's exports; while one is null the call reports 3.

char (*mc_opencom)(int *hcom, const char *intf) = nullptr;
void (*mc_CloseCom)(int *cp) = nullptr;
char (*set_comm_timeouts_zelb)(int hcom, uint32_t tor) = nullptr;
char (*mc_read_com_buff)(int hcom, uint8_t *buff, uint32_t nbuff, uint32_t *s_read) = nullptr;
char (*mc_writecom_buff)(int hcom, const uint8_t *buff, uint32_t n_buff) = nullptr;

char mc_ser_open(int *hcom, const char *intf) {
    return mc_opencom ? mc_opencom(hcom, intf) : char(mc_e_n_op_comp);
}

void mc_ser_close(int *hcom) {
    if (mc_CloseCom) mc_CloseCom(hcom);
}

char mc_ser_timeouts(int hcom, uint32_t tor) {
    return set_comm_timeouts_zelb ? set_comm_timeouts_zelb(hcom, tor) : char(mc_e_n_op_comp);
}

char mc_ser_write(int hcom, const uint8_t *buff, uint32_t n) {
    return mc_writecom_buff ? mc_writecom_buff(hcom, buff, n) : char(mc_e_n_op_comp);
}

char mc_ser_read(int hcom, uint8_t *buff, uint32_t n, uint32_t *got) {
    if (got) *got = 0;
    return mc_read_com_buff ? mc_read_com_buff(hcom, buff, n, got) : char(mc_e_n_op_comp);
}

// ---------------------------------------------------------------- port settings

namespace {

// Reads the port's settings, sets rate and byte frame, writes them back. The
// platform layer keeps flow control, modem-line control and character handling
// off on every port it opens, so only rate and frame change here.
char set_comm_state(int hcom, uint32_t baud, plat::Parity parity) {
    if (hcom == -1) return mc_e_n_comp;
    plat::SerialSettings s;
    if (plat::ser_get_settings(hcom, &s) != plat::SER_OK) return mc_e_n_r_compe;
    s.baud = baud;
    s.data_bits = 8;
    s.stop_bits = 1;
    s.parity = parity;
    if (plat::ser_set_settings(hcom, s) != plat::SER_OK) return mc_e_n_w_compe;
    return mc_e_ok;
}

uint32_t conf_timeout_ms(const ip_com_configT *conf) {
    return uint32_t(conf->timeout) * conf->timeout_multi;
}

// Stores the converter's line parameters (rate, no flow control, 8 data bits,
// the stop bits, the parity of conf) for the link's socket and sets the
// socket's time-out: a fresh socket has none, and a silent peer behind the
// converter would block the worker for good.
char set_converter(const ip_com_configT *conf, int32_t baud, char stop_bits) {
    if (!ip_dat.sock) return mc_e_n_comp;
    const int sock = *ip_dat.sock;
    const uint32_t ms = conf_timeout_ms(conf);
    const char par = conf->par;
    aknord_set_baud(sock, baud);
    aknord_set_flow(sock, 'N');
    aknord_set_datamote(sock, 8, stop_bits, par);
    return eth_set_timeout(sock, ms);
}

}  // namespace

char set_comm_state_zelb(int hcom, uint8_t parno) {
    return set_comm_state(hcom, 9600, parno ? plat::Parity::None : plat::Parity::Even);
}

char set_comm_state_boot(int hcom) { return set_comm_state(hcom, 57600, plat::Parity::None); }

// ---------------------------------------------------------------- interface settings

char mc_set_intf_zelb(int mode, const ip_com_configT *conf) {
    if (!conf) return mc_e_n_w_compe;
    if (mode == mc_open_ser) {
        const char rv = set_comm_state_zelb(syscom, conf->par == 'N');
        if (rv != mc_e_ok) return rv;
        return mc_ser_timeouts(syscom, conf_timeout_ms(conf));
    }
    if (mode == mc_open_tcp) return set_converter(conf, 9600, 2);
    return mc_e_ok;
}

// The socket's time-out is set for the boot loader as well (set_converter).
char mc_set_intf_boot(int mode, const ip_com_configT *conf) {
    if (!conf) return mc_e_n_w_compe;
    if (mode != mc_open_tcp) return mc_e_ok;
    return set_converter(conf, 57600, 1);
}

// ---------------------------------------------------------------- openings

char mc_opencom_zelb(void) {
    char rv;
    if (com_mode == com_mode_rs232) {
        rv = mc_open_mycom(&com_dat, mc_open_ser);
        return rv ? rv : mc_set_intf_zelb(mc_open_ser, &ipcom_conf);
    }
    if (com_mode == com_mode_ip || com_mode == com_mode_ipl) {
        rv = mc_open_mycom(&ip_dat, mc_open_tcp);
        return rv ? rv : mc_set_intf_zelb(mc_open_tcp, &ipcom_conf);
    }
    return mc_e_ok;
}

char mc_opencom_zelb_info(void) {
    ipcom_conf.timeout_multi = 100;
    return mc_opencom_zelb();
}

char mc_opencom_boot(void) {
    char rv;
    if (com_mode == com_mode_rs232) {
        rv = mc_open_mycom(&com_dat, mc_open_ser);
        if (rv == mc_e_ok) rv = set_comm_state_boot(syscom);
        if (rv == mc_e_ok) rv = mc_ser_timeouts(syscom, conf_timeout_ms(&ipcom_conf));
        return rv;
    }
    if (com_mode == com_mode_ip || com_mode == com_mode_ipl) {
        rv = mc_open_mycom(&ip_dat, mc_open_tcp);
        return rv ? rv : mc_set_intf_boot(mc_open_tcp, &ipcom_conf);
    }
    return mc_e_ok;
}
