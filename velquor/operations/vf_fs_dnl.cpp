// File-system download: reading the dump file, and the steps that write its
// entries and gamma tables into the monitors.
#include "velquor/operations/vf_fs_dnl.h"

#include <cstdio>
#include <cstring>

#include "velquor/link/com_action.h"
#include "velquor/operations/vf_end.h"
#include "velquor/operations/vf_gamma.h"
#include "velquor/operations/vf_ipl.h"
#include "velquor/operations/vf_ring.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/text_ar.h"
#include "velquor/ui/velquor_stat.h"
#include "velquor/ui/velquor_win.h"
#include "velquor/util/velq_str.h"

fs_dat_t fsd = {};
int32_t fsd_err_pos = -1;

namespace {

char txin[mf_line_size];

bool is_hex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

uint32_t hex_value(char c) {
    if (c <= '9') return static_cast<uint32_t>(c - '0');
    return static_cast<uint32_t>((c | 0x20) - 'a' + 10);
}

// The progress texts of a download, counting from 0 of the file's entries.
void dnl_progress_start(void) {
    set_titeltx2(scr_get_text_ix(tx_fsdnl_tit));
    fs_progress_start(tx_fsdnl_tit);
}

}  // namespace

// ---------------------------------------------------------------- reading the file

char fs_line_to_buffer(char *line, uint32_t *words) {
    if (!line || !words) return 1;
    if (line[0] == ':') line[0] = ' ';
    ms_clean_str(line);
    if (line[0] == 0) return 2;
    const size_t len = strlen(line);
    for (int g = 0; g < fs_ent_words; ++g) {
        const size_t pos = static_cast<size_t>(g) * 5;
        if (pos + 4 > len) {  // fewer than 32 groups
            sys_f_rv = mfe_invdat;
            return 3;
        }
        const char *p = line + pos;
        if (!is_hex(p[0]) || !is_hex(p[1]) || !is_hex(p[2]) || !is_hex(p[3])) {
            char msg[64];
            snprintf(msg, sizeof msg, "%s%.4s", scr_get_text_ix(tx_val), p);
            mw_showerror(hwndMain, msg);
            sys_f_rv = mfe_invdat;
            return 3;
        }
        words[g] =
            hex_value(p[0]) << 12 | hex_value(p[1]) << 8 | hex_value(p[2]) << 4 | hex_value(p[3]);
    }
    return 0;
}

namespace {

char read_fs_file(FILE *f) {
    if (!f) {
        sys_f_rv = mfe_no_file;
        return 0;
    }
    auto rewind = [f]() {
        if (mf_fseek(f, 0, 0) == 0) return true;
        sys_f_rv = mfe_invpos;
        return false;
    };
    if (!rewind()) return 0;
    fsd.fs_ent_cnt = mf_countlines_char(f, ':');
    if (fsd.fs_ent_cnt < 0) {
        sys_f_rv = mfe_rw;
        return 0;
    }
    if (!rewind()) return 0;
    fsd.gam_ent_cnt = mf_countlines_char(f, ';');
    if (fsd.gam_ent_cnt < 0) {
        sys_f_rv = mfe_rw;
        return 0;
    }
    if (!rewind()) return 0;
    if (fsd.fs_ent_cnt == 0 && fsd.gam_ent_cnt == 0) {
        mw_showerror(hwndMain, scr_get_text_ix(tx_no_file_ent));
        return 0;
    }
    if (fsd.fs_ent_cnt > fs_file_max_entries) {
        mw_showerror(hwndMain, scr_get_text_ix(tx_much_file_ent));
        return 0;
    }
    for (int32_t i = 0; i < fsd.fs_ent_cnt; ++i) {
        for (uint32_t &w : fsd.fs_ent[i]) w = 0xFFFFFFFFu;
        if (mf_nextline_char_no_com(f, ':', txin) != 0 || sys_f_rv != 0) return 0;
        const char rc = fs_line_to_buffer(txin, fsd.fs_ent[i]);
        if (rc != 0) {
            if (sys_f_rv == 0) sys_f_rv = mfe_invdat;  // the file changed under us
            return 0;
        }
    }
    if (!rewind()) return 0;
    reset_gamma_tab();
    if (fsd.gam_ent_cnt > 0 && !gamma_read_blocks(f, fsd.gam_ent_cnt)) return 0;
    return rewind() ? 1 : 0;
}

}  // namespace

char buffer_fs_file(FILE *f) {
    fsd_err_pos = -1;
    const char rc = read_fs_file(f);
    if (rc != 1) fsd_err_pos = f ? mf_ftell(f) : 0;
    return rc;
}

// ---------------------------------------------------------------- the chain

char download_fs(int hwnd) {
    (void)hwnd;
    fs_report_reset();
    sm_start_liste1(hwndMain, ix_fs_dnl_in_ipl);
    return 0;
}

char download_fs1(void) {
    reset_err();
    // A stop asked for during the previous address: the next one is not opened.
    if (sm_get_stop_request()) return 0;
    if (mf_open_fpupl(fname1) != 0) return 0;
    n_fsent = 0;
    if (buffer_fs_file(fpupl) != 1) return 0;
    ac_reset_func = fs_dnl_res;
    n_fsent = fsd.fs_ent_cnt;
    fs_report.addr = ipl_ix;
    fs_report.total = fsd.fs_ent_cnt;
    if (!step_verdict(open_my_zelb())) return 0;
    if (!step_verdict(init_ring())) return 0;
    dnl_progress_start();
    return 1;
}

char fs_dnl_res(void) {
    n_fsent = fsd.fs_ent_cnt;
    fs_report.mon = del_zelb_nr;
    fs_report.addr = ipl_ix;
    fs_report.done = 0;
    fs_report.total = fsd.fs_ent_cnt;
    dnl_progress_start();
    return 1;
}

char fs_dnl_getln(void) {
    if (sm_get_stop_request()) return 2;
    if (fs_cnt >= fsd.fs_ent_cnt) {
        fs_report.tables = 0;
        for (const gamma_kind_T &k : gamma_kinds) {
            if (k.tab->count <= 0) continue;
            if (!write_gamma(del_zelb_nr, k.nr, scr_get_text_ix(k.write_title), k.tab)) return 0;
            ++fs_report.tables;
        }
        ++fs_report.mons_done;
        return 2;
    }
    for (int j = 0; j < fs_ent_words; ++j) vansw[j] = static_cast<int32_t>(fsd.fs_ent[fs_cnt][j]);
    ++fs_cnt;
    stat_set_act(fs_cnt);
    set_auto_titel();
    return 1;
}

char fs_check_modus(void) {
    const uint32_t id = static_cast<uint32_t>(vansw[0]) & 0xFFFF;
    const uint32_t n1 = static_cast<uint32_t>(vansw[1]), n2 = static_cast<uint32_t>(vansw[2]);
    const uint32_t n3 = static_cast<uint32_t>(vansw[3]);
    const bool video = fs_class(id) == 0xAF;
    for (int32_t k = 0; k < fs_max_entries; ++k) {
        uint32_t ans = 0;
        uint8_t err = 0;
        const char rc = fs_getent_next(del_zelb_nr, &ans, &err);
        if (rc == 2) return step_verdict(static_cast<char>(err));
        if (rc == 1) return 1;
        if ((ans & 0xFFFF) != id) continue;
        uint32_t w0 = 0, w = 0;
        if (!step_verdict(FS_read_word_2B(del_zelb_nr, &w0))) return 0;
        if (!step_verdict(FS_read_word_2B(del_zelb_nr, &w))) return 0;
        // Unsigned, as the board compares: a stored word 1 of 0 never matches.
        if (n1 < w - 1 || n1 > w + 1) continue;
        if (video) return 2;
        if (!step_verdict(FS_read_word_2B(del_zelb_nr, &w))) return 0;
        if (n2 < w - w / 64 || n2 > w + w / 64) continue;
        if (!step_verdict(FS_read_word_2B(del_zelb_nr, &w))) return 0;
        if (n3 != w) continue;
        return 2;
    }
    return step_verdict(mc_e_inv_dat);
}

char fs_dnl_send_ent(void) {
    if (byte_count < static_cast<uint32_t>(fs_ent_words - 1)) {
        const uint32_t word = static_cast<uint32_t>(vansw[byte_count + 1]);
        if (!step_verdict(FS_write_word(del_zelb_nr, word))) return 0;
        ++byte_count;
        if (byte_count < static_cast<uint32_t>(fs_ent_words - 1)) return 1;
    }
    fs_report.done = fs_cnt;
    stat_set_act(fs_cnt);
    set_auto_pbar();
    return 2;
}
