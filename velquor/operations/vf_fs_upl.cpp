// File-system upload: the steps of the chain, the text of an entry in the
// dump, and the new file that replaces the chosen one at the end.
#include "velquor/operations/vf_fs_upl.h"

#include <cstdio>
#include <cstring>

#include "velquor/link/com_action.h"
#include "velquor/operations/fs_ops.h"
#include "velquor/operations/vf_end.h"
#include "velquor/operations/vf_gamma.h"
#include "velquor/operations/vf_ipl.h"
#include "velquor/operations/vf_ring.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/text_ar.h"
#include "velquor/ui/velquor_stat.h"
#include "velquor/ui/velquor_win.h"

const cie_kxy_T cieKxy[44] = {
    {2000, 527, 413}, {2100, 516, 415}, {2200, 506, 415}, {2300, 496, 415}, {2400, 486, 415},
    {2500, 477, 414}, {2600, 468, 412}, {2700, 460, 411}, {2800, 452, 409}, {2900, 444, 407},
    {3000, 437, 404}, {3100, 430, 402}, {3200, 423, 399}, {3250, 420, 398}, {3300, 417, 396},
    {3400, 411, 394}, {3500, 405, 391}, {3600, 409, 388}, {3700, 395, 385}, {3800, 390, 382},
    {3900, 385, 380}, {4000, 381, 377}, {4100, 376, 374}, {4200, 372, 371}, {4300, 368, 369},
    {4400, 364, 366}, {4500, 361, 364}, {4600, 357, 361}, {4700, 354, 359}, {4800, 351, 356},
    {4900, 348, 354}, {5000, 345, 352}, {5200, 340, 347}, {5400, 335, 343}, {5600, 330, 339},
    {5800, 326, 335}, {6000, 322, 332}, {6500, 314, 324}, {7000, 306, 317}, {7500, 300, 310},
    {8000, 295, 305}, {8500, 291, 300}, {9000, 287, 296}, {9300, 285, 293},
};

namespace {

// Item names of SBF/AUX entries by selector, four characters each.
const char *const item_names[4][10] = {
    {"AUX1", "AUX2", "AD0 ", "AD1 ", "--  ", "TA0 ", "TA1 ", "TA2 ", "TA3 ", "TA4 "},
    {"TA5 ", "TA6 ", "TA7 ", "TA8 ", "TA9 ", "TA10", "TA11", "TA12", "TA13", "TA14"},
    {"TA15", "DP0 ", "DP1 ", "DP2 ", "DP3 ", "DP4 ", "DP5 ", "--  ", "--  ", "--  "},
    {"--  ", "--  ", "LE0 ", "LE1 ", "LE2 ", "LE3 ", "LE4 ", "LE5 ", "LE6 ", "LE7 "},
};

// Byte k of the entry: b[2j] the high and b[2j + 1] the low byte of word j.
uint8_t entry_byte(const int32_t *w, int k) {
    const uint32_t v = static_cast<uint32_t>(w[k / 2]);
    return static_cast<uint8_t>(k % 2 == 0 ? v >> 8 : v);
}

uint32_t word(const int32_t *w, int j) { return static_cast<uint32_t>(w[j]) & 0xFFFF; }

const char *pick(const char *const *names, size_t n, unsigned i) { return i < n ? names[i] : ""; }

}  // namespace

void fs_entry_title(const int32_t *w, char *out, size_t n) {
    if (!out || n == 0) return;
    out[0] = 0;
    if (!w) return;
    const uint8_t b0 = entry_byte(w, 0);
    const unsigned lo = b0 & 0x0F, hi = (b0 >> 4) & 0x0F;
    switch (entry_byte(w, 1) & 0xEF) {
    case 0xA2: snprintf(out, n, "TIMING LIST"); break;
    case 0xA3: {
        const char *t[] = {"SBF/AUX", "SBF/AUX -> VGA", "SBF/AUX -> VIDEO", "SBF/AUX -> SDI",
                           "SBF/AUX -> DVI/HDSDI"};
        snprintf(out, n, "%s", lo >= 1 && lo <= 4 ? t[lo] : t[0]);
        break;
    }
    case 0xA7:
    case 0xA8: snprintf(out, n, "INPUT SETTINGS"); break;
    case 0xA9: snprintf(out, n, "USER"); break;
    case 0xAA: {
        const char *target[] = {"", " -> VGA1/2", " -> VIDEO", " -> SDI", " -> DVI/HDSDI"};
        const char *list = hi == 0    ? " -> LIST"
                           : hi == 12 ? " -> KEY: LEFT"
                           : hi == 13 ? " -> KEY: RIGHT"
                           : hi == 14 ? " -> KEY: UP"
                           : hi == 15 ? " -> KEY: DOWN"
                                      : "";
        snprintf(out, n, "ITEM LIST%s%s", pick(target, 5, lo), list);
        break;
    }
    case 0xAC: snprintf(out, n, "DISPLAY SETTINGS"); break;
    case 0xAD: snprintf(out, n, "GLOBAL SETTINGS"); break;
    case 0xAE: {
        const char *input[] = {"VGA1/2", "VGA1/2", "FBAS1", "FBAS2",
                               "Y/C",    "AV",     "SDI",   "DVI/HDSDI"};
        const uint32_t t = word(w, 2) * 4u;
        const uint32_t div = word(w, 1) == 0 ? 1u : word(w, 1);
        snprintf(out, n, "%s MODE DATA -> %dx%d  %d,%dkHz %dHz", pick(input, 8, b0),
                 static_cast<int>(word(w, 4)), static_cast<int>(word(w, 5)),
                 static_cast<int>(t / 1000), static_cast<int>(t % 1000), static_cast<int>(t / div));
        break;
    }
    case 0xAF: {
        const char *kind[] = {"", "ANALOG", "SDI"};
        snprintf(out, n, "%s %s", "VIDEO MODE DATA", pick(kind, 3, b0));
        break;
    }
    case 0xC4: snprintf(out, n, "MVIEW GLOBAL"); break;
    case 0xC5: snprintf(out, n, "MVIEW USER"); break;
    case 0xC7: {
        char name[16] = "";
        if (b0 == 0)
            snprintf(name, sizeof name, "USER:");
        else if (b0 <= 44)
            snprintf(name, sizeof name, "%6dK:", static_cast<int>(cieKxy[b0 - 1].k));
        snprintf(out, n, "%s %s x=%d y=%d", "Whitepoint", name, static_cast<int>(word(w, 1)),
                 static_cast<int>(word(w, 2)));
        break;
    }
    default: snprintf(out, n, "INTERNAL DATA"); break;  // 0xA1 and every class not decoded
    }
}

char fs_print_entry(FILE *f, const int32_t *w) {
    if (!f) return mfe_no_file;
    if (!w) return mfe_nodat;
    const uint8_t b0 = entry_byte(w, 0), b1 = entry_byte(w, 1);
    const uint32_t cls = b1 & 0xEF;
    char title[128], line[256];
    fs_entry_title(w, title, sizeof title);
    snprintf(line, sizeof line, "%s %s", (b1 & 0x10) ? "//Factory:" : "//", title);
    char rv = mf_writeln_str(f, line);
    if (rv) return rv;

    if (cls == 0xA2) {
        for (int i = 0; i < 6; ++i) {
            const uint32_t a = word(w, 1 + 4 * i), b = word(w, 2 + 4 * i);
            const uint32_t c = word(w, 3 + 4 * i), d = word(w, 4 + 4 * i);
            if (a == 0xFFFF || b == 0xFFFF || c == 0xFFFF || d == 0xFFFF) break;
            snprintf(line, sizeof line, "//%dx%d \t->\t %dx%d", static_cast<int>(a),
                     static_cast<int>(b), static_cast<int>(c), static_cast<int>(d));
            if ((rv = mf_writeln_str(f, line)) != 0) return rv;
        }
    } else if (cls == 0xA3 && ((b0 >> 4) & 0x0F) <= 3) {
        size_t k = static_cast<size_t>(snprintf(line, sizeof line, "//    "));
        for (const char *name : item_names[(b0 >> 4) & 0x0F])
            k += static_cast<size_t>(snprintf(line + k, sizeof line - k, "%s           ", name));
        snprintf(line + k, sizeof line - k, " ");
        if ((rv = mf_writeln_str(f, line)) != 0) return rv;
    } else if (cls == 0xA1) {
        snprintf(line, sizeof line, "// Switch: 0x%02X    Panel-Level: %d    Display-No.: 0x%03X",
                 b0, entry_byte(w, 2), static_cast<unsigned>(word(w, 1)));
        if ((rv = mf_writeln_str(f, line)) != 0) return rv;
    }

    // The data line: 32 words in hexadecimal, each with one blank; then an empty line.
    char data[1 + fs_ent_words * 5 + 3];
    size_t k = 0;
    data[k++] = ':';
    for (int j = 0; j < fs_ent_words; ++j) {
        snprintf(data + k, sizeof data - k, "%02X%02X ", entry_byte(w, 2 * j),
                 entry_byte(w, 2 * j + 1));
        k += 5;
    }
    snprintf(data + k, sizeof data - k, "\n\n");
    return mf_write_str(f, data);
}

// ---------------------------------------------------------------- the chain

char upload_fs(int hwnd) {
    (void)hwnd;
    fs_report_reset();
    sm_start_liste1(hwndMain, ix_upl_fs_1);
    return 0;
}

char upload_fs1(void) {
    reset_err();
    byte_count = 0;
    reset_gamma_tab();
    sm_set_stop_enabled();
    ipl_disab = 1;
    out_file_abandon();
    mf_fclose(&fpupl);
    del_zelb_nr = sys_zelb_nr;
    dome.store(1);
    set_titeltx2(scr_get_text_ix(tx_fsupl_tit));
    fs_report.mon = sys_zelb_nr;

    if (fsf_prot && mf_FileExists(fname1) == 1) {
        mw_showerror(hwndMain, scr_get_text_ix(tx_file_write_prot));
        return 0;
    }
    if (sys_zelb_nr == 0) {
        mw_showerror(hwndMain, scr_get_text_ix(tx_no_zelb_nr));
        return 0;
    }
    if (out_file_open(fname1) != 0) return 0;
    if (!step_verdict(open_my_zelb_noipl())) return 0;
    int32_t n = 0;
    if (!step_verdict(fs_get_n_entr(del_zelb_nr, hwndMain, &n))) return 0;
    n_fsent = n + 1;
    fs_report.total = n_fsent;

    resdlg_stat_txt();
    fs_progress_start(tx_fsupl_tit);
    return 1;
}

char fs_read_word(void) { return step_verdict(FS_read_word_2B(del_zelb_nr, &sys_val)); }

char fs_buffer_word_upl(void) {
    ++byte_count;
    if (byte_count <= static_cast<uint32_t>(fs_ent_words)) {
        vansw[byte_count - 1] = static_cast<int32_t>(sys_val);
        return 2;
    }
    return 1;
}

char fs_buff_to_file(void) {
    const char rv = fs_print_entry(fpupl, vansw);
    if (rv == 0) return 1;
    sys_f_rv = static_cast<uint8_t>(rv);
    return 0;
}

char fs_rgamma_end(void) {
    if (sys_rv != 0 || sys_f_rv != 0) return 0;
    if (gamma_found == 0) {
        fs_report.empty = 1;
        mw_showerror(hwndMain, scr_get_text_ix(tx_fs_empty));
        return 0;
    }
    for (const gamma_kind_T &k : gamma_kinds) {
        if (!(gamma_found & k.flag)) continue;
        const char rv = print_gamma_block(fpupl, k.nr, k.name, k.tab);
        if (rv != 0) {
            sys_f_rv = static_cast<uint8_t>(rv);
            return 0;
        }
        print_gamma_c1(k.tab, k.c_file);
        ++fs_report.tables;
    }
    return 1;
}

char fs_upl_end(void) { return out_file_commit(); }
