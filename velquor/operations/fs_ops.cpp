// The device file system: one function per command, the steps the erase, the
// upload and the download share, and the erase.
//
// Every command is one request and answer through send_single_send_zelb; its
// result is the communication error id, which the steps record in sys_rv.
// Loops that walk the entries of a monitor end at the device's "no further
// entry" answer, at the first command error, or after fs_max_entries
// selections, so that a faulty device cannot hold a step for ever.
#include "velquor/operations/fs_ops.h"

#include "velquor/link/com_action.h"
#include "velquor/operations/vf_end.h"
#include "velquor/operations/vf_ipl.h"
#include "velquor/operations/vf_ring.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/text_ar.h"
#include "velquor/ui/velquor_stat.h"
#include "velquor/ui/velquor_win.h"
#include "velquor/util/velq_str.h"

char fname1[cfg_path_size] = "";
uint8_t fsf_prot = 0;
char get_temp_file[cfg_path_size] = "./velq.tmp";
int32_t sysmode2 = 0;

int32_t vansw[fs_ent_words] = {};
uint32_t byte_count = 0;
int32_t fs_cnt = 0;
int32_t n_fsent = 0;
uint8_t del_quest = 0;
fs_report_T fs_report = {};

void fs_report_reset(void) { fs_report = fs_report_T{}; }

// ---------------------------------------------------------------- commands

namespace {

// One command with its value; the answer's value into *answer when given.
char fs_command(uint8_t nr, uint32_t cmd, uint32_t val, uint32_t *answer) {
    uint32_t c = cmd, v = val;
    char rv = send_single_send_zelb(nr, &c, &v, 1);
    if (rv == 0 && answer) *answer = v;
    return rv;
}

}  // namespace

char start_end_session(uint8_t nr) { return fs_command(nr, fs_cmd_session, 0, nullptr); }

char GAMMA_start_end_session(uint8_t nr) { return start_end_session(nr); }

char del_fs_ent(uint8_t nr) { return fs_command(nr, fs_cmd_delete, 0, nullptr); }

char FS_get_ent(uint8_t nr, uint32_t *value) {
    if (!value) return mc_e_no_buff;
    return fs_command(nr, fs_cmd_select, *value, value);
}

char GAMMA_get_tab(uint8_t nr, uint32_t n) {
    uint32_t v = fs_gamma_base + n;
    char rv = FS_get_ent(nr, &v);
    if (rv != 0) return static_cast<char>(rv & 0x7F);
    return (v & 0xFFFF) == fs_none ? static_cast<char>(0x80) : 0;
}

char FS_read_word(uint8_t nr, uint32_t *value) {
    if (!value) return mc_e_no_buff;
    *value = 0;
    return fs_command(nr, fs_cmd_read, 0, value);
}

char FS_read_word_2B(uint8_t nr, uint32_t *value) {
    char rv = FS_read_word(nr, value);
    if (value) *value = ms_get_lmsb2(*value, 2) * 256u + ms_get_lmsb2(*value, 1);
    return rv;
}

char FS_write_word(uint8_t nr, uint32_t word) {
    return fs_command(nr, fs_cmd_write, word, nullptr);
}

char FS_write_word_2B(uint8_t nr, uint32_t word) { return FS_write_word(nr, word & 0xFFFF); }

char FS_create_ent(uint8_t nr, uint32_t *value) {
    if (!value) return mc_e_no_buff;
    return fs_command(nr, fs_cmd_create, *value, value);
}

char fs_getent_spec(uint8_t nr, uint32_t id, uint8_t *err) {
    uint32_t v = id;
    char rv = FS_get_ent(nr, &v);
    if (rv != 0) {
        if (err) *err = static_cast<uint8_t>(rv);
        return 2;
    }
    sys_val = v;
    return ((v & 0xFFFF) == 0 || (v & 0xFFFF) == fs_none) ? 1 : 0;
}

char fs_getent_next(uint8_t nr, uint32_t *id, uint8_t *err) {
    char rc = fs_getent_spec(nr, 0, err);
    if (rc != 2 && id) *id = sys_val;
    return rc;
}

char get_next_fs_ent(uint8_t nr, uint32_t *id) {
    uint32_t v = 0;
    char rv = FS_get_ent(nr, &v);
    if (id) *id = v;
    return rv;
}

char get_is_next_fs_ent(uint8_t nr) {
    uint32_t v = 0;
    char rv = get_next_fs_ent(nr, &v);
    sys_rv = static_cast<uint8_t>(rv);
    if (rv != 0) return rv;
    return (v & 0xFFFF) < fs_none ? 2 : 1;
}

char fs_get_n_entr(uint8_t nr, int hwnd, int32_t *count) {
    (void)hwnd;
    if (!count) return mc_e_no_buff;
    *count = 0;
    char rv = start_end_session(nr);
    if (rv != 0) return rv;
    int32_t n = 0;
    for (;;) {
        uint32_t v = 0;
        rv = get_next_fs_ent(nr, &v);
        if (rv != 0) return rv;
        if ((v & 0xFFFF) == fs_none) break;
        if (++n >= fs_max_entries) return mc_e_inv_dat;
    }
    rv = start_end_session(nr);
    if (rv != 0) return rv;
    *count = n - 1;
    return 0;
}

void progress_start(int title, int label, int32_t max) {
    fs_cnt = 0;
    set_titeltx(scr_get_text_ix(title));
    setdlg_stat_txt(scr_get_text_ix(label), scr_get_text_ix(tx_von), nullptr);
    stat_set_max(max);
    stat_set_act(0);
    set_auto_titel();
}

void fs_progress_start(int title) { progress_start(title, tx_ent, n_fsent); }

// ---------------------------------------------------------------- shared steps

char fs_start_end_sess2(void) { return step_verdict(start_end_session(del_zelb_nr)); }

char fs_erase_ent(void) {
    if (!step_verdict(del_fs_ent(del_zelb_nr))) return 0;
    ++fs_report.deleted;
    return 1;
}

char fs_get_next_ent2(void) {
    uint8_t err = 0;
    uint32_t id = 0;
    switch (fs_getent_next(del_zelb_nr, &id, &err)) {
    case 0:
        // A selection that never ends is a faulty device, not a large file system.
        if (fs_cnt >= fs_max_entries) return step_verdict(mc_e_inv_dat);
        ++fs_cnt;
        byte_count = 0;
        fs_report.done = fs_cnt;
        stat_set_act(fs_cnt);
        set_auto_titel();
        return 1;
    case 1:
        if (!fs_start_end_sess2()) return 0;
        ++fs_report.mons_done;
        return 2;
    default: return step_verdict(static_cast<char>(err));
    }
}

char fs_create_ent(void) {
    sys_val = static_cast<uint32_t>(vansw[0]);
    char rv = FS_create_ent(del_zelb_nr, &sys_val);
    byte_count = 0;
    return step_verdict(rv);
}

char fs_get_spec_ent(void) {
    uint8_t err = 0;
    char rc = fs_getent_spec(del_zelb_nr, static_cast<uint32_t>(vansw[0]), &err);
    stat_set_act(fs_cnt);
    set_auto_titel();
    if (rc == 2) return step_verdict(static_cast<char>(err));
    if (rc == 1) return 2;
    byte_count = 0;
    return 1;
}

char fs_check_ent(void) {
    byte_count = 0;
    const uint32_t c = fs_class(static_cast<uint32_t>(vansw[0]));
    return (c == 0xAE || c == 0xAF) ? 2 : 1;
}

// ---------------------------------------------------------------- erase

char erase_zelb(int hwnd) {
    (void)hwnd;
    del_quest = 1;
    ring_msg = 1;
    fs_report_reset();
    sm_start_liste1(hwndMain, ix_er_dnl_in_ipl);
    return 0;
}

char res_fser_ac(void) {
    int32_t n = 0;
    char rv = fs_get_n_entr(del_zelb_nr, hwndMain, &n);
    fs_report.mon = del_zelb_nr;
    fs_report.addr = ipl_ix;
    fs_report.done = 0;
    if (rv != 0) {
        sys_rv = static_cast<uint8_t>(rv);
        return 0;
    }
    n_fsent = n + 1;
    fs_report.total = n_fsent;
    fs_progress_start(tx_fs_er_tit);
    return 1;
}

char er_fs_1(void) {
    reset_err();
    set_titeltx(scr_get_text_ix(tx_fs_er_tit));
    stat_set_max(n_fsent);
    if (!step_verdict(open_my_zelb())) return 0;
    if (!step_verdict(init_ring())) return 0;
    ac_reset_func = res_fser_ac;
    return 1;
}

char fs_er_in(void) {
    if (ring_msg == 0) return 1;
    if (del_quest == 1) {
        if (ring_func == 0 && n_fsent == 0) {
            fs_report.empty = 1;
            mw_alert(hwndMain, VER_APP_NAME, scr_get_text_ix(tx_fs_empty), mw_style_excl);
            return 0;
        }
        const int q = ring_func == 1 ? tx_fs_er_quest_all : tx_fs_er_quest;
        if (mw_quest(hwndMain, VER_APP_NAME, scr_get_text_ix(q), mw_style_quest) != 0) {
            fs_report.declined = 1;
            return 0;
        }
    }
    ring_msg = 0;
    return 1;
}

char erase_zelb_all(void) {
    del_quest = 0;
    const int32_t top = sys_zelb_nr;
    stat_set_max(top);
    setdlg_stat_txt(nullptr, nullptr, nullptr);
    for (int32_t nr = top; nr >= 1; --nr) {
        const uint8_t m = static_cast<uint8_t>(nr);
        set_titeltx(scr_get_text_ix(tx_fs_er_tit));
        setdlg_stat_txt(scr_get_text_ix(tx_mon), scr_get_text_ix(tx_von), nullptr);
        stat_set_act(top - nr + 1);
        set_auto_titel();
        fs_report.mon = m;
        if (!step_verdict(start_end_session(m))) return 0;
        for (int32_t k = 0;; ++k) {
            if (k >= fs_max_entries) return step_verdict(mc_e_inv_dat);
            char rc = get_is_next_fs_ent(m);
            if (rc == 1) break;
            if (rc != 2) return 0;  // the error id is in sys_rv
            if (!step_verdict(del_fs_ent(m))) return 0;
            ++fs_report.deleted;
        }
        if (!step_verdict(start_end_session(m))) return 0;
        ++fs_report.mons_done;
    }
    return 1;
}
