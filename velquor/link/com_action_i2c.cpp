// The I2C bus on the parallel port: the port table, the selection and the bus
// primitives, each an exact sequence of register writes and status reads; or
// an i2c-dev bus, where each read and write of a byte is one transfer.
#include "velquor/link/com_i2c.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "platform/i2c.h"
#include "velquor/link/com_action.h"
#include "velquor/link/com_link.h"
#include "velquor/ui/err_texts.h"

uint32_t lptport[lpt_n_ports] = {0x378, 0x278, 0x3BC, 0x378};
uint32_t lptportstat[lpt_n_ports] = {0x379, 0x279, 0x3BD, 0x379};
uint32_t sys_lport = 0x378;
uint32_t sys_lport_stat = 0x379;
inp32_fn Inp32 = nullptr;
out32_fn Out32 = nullptr;
uint64_t i2c_accesses = 0;
uint32_t i2c_access_ns = 2500;
char ddc_i2c_dev[96] = "";

namespace {

int i2c_fd = -1;

bool on_i2c_dev(void) { return ddc_i2c_dev[0] != '\0'; }

// One transfer on the i2c-dev bus for I2C_WR3 and I2C_R3: 0, or 1 with sys_rv
// 14 (not acknowledged) or fail_id (the transfer failed otherwise, noted in
// the traffic log).
char dev_transfer(uint8_t adr, const uint8_t *w, size_t wn, uint8_t *r, size_t rn,
                  uint8_t fail_id) {
    ++i2c_accesses;
    const int rc = plat::i2c_transfer(i2c_fd, static_cast<uint8_t>(adr >> 1), w, wn, r, rn);
    if (rc == plat::I2C_OK) return 0;
    if (rc == plat::I2C_NAK) {
        sys_rv = mc_e_n_ack;
        return 1;
    }
    char note[160];
    std::snprintf(note, sizeof note, "%s: %s", ddc_i2c_dev,
                  i2c_fd < 0 ? "not open" : std::strerror(plat::i2c_last_errno()));
    mc_log_note(note);
    sys_rv = fail_id;
    return 1;
}

}  // namespace

void reset_ddc_port(void) {
    static const uint32_t data[lpt_n_ports] = {0x378, 0x278, 0x3BC, 0x378};
    for (int i = 0; i < lpt_n_ports; ++i) {
        lptport[i] = data[i];
        lptportstat[i] = data[i] + 1;
    }
}

char mc_open_ddc(uint8_t intf, uint8_t to, uint8_t bus) {
    (void)to;
    (void)bus;
    if (on_i2c_dev()) {
        mc_fail_where[0] = mc_fail_why[0] = '\0';
        plat::i2c_close(&i2c_fd);
        if (plat::i2c_open(ddc_i2c_dev, &i2c_fd) == plat::I2C_OK) return mc_e_ok;
        char why[128];
        plat::i2c_explain_open(ddc_i2c_dev, plat::i2c_last_errno(), why, sizeof why);
        mc_open_failed(ddc_i2c_dev, why);
        return mc_e_n_op_comp;
    }
    if (intf < 1 || intf > lpt_n_ports) return mc_e_n_comp;
    sys_lport = lptport[intf - 1];
    sys_lport_stat = lptportstat[intf - 1];
    return mc_e_ok;
}

void mc_close_ddc(void) { plat::i2c_close(&i2c_fd); }

namespace {

using Clock = std::chrono::steady_clock;
Clock::time_point last_access;

// Holds the accesses at least i2c_access_ns apart: a port that answers faster
// than the bus devices allow would otherwise shorten the clock's levels.
void pace(void) {
    ++i2c_accesses;
    if (i2c_access_ns == 0) return;
    const auto due = last_access + std::chrono::nanoseconds(i2c_access_ns);
    Clock::time_point now = Clock::now();
    while (now < due) now = Clock::now();
    last_access = now;
}

void w(uint8_t v) {
    pace();
    if (Out32) Out32(static_cast<short>(sys_lport), static_cast<short>(v));
}

void w(std::initializer_list<uint8_t> vs) {
    for (uint8_t v : vs) w(v);
}

uint8_t r(void) {
    pace();
    return Inp32 ? static_cast<uint8_t>(Inp32(static_cast<short>(sys_lport_stat)) & 0xFF) : 0xFF;
}

constexpr uint8_t stat_sda = 0x40, stat_loop = 0x80;

}  // namespace

char I2C_get_cable(void) {
    sys_rv = 0;
    if (on_i2c_dev()) return 1;
    w(0);
    if (!(r() & stat_loop)) {
        sys_rv = mc_e_flush;
        return 0;
    }
    w(128);
    if (r() & stat_loop) {
        sys_rv = mc_e_flush;
        return 0;
    }
    return 1;
}

char I2C_pw_off(void) {
    if (!on_i2c_dev()) w(0);
    return 1;
}

char I2C_pw_on(void) {
    if (!on_i2c_dev()) w(4);
    return 1;
}

char I2C_send_start(void) {
    if (!on_i2c_dev()) w({5, 5, 4, 4});
    return 0;
}

char I2C_send_rpstart(void) {
    if (!on_i2c_dev()) w({6, 6, 7, 7, 5, 5, 4, 4});
    return 0;
}

char I2C_send_stop(void) {
    if (!on_i2c_dev()) w({5, 5, 7, 7});
    return 0;
}

char I2C_send_start_stop_loop(void) {
    if (on_i2c_dev()) return 1;
    for (int i = 0; i < 10; ++i) {
        I2C_send_start();
        I2C_send_stop();
    }
    return 1;
}

char I2C_wdat(uint8_t dat) {
    for (int bit = 7; bit >= 0; --bit) {
        const uint8_t d = (dat >> bit) & 1 ? 6 : 4;
        w({d, uint8_t(d + 1), uint8_t(d + 1), d});
    }
    w({6, 7});
    const bool nak = r() & stat_sda;
    w({7, 4, 4});
    if (nak) {
        sys_rv = mc_e_n_ack;
        return 1;
    }
    return 0;
}

uint8_t I2C_rdat(void) {
    uint8_t b = 0;
    for (int bit = 0; bit < 8; ++bit) {
        w({6, 6, 7});
        b = static_cast<uint8_t>(b << 1 | ((r() & stat_sda) ? 1 : 0));
        w(7);
    }
    w({6, 6, 7, 7, 6, 6, 4, 4});
    return b;
}

char I2C_WR3(uint8_t adr, uint8_t sub, uint8_t dat) {
    if (on_i2c_dev()) {
        const uint8_t b[2] = {sub, dat};
        return dev_transfer(adr, b, 2, nullptr, 0, mc_e_w_dat);
    }
    I2C_send_start();
    if (I2C_wdat(adr) || I2C_wdat(sub) || I2C_wdat(dat)) return 1;
    I2C_send_stop();
    return 0;
}

char I2C_R3(uint8_t adr, uint8_t sub, uint8_t *dat) {
    sys_rv = 0;
    if (on_i2c_dev()) {
        uint8_t b = 0;
        if (dev_transfer(adr, &sub, 1, &b, 1, mc_e_r_dat)) return 1;
        if (dat) *dat = b;
        return 0;
    }
    I2C_send_start();
    bool failed = I2C_wdat(adr) || I2C_wdat(sub);
    if (!failed) {
        I2C_send_rpstart();
        failed = I2C_wdat(static_cast<uint8_t>(adr + 1));
    }
    if (!failed) {
        const uint8_t b = I2C_rdat();
        if (dat) *dat = b;
        failed = sys_rv != 0;
    }
    I2C_send_stop();
    return failed ? 1 : 0;
}
