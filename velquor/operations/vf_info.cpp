// Ping and identification: finding the monitor number that answers on a line
// and reading a monitor's identification into zelb_info_dat.
//
// Sections: settings; ping; identification queries; display formats;
// identification.
#include "velquor/operations/vf_info.h"

#include <cstdio>

#include "velquor/link/com_action.h"
#include "velquor/link/com_link.h"
#include "velquor/operations/vf_end.h"
#include "velquor/operations/vf_ipl.h"
#include "velquor/operations/vf_ring.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/text_ar.h"
#include "velquor/ui/win_seam.h"

zelb_dat_T zelb_info_dat;
uint8_t zelb_info_rv = 0;
uint8_t zelb_ver_old = 255;
uint32_t zelb_disp_old = 0, zelb_rev_old = 0, zelb_dat_old = 0;
uint8_t zelb_firm_typ_old = 0;

// ---------------------------------------------------------------- settings

uint32_t det_zelb_cmd = 0x8E4, det_zelb_val = 0;
uint32_t det_sw_cmd = 0x8E6, det_sw_val = 0;
uint32_t det_dat_cmd = 0x8E7, det_dat_val = 0;
uint32_t det_disp_cmd = 0x8E5, det_disp_val = 0;
uint32_t det_vfreq_cmd = 0x8EA, det_vfreq_val = 0;
uint32_t det_hfreq_cmd = 0x8E9, det_hfreq_val = 0;
uint32_t det_pclk_cmd = 0x8E8, det_pclk_val = 0;

void reset_det_items(void) {
    det_zelb_cmd = 0x8E4;
    det_sw_cmd = 0x8E6;
    det_dat_cmd = 0x8E7;
    det_disp_cmd = 0x8E5;
    det_vfreq_cmd = 0x8EA;
    det_hfreq_cmd = 0x8E9;
    det_pclk_cmd = 0x8E8;
    det_zelb_val = det_sw_val = det_dat_val = det_disp_val = 0;
    det_vfreq_val = det_hfreq_val = det_pclk_val = 0;
}

// ---------------------------------------------------------------- ping

char ping_me2(uint8_t *c) {
    if (c) *c = 0;
    uint32_t cmd = zelb_cmd_ping, val = zelb_val_ping;
    char rv = send_single_send_zelb(0, &cmd, &val, 1);
    if (rv != 0) return rv;
    if (c) *c = static_cast<uint8_t>(val & 0xFF);
    return 0;
}

namespace {

// Opens the session for list entry `sub` (-1 = the address of the mode) and
// pings; sys_zelb_nr = the answered number (0 until then). The link stays open
// only with keep_open and success; a failure is recorded in sys_rv.
char ping_step(int32_t sub, bool show, bool keep_open) {
    sys_zelb_nr = 0;
    char rv = open_my_zelb_sub(sub);
    uint8_t n = 0;
    if (rv == 0) rv = ping_me2(&n);
    if (rv == 0) sys_zelb_nr = n;
    if (!keep_open || rv != 0) mc_close_syscom();
    if (!step_verdict(rv)) return 0;
    if (show) win_ask(wa_zelb_nr);
    return 1;
}

}  // namespace

char ping_me(void) { return ping_step(-1, true, false); }
char ping_me1(void) { return ping_step(-1, false, false); }
char ping_me1_nc(void) { return ping_step(-1, false, true); }

char ping_me_nc_ipl(int32_t sub) { return ping_step(sub, true, true); }

char ping_me_nc(void) { return ping_me_nc_ipl(0); }

// ---------------------------------------------------------------- identification queries

namespace {

// One query: sends cmd/val to nr and returns the answer value in *out. A
// configured command of 0 means "not supported": success without a value.
char query(uint8_t nr, uint32_t cmd, uint32_t val, uint32_t *out) {
    if (!out) return mc_e_no_buff;
    if (cmd == 0) return mc_e_ok;
    uint32_t c = cmd, v = val;
    char rv = send_single_send_zelb(nr, &c, &v, 1);
    if (rv == 0) *out = v;
    return rv;
}

// A query whose result is a field of the answer value: (value >> shift) & mask,
// 0 for a command that is not supported.
char query_field(uint8_t nr, uint32_t cmd, uint32_t val, int shift, uint32_t mask, uint32_t *out) {
    if (!out) return mc_e_no_buff;
    uint32_t v = 0;
    char rv = query(nr, cmd, val, &v);
    if (rv == 0) *out = (v >> shift) & mask;
    return rv;
}

bool gen_1_or_51(uint8_t firm_typ) { return firm_typ == 1 || firm_typ == 51; }

}  // namespace

char zelb_get_typ_nr(uint8_t nr, uint32_t *c, uint8_t firm_typ) {
    if (firm_typ == 2) return query_field(nr, 0x0D31, 0, 8, 0x0F, c);
    if (gen_1_or_51(firm_typ)) return query_field(nr, 0x08E4, 0, 0, 0xFF, c);
    return query_field(nr, det_zelb_cmd, det_zelb_val, 0, 0xFF, c);
}

char zelb_get_rev_nr(uint8_t nr, uint32_t *c, uint8_t firm_typ) {
    if (firm_typ == 2) return query(nr, 0x0D31, 0, c);
    if (gen_1_or_51(firm_typ)) return query(nr, 0x08E6, 0, c);
    return query(nr, det_sw_cmd, det_sw_val, c);
}

char zelb_get_dat_nr(uint8_t nr, uint32_t *c, uint8_t firm_typ) {
    if (firm_typ == 2) return query(nr, 0x0D32, 0, c);
    if (gen_1_or_51(firm_typ)) return query(nr, 0x08E7, 0, c);
    return query(nr, det_dat_cmd, det_dat_val, c);
}

char zelb_get_dsp_num_nr(uint8_t nr, uint32_t *c, uint8_t firm_typ) {
    if (firm_typ == 2) return query_field(nr, 0x0D33, 0, 0, 0x0FFF, c);
    if (gen_1_or_51(firm_typ)) return query_field(nr, 0x08E5, 0, 0, 0x0FFF, c);
    return query_field(nr, det_disp_cmd, det_disp_val, 0, 0x0FFF, c);
}

char zelb_get_vfreq_nr(uint8_t nr, uint32_t *c) {
    return query(nr, det_vfreq_cmd, det_vfreq_val, c);
}
char zelb_get_hfreq_nr(uint8_t nr, uint32_t *c) {
    return query(nr, det_hfreq_cmd, det_hfreq_val, c);
}
char zelb_get_pclk_nr(uint8_t nr, uint32_t *c) { return query(nr, det_pclk_cmd, det_pclk_val, c); }

char zelb_get_typ_nr_b(uint8_t nr, uint32_t *c) { return query_field(nr, 0xB000, 0, 8, 0xFF, c); }
char zelb_get_rev_nr_b(uint8_t nr, uint32_t *c) { return query(nr, 0xB000, 0, c); }
char zelb_get_dat_nr_b(uint8_t nr, uint32_t *c) { return query(nr, 0xB001, 0, c); }
char zelb_get_dsp_num_nr_b(uint8_t nr, uint32_t *c) {
    return query_field(nr, 0xB003, 0, 0, 0x0FFF, c);
}

char zelb_get_firm_typ_nr(uint8_t nr, uint32_t *c) {
    return query_field(nr, 0xB002, 0, 0, 0xFF, c);
}
char zelb_get_firm_typ(uint32_t *c) { return zelb_get_firm_typ_nr(sys_zelb_nr, c); }

char zelb_get_firm_typ_nr_no_b(uint8_t nr, uint8_t *firm_typ) {
    if (!firm_typ) return mc_e_no_buff;
    *firm_typ = 0;
    uint32_t v = 0;
    char rv = query(nr, 0x0D33, 0, &v);
    if (rv == 0) {
        *firm_typ = 2;
        return 0;
    }
    if (rv != mc_e_n_ack) return rv;
    rv = query(nr, 0x08E5, 0, &v);
    if (rv == 0) {
        *firm_typ = 51;
        return 0;
    }
    if (rv == mc_e_n_ack) sys_rv = 0;
    return rv;
}

char zelb_get_typ(uint32_t *c, uint8_t b_run, uint8_t firm_typ) {
    return b_run ? zelb_get_typ_nr_b(sys_zelb_nr, c) : zelb_get_typ_nr(sys_zelb_nr, c, firm_typ);
}
char zelb_get_rev(uint32_t *c, uint8_t b_run, uint8_t firm_typ) {
    return b_run ? zelb_get_rev_nr_b(sys_zelb_nr, c) : zelb_get_rev_nr(sys_zelb_nr, c, firm_typ);
}
char zelb_get_dat(uint32_t *c, uint8_t b_run, uint8_t firm_typ) {
    return b_run ? zelb_get_dat_nr_b(sys_zelb_nr, c) : zelb_get_dat_nr(sys_zelb_nr, c, firm_typ);
}
char zelb_get_dsp_num(uint32_t *c, uint8_t b_run, uint8_t firm_typ) {
    return b_run ? zelb_get_dsp_num_nr_b(sys_zelb_nr, c)
                 : zelb_get_dsp_num_nr(sys_zelb_nr, c, firm_typ);
}

// ---------------------------------------------------------------- display formats

namespace {

struct typ_name {
    uint32_t code;
    const char *name;
};
const typ_name kTypNames[] = {
    {1, "ZELB1Ev1"}, {2, "ZELB1Ev2"},    {3, "ZELB2"},       {4, "QUARDA2A"}, {5, "ZELB3"},
    {31, "ZELB1"},   {32, "ZELB2 6721"}, {33, "ZELB2 6712"}, {34, "QUARDA1"}, {35, "ZELB3"},
};
// Short labels of the firmware variants reported by the boot loader; 1 is the
// board maker's own firmware.
const char *const kFirmLabels[] = {"ZELB", "STD", "OEM", "CUST", "TEST"};

}  // namespace

const char *mc_get_zelb_typ_x(uint32_t code) {
    for (const typ_name &t : kTypNames)
        if (t.code == code) return t.name;
    return scr_get_text_ix(tx_unknown);
}

const char *scr_get_zelb_firm_tp_x(uint32_t code) {
    if (code >= 1 && code <= 5) return kFirmLabels[code - 1];
    return "";
}

char mc_get_zelb_rev_x(uint32_t v, char *s, size_t n) {
    if (!s || n == 0) return 1;
    snprintf(s, n, "%d.%03d", static_cast<int>((v >> 8) & 0xFF), static_cast<int>(v & 0xFF));
    return 0;
}

char mc_get_zelb_dat_x(uint32_t v, char *s, size_t n) {
    if (!s || n == 0) return 1;
    snprintf(s, n, "%02d.%02d. %4d", static_cast<int>(v & 0x1F), static_cast<int>((v >> 5) & 0x0F),
             2000 + static_cast<int>((v >> 9) & 0x7F));
    return 0;
}

void scr_get_zelb_rev(uint32_t v, char *s, size_t n) {
    if (mc_get_zelb_rev_x(v, s, n) != 0 && s && n) snprintf(s, n, "0.000");
}

void scr_get_zelb_dsp(uint32_t v, char *s, size_t n) {
    if (s && n) snprintf(s, n, "0x%03X", static_cast<unsigned>(v));
}

// ---------------------------------------------------------------- identification

void reset_zelb_dat(zelb_dat_T *mp) {
    if (!mp) return;
    *mp = zelb_dat_T{};
    mp->zelb_ver = 255;
}

void reset_info_vals(void) { reset_zelb_dat(&zelb_info_dat); }

void zelb_info_format(const zelb_dat_T *d, zelb_info_lines *out) {
    if (!d || !out) return;
    snprintf(out->typ, sizeof out->typ, "%s", mc_get_zelb_typ_x(d->zelb_ver));
    scr_get_zelb_dsp(d->zelb_disp, out->dsp, sizeof out->dsp);
    char rev[16];
    scr_get_zelb_rev(d->zelb_rev, rev, sizeof rev);
    snprintf(out->rev, sizeof out->rev, "%s %s", rev, scr_get_zelb_firm_tp_x(d->firm_typ));
    mc_get_zelb_dat_x(d->zelb_dat, out->dat, sizeof out->dat);
}

namespace {

// Keeps v as the new previous value; true when it differs from the old one.
template <typename T, typename U>
bool changed(T &old, U v) {
    bool c = old != static_cast<T>(v);
    old = static_cast<T>(v);
    return c;
}

typedef char (*info_get_t)(uint32_t *c, uint8_t b_run, uint8_t firm_typ);

// Reads one identification field of d while nothing has failed: a failure
// leaves its error id in rv, a new value marks the record as changed. The
// error is never recorded for the end step (sys_rv = 0).
template <typename T>
void info_read(info_get_t get, zelb_dat_T &d, uint8_t b_run, T &field, T &old, char &rv,
               bool &chg) {
    if (rv != 0) return;
    uint32_t v = 0;
    rv = get(&v, b_run, d.firm_typ);
    sys_rv = 0;
    if (rv != 0) return;
    field = static_cast<T>(v);
    chg |= changed(old, field);
}

}  // namespace

char info_init(void) {
    bool chg = false;
    reset_info_vals();
    zelb_dat_T d = zelb_info_dat;
    char rv = open_my_zelb_noipl();
    sys_rv = 0;

    uint8_t b_run = 0;
    if (rv == 0) {
        uint32_t v = 0;
        if (zelb_get_firm_typ(&v) == 0) {
            b_run = 1;
            d.firm_typ = static_cast<uint8_t>(v);
        }
        sys_rv = 0;
    }
    if (rv == 0 && !b_run) {
        uint8_t ft = 0;
        rv = zelb_get_firm_typ_nr_no_b(sys_zelb_nr, &ft);
        d.firm_typ = ft;
        sys_rv = 0;
    }
    info_read(zelb_get_typ, d, b_run, d.zelb_ver, zelb_ver_old, rv, chg);
    info_read(zelb_get_dat, d, b_run, d.zelb_dat, zelb_dat_old, rv, chg);
    info_read(zelb_get_dsp_num, d, b_run, d.zelb_disp, zelb_disp_old, rv, chg);
    info_read(zelb_get_rev, d, b_run, d.zelb_rev, zelb_rev_old, rv, chg);
    if (rv == 0) chg |= changed(zelb_firm_typ_old, d.firm_typ);
    mc_close_syscom();

    if (rv != 0) {
        reset_zelb_dat(&d);
        chg = true;
        zelb_ver_old = 255;
        zelb_disp_old = zelb_rev_old = zelb_dat_old = 0;
        zelb_firm_typ_old = 0;
    }
    zelb_info_dat = d;
    zelb_info_rv = static_cast<uint8_t>(rv);
    if (chg) win_ask(wa_info);
    sys_rv = 0;  // never an error for the operator of the window
    return 1;
}

char zelb_end_ping(void) {
    sys_zelb_nr = static_cast<uint8_t>(sys_val & 0xFF);
    return sm_stopme();
}
