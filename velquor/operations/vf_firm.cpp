// Firmware: the loader of Intel-HEX records, the merging of data records,
// the checks of a file against the monitors, and the steps of the update.
#include "velquor/operations/vf_firm.h"

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "platform/io_stop.h"
#include "platform/serial.h"
#include "velquor/link/com_action.h"
#include "velquor/link/com_aknord.h"
#include "velquor/link/com_link.h"
#include "velquor/operations/fs_ops.h"
#include "velquor/operations/v5.068.h"
#include "velquor/operations/vf_end.h"
#include "velquor/operations/vf_images.h"
#include "velquor/operations/vf_info.h"
#include "velquor/operations/vf_ipl.h"
#include "velquor/operations/vf_ring.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/text_ar.h"
#include "velquor/ui/velquor_ids.h"
#include "velquor/ui/velquor_stat.h"
#include "velquor/ui/velquor_win.h"
#include "velquor/util/velq_str.h"

char firmpath[cfg_path_size] = "";
uint8_t firm_68 = 0;
uint8_t firm_hito = 0;

firm_buff_T *firm_buff = nullptr;
int32_t firm_lines = 0;
int32_t firm_err_line = 0;

uint8_t file_interfaceno = 0;
uint8_t is_osd = 0;
int32_t firm_vers = 0;
uint8_t hex_compress = 0;
uint8_t use_firm_68 = 0;

int32_t sys_baud2 = 9600;
int32_t no_ack_cnt = 0;
int32_t fs_grp_cnt = 0;
firm_report_T firm_report = {};

// ---------------------------------------------------------------- the line table

firm_buff_T *firm_buff_get(void) {
    if (!firm_buff)
        firm_buff = static_cast<firm_buff_T *>(std::calloc(firm_max_lines, sizeof(firm_buff_T)));
    return firm_buff;
}

uint8_t hex_get_val(char c) {
    if (c >= '0' && c <= '9') return static_cast<uint8_t>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<uint8_t>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f') return static_cast<uint8_t>(c - 'a' + 10);
    return 0xFF;
}

char line_check(const uint8_t *b, uint32_t n) {
    uint8_t sum = 0;
    for (uint32_t i = 0; b && i < n; ++i) sum = static_cast<uint8_t>(sum + b[i]);
    return sum != 0 ? 1 : 0;
}

char line_to_buffer(const char *line, firm_buff_T *tab, int32_t *ix) {
    if (!line || !tab) return 1;
    const int32_t i = ix ? *ix : 0;
    if (i >= firm_max_lines) return 2;
    if (line[0] != ':') {
        sys_f_rv = mfe_invdat;
        mw_showerror(hwndMain, line);
        return 4;
    }
    firm_buff_T &e = tab[i];
    uint32_t n = 0;
    // Pairs of digits; a single digit left over at the end is ignored.
    for (const char *p = line + 1; p[0] && p[1] && n < sizeof e.line; p += 2) {
        const uint8_t hi = hex_get_val(p[0]), lo = hex_get_val(p[1]);
        if (hi == 0xFF || lo == 0xFF) {  // "g", a blank, a sign: never sent as 0
            sys_f_rv = mfe_invdat;
            return 7;
        }
        e.line[n++] = static_cast<uint8_t>(hi * 16 + lo);
    }
    if (n == 0) {
        sys_f_rv = mfe_invdat;
        return 5;
    }
    e.len = n;
    if (line_check(e.line, n)) {
        sys_f_rv = mfe_invdat;
        return 6;
    }
    // The board reads as many data bytes as the count says: a record whose
    // count does not fit its length would be misread.
    if (e.line[0] + 5u != n) {
        sys_f_rv = mfe_invdat;
        return 8;
    }
    if (ix) *ix = i + 1;
    return 0;
}

namespace {

char tx_fname[cfg_path_size];

// The next line of the built-in image into out, cleaned; sys_f_rv 7 after the last.
void builtin_line(int32_t *next, char *out, size_t n) {
    const char *src = v5068[*next];
    if (!src) {
        out[0] = 0;
        sys_f_rv = mfe_eof;
        return;
    }
    ++*next;
    snprintf(out, n, "%s", src);
    ms_clean_str(out);
    sys_f_rv = 0;
}

}  // namespace

char firm_to_buffer(FILE *f, uint8_t compress, uint8_t builtin) {
    firm_buff_T *tab = firm_buff_get();
    firm_lines = 0;
    n_fsent = 0;
    if (!tab) {
        sys_f_rv = mfe_nobuff;
        return 6;
    }
    if (!builtin && mf_fseek(f, 0, 0) != 0) {
        sys_f_rv = mfe_invpos;
        return 5;
    }
    int32_t ix = 0, next = 0, text_no = 0;
    firm_err_line = 0;
    while (sys_f_rv == 0) {
        if (builtin)
            builtin_line(&next, tx_fname, sizeof tx_fname);
        else
            sys_f_rv = static_cast<uint8_t>(mf_readln(f, tx_fname, firm_text_size));
        if (sys_f_rv == mfe_eof && tx_fname[0]) sys_f_rv = 0;  // a last line without its end
        if (sys_f_rv != 0) break;
        ++text_no;
        ms_clean_str(tx_fname);
        if (tx_fname[0] == 0) continue;
        const char rc = line_to_buffer(tx_fname, tab, &ix);
        if (rc != 0) {
            sys_f_rv = rc == 2 ? mfe_lines : mfe_invdat;
            firm_err_line = text_no;
            return 3;
        }
        ++n_fsent;
    }
    if (sys_f_rv == mfe_eof) sys_f_rv = 0;
    if (sys_f_rv != 0) return 2;
    firm_lines = n_fsent;
    if (n_fsent > 0) --n_fsent;
    if (!builtin && mf_fseek(f, 0, 0) != 0) {
        sys_f_rv = mfe_invpos;
        return 4;
    }
    if (compress) firm_compress();
    return 0;
}

uint64_t firm_table_bytes(void) {
    uint64_t b = 0;
    for (int32_t i = 0; firm_buff && firm_lines > 0 && i <= n_fsent; ++i) b += firm_buff[i].len;
    return b;
}

void firm_compress(void) {
    firm_buff_T *tab = firm_buff;
    if (!tab || firm_lines == 0) return;
    int32_t ix = 0;
    for (int32_t i = 1; i <= n_fsent; ++i) {
        firm_buff_T &t = tab[ix];
        const firm_buff_T &s = tab[i];
        const uint32_t t_addr = t.line[1] * 256u + t.line[2], s_addr = s.line[1] * 256u + s.line[2];
        const uint32_t t_n = t.line[0], s_n = s.line[0];
        if (t.line[3] == 0 && s.line[3] == 0 && t_addr + t_n == s_addr && t_n + s_n < 97) {
            std::memcpy(t.line + 4 + t_n, s.line + 4, s_n);
            t.line[0] = static_cast<uint8_t>(t_n + s_n);
            t.len += s_n;
            uint8_t sum = 0;
            for (uint32_t k = 0; k < 4 + t_n + s_n; ++k)
                sum = static_cast<uint8_t>(sum + t.line[k]);
            t.line[4 + t_n + s_n] = static_cast<uint8_t>(0x100 - sum);
        } else {
            ++ix;
            if (ix != i) {
                std::memcpy(tab[ix].line, s.line, s_n + 5u);
                tab[ix].len = s.len;
            }
        }
    }
    n_fsent = ix;
    firm_lines = ix + 1;
}

// ---------------------------------------------------------------- file name and checks

void firm_name_analysis(const char *path) {
    file_interfaceno = 0;
    is_osd = 0;
    firm_vers = 0;
    if (!path) return;
    const char *name = path;
    for (const char *p = path; *p; ++p)
        if (*p == '/' || *p == '\\') name = p + 1;
    char low[cfg_path_size];
    snprintf(low, sizeof low, "%s", name);
    ms_tolower(low);
    if (strstr(low, "v5")) file_interfaceno = 5;
    if (strstr(low, "osd")) is_osd = 1;
    // The number at the start of the name, blanks before it trimmed.
    const char *p = name;
    while (*p == ' ') ++p;
    int32_t v = 0;
    bool any = false;
    for (; *p >= '0' && *p <= '9' && v < 100000000; ++p) {
        v = v * 10 + (*p - '0');
        any = true;
    }
    if (any) firm_vers = v;
}

// ---------------------------------------------------------------- the update

uint16_t firm_rate_code(int32_t baud) {
    switch (baud) {
    case 9600: return 0;
    case 19200: return 4;
    case 38400: return 8;
    case 115200: return 12;
    case 288000: return 16;
    case 384000: return 20;
    case 576000: return 24;
    default: return 0;
    }
}

char update_firm(int hwnd, int id) {
    (void)hwnd;
    if (id != cmd_firm_upd) return 0;
    firm_report = firm_report_T{};
    firm_report.cur = -1;
    sm_start_liste1(hwndMain, ix_firm_in_ipl);
    return 0;
}

void firm_check_baud(void) {
    if (com_mode == com_mode_ip || com_mode == com_mode_ipl) {
        if (sys_baud2 > 115200) sys_baud2 = 115200;
        return;
    }
    plat::SerialSettings s;
    if (syscom == -1 || plat::ser_get_settings(syscom, &s) != plat::SER_OK) return;
    // Each rate the port refuses gives way to the next lower one of the ladder.
    const int32_t ladder[][2] = {
        {576000, 384000}, {384000, 288000}, {288000, 115200}, {115200, 38400}};
    for (const auto &step : ladder) {
        if (sys_baud2 != step[0]) continue;
        s.baud = static_cast<uint32_t>(step[0]);
        if (plat::ser_set_settings(syscom, s) != plat::SER_OK) sys_baud2 = step[1];
    }
    s.baud = 9600;
    plat::ser_set_settings(syscom, s);
}

namespace {

using Clock = std::chrono::steady_clock;
Clock::time_point addr_start;

firm_addr_report_T *report_cur(void) {
    if (firm_report.cur < 0 || firm_report.cur >= firm_report_max) return nullptr;
    return &firm_report.addr[firm_report.cur];
}

// Sends command cmd with val to address nr and reads its answer into *val.
char ask(uint8_t nr, uint32_t cmd, uint32_t *val) {
    uint32_t c = cmd;
    return send_single_send_zelb(nr, &c, val, 1);
}

// The type check: 0 go on, 2 the question answered No.
char firm_type_check(void) {
    if (det_zelb_cmd == 0) return 0;
    hex_compress = 1;
    bool mismatch = false;
    for (int32_t n = del_zelb_nr; n >= 1 && !mismatch; --n) {
        const uint8_t nr = static_cast<uint8_t>(n);
        uint32_t v = 0;
        const char rv = ask(nr, 0xB000, &v);
        uint32_t type = 0;
        if (rv == mc_e_n_ack) {
            // The monitor's firmware does not know the command: no merged lines.
            hex_compress = 0;
            uint32_t t = 0;
            if (zelb_get_typ_nr(nr, &t, 0) != 0) continue;
            type = t;
        } else if (rv == 0) {
            type = (v >> 8) & 0x0F;
        }
        if ((type == 5 || file_interfaceno == 5) && type != file_interfaceno) mismatch = true;
    }
    sys_rv = 0;
    if (mismatch && !is_osd &&
        mw_quest(hwndMain, scr_get_text_ix(tx_ver_zelb), scr_get_text_ix(tx_ver_zelb_alert),
                 mw_style_quest) != 0)
        return 2;
    // A board without the command takes no more than 115 200 baud: this run
    // already keeps to it, not only the runs after it.
    if (hex_compress == 0) {
        if (sys_baud > 115200) sys_baud = 115200;
        if (sys_baud2 > 115200) sys_baud2 = 115200;
    }
    return 0;
}

// The minimum-version rule: 0 go on, 1 the first question answered No.
char firm_version_rule(void) {
    if (hex_compress != 0 || firm_vers <= 68) return 0;
    if (mw_quest(hwndMain, scr_get_text_ix(tx_ver_zelb), scr_get_text_ix(tx_ver_zelb_alert2),
                 mw_style_quest) != 0)
        return 1;
    if (firm_68 == firm_68_service &&
        mw_quest(hwndMain, scr_get_text_ix(tx_ver_zelb), scr_get_text_ix(tx_ver_zelb_alert3),
                 mw_style_quest) == 0)
        use_firm_68 = 1;
    return 0;
}

}  // namespace

char firm_start_init(void) {
    sm_set_stop_enabled();
    set_titeltx(scr_get_text_ix(tx_f_upd_dp));
    set_titeltx2(scr_get_text_ix(tx_f_upd));
    setdlg_stat_txt(scr_get_text_ix(tx_line), scr_get_text_ix(tx_von), nullptr);
    return 1;
}

char firm_init(void) {
    firm_start_init();
    reset_err();
    hex_compress = 0;
    use_firm_68 = 0;
    if (firm_report.n < firm_report_max) firm_report.cur = firm_report.n++;
    addr_start = Clock::now();
    if (firm_addr_report_T *r = report_cur()) *r = firm_addr_report_T{firm_running, 0, 0, 0};

    if (mf_open_fpupl(firmpath) != 0) return 0;
    no_ack_cnt = 0;
    fs_grp_cnt = 0;
    sys_baud2 = sys_baud;
    firm_name_analysis(firmpath);
    if (!step_verdict(open_my_zelb())) return 0;
    firm_check_baud();

    uint32_t v = zelb_val_ping;
    if (!step_verdict(ask(0, zelb_cmd_ping, &v))) return 0;
    del_zelb_nr = static_cast<uint8_t>(v & 0xFF);
    if (firm_addr_report_T *r = report_cur()) r->monitors = del_zelb_nr;
    if (del_zelb_nr == 0) {
        mw_showerror(hwndMain, scr_get_text_ix(tx_no_tft));
        return 0;
    }
    if (firm_type_check() == 2) {
        if (firm_addr_report_T *r = report_cur()) r->outcome = firm_skipped;
        return 2;
    }
    if (firm_version_rule() != 0) {
        if (firm_addr_report_T *r = report_cur()) r->outcome = firm_refused;
        return 0;
    }
    if (use_firm_68 && !images_allowed(v5068_stand_in)) {
        if (firm_addr_report_T *r = report_cur()) r->outcome = firm_refused;
        mw_showerror(hwndMain, images_refusal_text());
        return 0;
    }
    if (firm_to_buffer(fpupl, hex_compress, use_firm_68) != 0) return 0;
    // An empty file would send one stale line of the table.
    if (firm_lines == 0) {
        sys_f_rv = mfe_nodat;
        return 0;
    }
    fs_cnt = 0;
    stat_set_act(0);
    stat_set_max(n_fsent);
    set_auto_titel();
    return 1;
}

char firm_start_upd(void) {
    const uint8_t target = del_zelb_nr == 1 ? 1 : 0;
    del_zelb_nr = target;
    sys_zelb_nr = target;
    uint32_t cmd = 0x7000, val = firm_rate_code(sys_baud2);
    return step_verdict(send_single_send_zelb(target, &cmd, &val, 0));
}

char firm_set_baud(void) {
    sys_rv = 0;
    if (com_mode == com_mode_rs232) {
        plat::SerialSettings s;
        if (syscom == -1 || plat::ser_get_settings(syscom, &s) != plat::SER_OK) {
            sys_rv = mc_e_n_r_compe;
        } else {
            s.baud = static_cast<uint32_t>(sys_baud2);
            if (plat::ser_set_settings(syscom, s) != plat::SER_OK) sys_rv = mc_e_n_w_compe;
        }
    } else if (com_mode == com_mode_ip && syscom != -1) {
        // The converter's serial rate for every packet from here on.
        aknord_set_baud(syscom, sys_baud2);
    }
    set_auto_titel();
    byte_count = 0;
    return sys_rv == 0 ? 1 : 0;
}

char firm_wait_select(void) { return firm_hito ? 1 : 2; }

char firm_send_line(void) {
    if (fs_cnt > n_fsent) {
        if (firm_addr_report_T *r = report_cur()) {
            r->outcome = firm_updated;
            r->ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - addr_start)
                        .count();
        }
        return 2;
    }
    const firm_buff_T &l = firm_buff[fs_cnt];
    return step_verdict(mc_write_syscom(l.line, l.len));
}

char firm_wack_line(void) {
    const firm_buff_T &l = firm_buff[fs_cnt];
    const uint32_t want = del_zelb_nr == 1 ? 1 : l.len;
    uint8_t got[sizeof l.line] = {};
    uint32_t n = 0;
    const char rv = mc_read_syscom(got, want, &n);
    // Too few bytes in time is the time-out (over a converter too, whose
    // receive reports it as a read error); a stop ends the read without a box.
    if (n < want && !plat::io_stop_raised()) {
        mw_showerror(hwndMain, scr_get_text_ix(tx_cmp_to));
        sys_rv = mc_e_to;
        return 0;
    }
    if (rv != 0 || n < want) return step_verdict(rv != 0 ? rv : char(mc_e_to));
    bool ok;
    if (del_zelb_nr == 1) {
        ok = got[0] == 0xFF;
    } else {
        ok = true;
        for (uint32_t k = want; k-- > 0 && ok;) ok = got[k] == l.line[k];
    }
    if (!ok) {
        sys_rv = mc_e_n_ack;
        ++no_ack_cnt;
        return no_ack_cnt <= firm_max_refusals ? 2 : 0;
    }
    // A line taken after refusals: the refusal is over, not the run's error.
    sys_rv = 0;
    ++fs_cnt;
    if (firm_addr_report_T *r = report_cur()) {
        r->lines = fs_cnt;
        r->ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - addr_start)
                    .count();
    }
    if (del_zelb_nr == 1) no_ack_cnt = 0;
    if (++fs_grp_cnt > 9) {
        stat_set_act(fs_cnt);
        if (del_zelb_nr == 1) {
            set_auto_pbar();
            set_auto_pre_titel();
        } else {
            set_auto_titel();
        }
        fs_grp_cnt = 0;
    }
    return 1;
}
