// The interface scan: its settings, the records of the ports it opened, the
// steps of its chain and the overview tree.
//
// Sections: settings; results; steps; tree; display formats.
#include "velquor/ui/scan.h"

#include <cerrno>
#include <cstdio>
#include <iterator>
#include <utility>

#include "platform/serial.h"
#include "platform/win.h"
#include "velquor/link/com_action.h"
#include "velquor/link/com_link.h"
#include "velquor/operations/fs_ops.h"
#include "velquor/operations/vf_ipl.h"
#include "velquor/operations/vf_ring.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/text_ar.h"
#include "velquor/ui/velquor_stat.h"
#include "velquor/ui/velquor_win.h"
#include "velquor/ui/win_seam.h"

// ---------------------------------------------------------------- settings

uint8_t sc_intf_s = 1;
uint8_t sc_intf_e = 99;
uint8_t sc_to = 1;
uint8_t sc_parno = 0;

void reset_scan(void) {
    sc_intf_s = 1;
    sc_intf_e = 99;
    sc_to = 1;
    sc_parno = 0;
}

// ---------------------------------------------------------------- results

scan_T scans[scan_max];
int32_t scan_count = 0;
uint8_t scan_cancelled = 0;
int32_t scan_denied_count = 0;
char scan_denied_where[160] = "";
char scan_denied_why[128] = "";

namespace {

// The link the last scan ran on: it decides the label of its ports.
int32_t scan_link = com_mode_rs232;

// The tree of the Scan view; -1 while the view is not shown.
int scan_tree(void) { return plat::win_find_child(hwndMain, scan_tree_id); }

}  // namespace

void reset_scanvals(void) {
    for (scan_T &r : scans) {
        r.ix = 255;
        r.com_item = 0;
        r.mode = scan_m_none;
        r.mon_count = 0;
        std::snprintf(r.ip, sizeof r.ip, "%s", ipl_std_ip);
        for (zelb_dat_T &d : r.zelb_data) reset_zelb_dat(&d);
    }
    scan_count = 0;
    scan_cancelled = 0;
    scan_denied_count = 0;
    scan_denied_where[0] = scan_denied_why[0] = '\0';
}

void scan_denied_text(char *out, size_t n) {
    if (!out || n == 0) return;
    out[0] = '\0';
    if (scan_denied_count <= 0) return;
    const int more = static_cast<int>(scan_denied_count) - 1;
    if (more > 0)
        std::snprintf(out, n, "The scan may not open %s: %s (and %d more port%s)",
                      scan_denied_where, scan_denied_why, more, more == 1 ? "" : "s");
    else
        std::snprintf(out, n, "The scan may not open %s: %s", scan_denied_where, scan_denied_why);
}

// ---------------------------------------------------------------- steps

namespace {

// A port that could not be opened: when this user lacks the permission,
// counts it, keeps the first one and notes it in the traffic log (still open
// from the attempt), so that the operator learns why the scan found nothing
// there rather than seeing the port missing without a word.
void note_denied(int port, const char *intf) {
    if (scan_link != com_mode_rs232) return;
    const int err = plat::ser_last_errno();
    if (err != EACCES && err != EPERM) return;
    char path[128];
    if (!plat::ser_resolve_name(intf, path, sizeof path))
        std::snprintf(path, sizeof path, "%s", intf);
    char why[sizeof scan_denied_why];
    plat::ser_explain_open(path, err, why, sizeof why);
    if (scan_denied_count++ == 0) {
        std::snprintf(scan_denied_where, sizeof scan_denied_where, "COM%d (%s)", port, path);
        std::snprintf(scan_denied_why, sizeof scan_denied_why, "%s", why);
    }
    char note[sizeof path + sizeof why + 32];
    std::snprintf(note, sizeof note, "scan: COM%d skipped: %s: %s", port, path, why);
    mc_log_note(note);
}

// The end of the walk: the window tells about the ports that were refused,
// once. Verdict 2.
char scan_finish(void) {
    if (scan_denied_count > 0) win_ask(wa_scan_denied);
    return 2;
}

// The queries of the identification, in the order they are asked, in both
// query sets.
typedef char (*det_newer_t)(uint8_t nr, uint32_t *c);
typedef char (*det_older_t)(uint8_t nr, uint32_t *c, uint8_t firm_typ);
enum det_field : int { det_typ, det_dsp, det_rev, det_dat, det_n };
struct det_query_T {
    det_field field;
    det_newer_t newer;
    det_older_t older;
};
constexpr det_query_T det_queries[] = {
    {det_typ, zelb_get_typ_nr_b, zelb_get_typ_nr},
    {det_dsp, zelb_get_dsp_num_nr_b, zelb_get_dsp_num_nr},
    {det_rev, zelb_get_rev_nr_b, zelb_get_rev_nr},
    {det_dat, zelb_get_dat_nr_b, zelb_get_dat_nr},
};
static_assert(std::size(det_queries) == det_n, "one query per field");

void det_store(zelb_dat_T &d, det_field f, uint32_t v) {
    switch (f) {
    case det_typ: d.zelb_ver = static_cast<uint8_t>(v); break;
    case det_dsp: d.zelb_disp = v; break;
    case det_rev: d.zelb_rev = v; break;
    case det_dat: d.zelb_dat = v; break;
    default: break;
    }
}

// Reads monitor nr into d; see sc_get_zelb_det.
void det_monitor(uint8_t nr, zelb_dat_T &d) {
    reset_zelb_dat(&d);
    uint32_t v = 0;
    bool newer = true;
    char rv = zelb_get_firm_typ_nr(nr, &v);
    if (rv == mc_e_n_ack) {
        uint8_t gen = 0;
        rv = zelb_get_firm_typ_nr_no_b(nr, &gen);
        v = gen;
        newer = false;
    }
    if (rv != 0) return;
    d.firm_typ = static_cast<uint8_t>(v);
    for (const det_query_T &q : det_queries) {
        v = 0;
        rv = newer ? q.newer(nr, &v) : q.older(nr, &v, d.firm_typ);
        if (rv != 0) {
            d.err = 1;
            return;
        }
        det_store(d, q.field, v);
    }
}

}  // namespace

char scintf_init(void) {
    if (sc_intf_e < sc_intf_s) std::swap(sc_intf_s, sc_intf_e);
    reset_err();
    reset_scanvals();
    plat::win_tree_clear(scan_tree());
    scan_link = com_mode;
    n_fsent = sc_intf_e - sc_intf_s + 1;
    set_titeltx2(scr_get_text_ix(tx_scan));
    progress_start(tx_scan, tx_intf, n_fsent);
    dlg_stat_focus();
    return 1;
}

char scintf_scan(void) {
    if (sm_get_stop_request()) {
        scan_cancelled = 1;
        return scan_finish();
    }
    if (fs_cnt >= n_fsent) return scan_finish();
    ++fs_cnt;
    stat_set_act(fs_cnt);
    set_auto_titel();

    const int port = sc_intf_s + fs_cnt - 1;
    char name[intf_name_size] = {0};
    get_intf_name(static_cast<uint8_t>(port), sys_ip, sys_ipx, name);
    init_op_dat(com_mode, name, &syscom, sc_to, sc_parno);
    const char open_rv = mc_opencom_zelb();
    if (open_rv != 0) {
        if (open_rv == mc_e_n_op_comp) note_denied(port, name);
        mc_close_syscom();
        return 1;  // no line for a port that is not there
    }
    if (scan_count >= scan_max) {
        mc_close_syscom();
        mw_showerror(hwndMain, scr_get_text_ix(tx_max_intf));
        return scan_finish();
    }

    scan_T &r = scans[scan_count];
    r.ix = static_cast<uint8_t>(port);
    if (com_mode != com_mode_rs232) std::snprintf(r.ip, sizeof r.ip, "%.24s", name);
    uint8_t n = 0;
    const char rv = ping_me2(&n);
    r.mode = rv == 0 ? scan_m_found : rv == mc_e_loop ? scan_m_loop : scan_m_error;
    r.mon_count = rv == 0 ? n : 0;
    if (r.mon_count > 0) sc_get_zelb_det(&r);
    ++scan_count;
    mc_close_syscom();
    return 1;
}

char sc_get_zelb_det(scan_T *r) {
    if (!r) return 1;
    for (int j = 1; j <= r->mon_count; ++j)
        det_monitor(static_cast<uint8_t>(j), r->zelb_data[j - 1]);
    sys_rv = 0;  // a monitor that answered badly is listed, not reported
    return 1;
}

// ---------------------------------------------------------------- tree

void scan_none_line(char *out, size_t n) {
    if (!out || n == 0) return;
    std::snprintf(out, n, "%s %d %s", scr_get_text_ix(tx_intfs), 0,
                  scan_cancelled ? scr_get_text_ix(tx_ended) : "");
}

void scan_port_line(const scan_T *r, char *out, size_t n) {
    if (!out || n == 0) return;
    out[0] = '\0';
    if (!r) return;
    char result[64] = "";
    switch (r->mode) {
    case scan_m_found:
        std::snprintf(result, sizeof result, " %d %s", r->mon_count, scr_get_text_ix(tx_monitor));
        break;
    case scan_m_loop:
        std::snprintf(result, sizeof result, "%s", scr_get_text_ix(tx_cmp_loop));
        break;
    case scan_m_error: std::snprintf(result, sizeof result, "%s", scr_get_text_ix(tx_err)); break;
    default: break;
    }
    if (scan_link == com_mode_rs232)
        std::snprintf(out, n, "COM%d: %s", r->ix, result);
    else
        std::snprintf(out, n, "IP=%s: %s", r->ip, result);
}

void scan_mon_line(const scan_T *r, int j, char *out, size_t n) {
    if (!out || n == 0) return;
    out[0] = '\0';
    if (!r || j < 1 || j > 255) return;
    const zelb_dat_T &d = r->zelb_data[j - 1];
    char typ[32];
    scr_get_zelb_tp(d.zelb_ver, typ, sizeof typ);
    std::snprintf(out, n, "%d: %s -> %s 0x%X", j, typ,
                  "Display:", static_cast<unsigned>(d.zelb_disp));
}

void scan_firm_line(const scan_T *r, int j, char *out, size_t n) {
    if (!out || n == 0) return;
    out[0] = '\0';
    if (!r || j < 1 || j > 255) return;
    const zelb_dat_T &d = r->zelb_data[j - 1];
    char rev[16], ftp[16], dat[16];
    scr_get_zelb_rev(d.zelb_rev, rev, sizeof rev);
    scr_get_zelb_firm_tp(d.firm_typ, ftp, sizeof ftp);
    scr_get_zelb_dat(d.zelb_dat, dat, sizeof dat);
    std::snprintf(out, n, "Firmware %s %s  %s %s", rev, ftp, scr_get_text_ix(tx_vom), dat);
}

char scintf_scan_end(void) {
    const int tree = scan_tree();
    // The window refreshes a tree it keeps as well as one it has just made:
    // what stands in it is replaced, never appended to.
    plat::win_tree_clear(tree);
    char line[scan_line_size];
    if (scan_count <= 0) {
        scan_none_line(line, sizeof line);
        plat::win_tree_add(tree, line, 1);
        return 2;
    }
    for (int32_t i = 0; i < scan_count && i < scan_max; ++i) {
        scan_T &r = scans[i];
        scan_port_line(&r, line, sizeof line);
        const int port_item = plat::win_tree_add(tree, line, 1);
        r.com_item = 0;
        for (int j = 1; j <= r.mon_count; ++j) {
            scan_mon_line(&r, j, line, sizeof line);
            r.com_item = plat::win_tree_add(tree, line, 2);
            scan_firm_line(&r, j, line, sizeof line);
            plat::win_tree_add(tree, line, 3);
        }
        // The last monitor of each port shows its firmware line: its port's
        // line is opened too, or the opened line would stay out of sight.
        if (r.com_item) {
            plat::win_tree_expand(tree, port_item, plat::WIN_EXPAND);
            plat::win_tree_expand(tree, r.com_item, plat::WIN_EXPAND);
        }
    }
    return 1;
}

// ---------------------------------------------------------------- display formats

char mc_get_100(uint32_t v, const char *unit, char *s, size_t n) {
    if (!s || n == 0) return 1;
    std::snprintf(s, n, "%u,%02u %s", v / 100, v % 100, unit ? unit : "");
    return 0;
}

void scr_get_zelb_tp(uint32_t v, char *s, size_t n) {
    if (s && n) std::snprintf(s, n, "%s", mc_get_zelb_typ_x(v));
}

void scr_get_zelb_firm_tp(uint32_t v, char *s, size_t n) {
    if (s && n) std::snprintf(s, n, "%s", scr_get_zelb_firm_tp_x(v));
}

void scr_get_zelb_dat(uint32_t v, char *s, size_t n) {
    if (mc_get_zelb_dat_x(v, s, n) != 0 && s && n) std::snprintf(s, n, "00.00.0000");
}
