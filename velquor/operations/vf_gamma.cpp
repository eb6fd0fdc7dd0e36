// Gamma tables: reading them from a monitor, writing them into one, printing
// them into the dump file and the source-style files, and reading the dump
// file's gamma blocks back.
#include "velquor/operations/vf_gamma.h"

#include <cstdio>
#include <cstring>
#include <iterator>

#include "platform/file_replace.h"
#include "velquor/link/com_action.h"
#include "velquor/operations/fs_ops.h"
#include "velquor/operations/vf_end.h"
#include "velquor/operations/vf_ring.h"
#include "velquor/ui/text_ar.h"
#include "velquor/ui/velquor_stat.h"
#include "velquor/ui/velquor_win.h"
#include "velquor/util/velq_str.h"

gamma_tab_T gamma_tab, gamma_tab_def, gamma_tab_dc, gamma_tab_dc_def;
gamma_tab_T *gam_poi = nullptr;
uint8_t gamma_found = 0;

const gamma_kind_T gamma_kinds[4] = {
    {&gamma_tab, gamma_nr_normal, "", tx_gamma_col_tit, tx_gamma_tab_tit, tx_gamma_tab_tit,
     "mygamma.c", gf_normal},
    {&gamma_tab_def, gamma_nr_def, "", tx_gamma_def_col_tit, tx_gamma_tab_tit, tx_gamma_tab_def_tit,
     "mygamma_def.c", gf_default},
    {&gamma_tab_dc, gamma_nr_dc, "DICOM", tx_gamma_col_tit, tx_gamma_dc_tab_tit,
     tx_gamma_dc_tab_tit, "mygamma_dc.c", gf_dicom},
    {&gamma_tab_dc_def, gamma_nr_dc_def, "DICOM", tx_gamma_col_tit, tx_gamma_dc_tab_def_tit,
     tx_gamma_dc_tab_def_tit, "mygamma_dc_def.c", gf_dicom_def},
};

void reset_gamma_tab(void) {
    for (const gamma_kind_T &k : gamma_kinds) {
        for (gamma_tab_entry__T &e : k.tab->ent) e = {255, 255, 255, 255};
        k.tab->count = 0;
    }
    gamma_tab.rt = gamma_tab.gue = gamma_tab.bl = gamma_tab.wt = {0, 0};
    gamma_tab_dc.rt = gamma_tab_dc.gue = gamma_tab_dc.bl = gamma_tab_dc.wt = {0, 0};
}

namespace {

// The colour coordinates in device and file order.
int32_t *col_word(gamma_tab_T *t, int i) {
    col_pt_T *p[4] = {&t->rt, &t->gue, &t->bl, &t->wt};
    return i % 2 == 0 ? &p[i / 2]->x : &p[i / 2]->y;
}

int32_t col_value(const gamma_tab_T *t, int i) {
    return *col_word(const_cast<gamma_tab_T *>(t), i);
}

// Progress title, cut to 100 characters as the dialog keeps it.
void progress_title(const char *title) {
    char t[101];
    snprintf(t, sizeof t, "%s", title ? title : "");
    set_titeltx(t);
}

// Start step of table k.
char gamma_start(const gamma_kind_T &k) {
    if (!step_verdict(GAMMA_start_end_session(del_zelb_nr))) return 0;
    gamma_found = static_cast<uint8_t>(gamma_found & ~k.flag);
    const char rc = GAMMA_get_tab(del_zelb_nr, k.nr);
    if (rc & 0x7F) return step_verdict(static_cast<char>(rc & 0x7F));
    if (static_cast<uint8_t>(rc) == 0x80) {
        reset_err();
        return 2;
    }
    gamma_found = static_cast<uint8_t>(gamma_found | k.flag);
    uint32_t id = 0;
    return step_verdict(FS_read_word_2B(del_zelb_nr, &id));
}

char gamma_color(const gamma_kind_T &k) {
    return fs_rgamma_color1(k.tab, scr_get_text_ix(k.col_title));
}

char gamma_table(const gamma_kind_T &k) {
    return read_gamma_table(scr_get_text_ix(k.read_title), del_zelb_nr, k.tab);
}

}  // namespace

// ---------------------------------------------------------------- reading from a monitor

char fs_rgamma_start(void) {
    gamma_found = 0;
    if (n_fsent != 0) gamma_found |= gf_entries;
    return gamma_start(gamma_kinds[0]);
}
char fs_rgamma_def_start(void) { return gamma_start(gamma_kinds[1]); }
char fs_rgamma_dc_start(void) { return gamma_start(gamma_kinds[2]); }
char fs_rgamma_dc_def_start(void) { return gamma_start(gamma_kinds[3]); }

char fs_rgamma_color(void) { return gamma_color(gamma_kinds[0]); }
char fs_rgamma_def_color(void) { return gamma_color(gamma_kinds[1]); }
char fs_rgamma_dc_color(void) { return gamma_color(gamma_kinds[2]); }
char fs_rgamma_dc_def_color(void) { return gamma_color(gamma_kinds[3]); }

char fs_rgamma_table(void) { return gamma_table(gamma_kinds[0]); }
char fs_rgamma_def_table(void) { return gamma_table(gamma_kinds[1]); }
char fs_rgamma_dc_table(void) { return gamma_table(gamma_kinds[2]); }
char fs_rgamma_dc_def_table(void) { return gamma_table(gamma_kinds[3]); }

char fs_rgamma_color1(gamma_tab_T *t, const char *title) {
    if (!t) return step_verdict(mc_e_no_buff);
    progress_title(title);
    stat_set_max(4);
    stat_set_act(0);
    set_auto_titel();
    for (int i = 0; i < 8; ++i) {
        uint32_t w = 0;
        if (!step_verdict(FS_read_word_2B(del_zelb_nr, &w))) return 0;
        *col_word(t, i) = static_cast<int32_t>(w);
        if (i % 2 == 1) {
            stat_set_act(i / 2 + 1);
            set_auto_pbar();
        }
    }
    return 1;
}

char read_gamma_table(const char *title, uint8_t nr, gamma_tab_T *t) {
    if (!t) return step_verdict(mc_e_no_buff);
    progress_title(title);
    stat_set_max(gamma_max_points);
    set_auto_titel();
    t->count = 0;
    for (int i = 0; i < gamma_max_points; ++i) {
        stat_set_act(i + 1);
        set_auto_pbar();
        uint32_t w = 0;
        if (!step_verdict(FS_read_word_2B(nr, &w))) return 0;
        gamma_tab_entry__T &e = t->ent[i];
        e.x = ms_get_lmsb2(w, 1);
        e.r = ms_get_lmsb2(w, 2);
        ++t->count;
        if (!step_verdict(FS_read_word_2B(nr, &w))) return 0;
        e.g = ms_get_lmsb2(w, 1);
        e.b = ms_get_lmsb2(w, 2);
        if (e.x == 255) break;
    }
    return step_verdict(GAMMA_start_end_session(nr));
}

// ---------------------------------------------------------------- writing to a monitor

char write_gamma(uint8_t nr, uint32_t tabnr, const char *title, const gamma_tab_T *t) {
    if (!title || !t) return 0;
    progress_title(title);
    stat_set_max(t->count);
    stat_set_act(0);
    set_auto_titel();
    if (!step_verdict(GAMMA_start_end_session(nr))) return 0;
    uint32_t id = fs_gamma_base + tabnr;
    if (!step_verdict(FS_create_ent(nr, &id))) return 0;
    for (int i = 0; i < 8; ++i)
        if (!step_verdict(FS_write_word_2B(nr, static_cast<uint32_t>(col_value(t, i))))) return 0;
    stat_set_act(1);
    set_auto_pbar();
    const int32_t n = t->count < gamma_max_points ? t->count : gamma_max_points;
    for (int32_t i = 0; i < n; ++i) {
        stat_set_act(i + 1);
        set_auto_pbar();
        const gamma_tab_entry__T &e = t->ent[i];
        if (!step_verdict(FS_write_word(nr, e.r * 256u + e.x))) return 0;
        if (!step_verdict(FS_write_word(nr, e.b * 256u + e.g))) return 0;
    }
    return step_verdict(GAMMA_start_end_session(nr));
}

// ---------------------------------------------------------------- files

namespace {

const char star_line[] = "//**********************************************************************";

// Writes the lines in order; the first file error id.
char write_lines(FILE *f, const char *const *lines, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        char rv = mf_writeln_str(f, lines[i]);
        if (rv) return rv;
    }
    return 0;
}

}  // namespace

char print_gamma_block(FILE *f, uint32_t tabnr, const char *name, const gamma_tab_T *t) {
    if (!f) return mfe_no_file;
    if (!t) return mfe_nodat;
    for (int i = 0; i < 8; ++i)
        if (col_value(t, i) == 0xFFFF) return 0;
    char title[80], cols[160];
    snprintf(title, sizeof title, ";%02X //Chroma and Gamma %s", static_cast<unsigned>(tabnr),
             name ? name : "");
    snprintf(cols, sizeof cols, ";%3d   %3d   %3d   %3d   %3d   %3d   %3d   %3d",
             static_cast<int>(t->rt.x), static_cast<int>(t->rt.y), static_cast<int>(t->gue.x),
             static_cast<int>(t->gue.y), static_cast<int>(t->bl.x), static_cast<int>(t->bl.y),
             static_cast<int>(t->wt.x), static_cast<int>(t->wt.y));
    const char *head[] = {star_line, star_line, "",
                          title,     "",        "//CIE xy  R G  B  W",
                          cols,      "",        "//RGB   x   R   G  B"};
    char rv = write_lines(f, head, std::size(head));
    if (rv) return rv;
    const int32_t n = t->count < gamma_max_points ? t->count : gamma_max_points;
    for (int32_t i = 0; i < n; ++i) {
        char line[64];
        const gamma_tab_entry__T &e = t->ent[i];
        snprintf(line, sizeof line, ";%6d   %6d   %6d   %6d", e.x, e.r, e.g, e.b);
        rv = mf_writeln_str(f, line);
        if (rv) return rv;
    }
    const char *tail[] = {"", star_line, star_line, ""};
    return write_lines(f, tail, std::size(tail));
}

void print_gamma_c1(const gamma_tab_T *t, const char *fname) {
    if (!t || !fname || mf_FileExists(fname) != 1) return;
    plat::FileReplace r;
    if (plat::file_replace_open(fname, &r) != plat::FILE_OK) return;
    bool ok = fprintf(r.f, "gt_ ,{%d,%d,    %d,%d,   %d,%d,   %d,%d},\n\n", int(t->rt.x),
                      int(t->rt.y), int(t->gue.x), int(t->gue.y), int(t->bl.x), int(t->bl.y),
                      int(t->wt.x), int(t->wt.y)) > 0;
    ok = ok && fputs("{\n", r.f) >= 0;
    const int32_t n = t->count < gamma_max_points ? t->count : gamma_max_points;
    for (int32_t i = 0; ok && i < n; ++i) {
        const gamma_tab_entry__T &e = t->ent[i];
        ok = fprintf(r.f, "%d,%d,%d,%d,\n", e.x, e.r, e.g, e.b) > 0;
    }
    ok = ok && fputs("};\n", r.f) >= 0;
    // A file that could not be written whole keeps its old contents.
    if (ok)
        plat::file_replace_commit(&r);
    else
        plat::file_replace_abort(&r);
}

namespace {

// Blanks at both ends of text removed, in place.
void trim_blanks(char *text) {
    size_t n = strlen(text);
    while (n > 0 && text[n - 1] == ' ') text[--n] = 0;
    size_t a = 0;
    while (text[a] == ' ') ++a;
    if (a) memmove(text, text + a, n - a + 1);
}

// The box of a number that cannot be taken: "Value: " and the text in quotes.
void bad_value_box(const char *text) {
    char msg[300];
    snprintf(msg, sizeof msg, "%s\"%.250s\"", scr_get_text_ix(tx_val), text);
    mw_showerror(hwndMain, msg);
}

}  // namespace

char read_next_int(int32_t *out, char *text) {
    if (!out || !text) {
        sys_f_rv = mfe_nobuff;
        return 1;
    }
    *out = 0;
    trim_blanks(text);
    if (text[0] == 0) {
        mw_showerror(hwndMain, scr_get_text_ix(tx_miss_dat));
        return 4;
    }
    // The number as "%d" reads it: a sign and digits; its value within 32 bits.
    const char *p = text;
    bool neg = false;
    if (*p == '-' || *p == '+') neg = *p++ == '-';
    if (*p < '0' || *p > '9') {
        bad_value_box(text);
        return 2;
    }
    int64_t v = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        v = v * 10 + (*p - '0');
        if (v > 2147483648LL) break;
    }
    if (neg) v = -v;
    if (v > INT32_MAX || v < INT32_MIN) {
        bad_value_box(text);
        return 3;
    }
    // Only the form "%d" prints is taken: no "+5", no "007".
    char back[16];
    const int k = snprintf(back, sizeof back, "%d", static_cast<int>(v));
    if (k <= 0 || strncmp(text, back, static_cast<size_t>(k)) != 0) {
        bad_value_box(text);
        return 3;
    }
    memset(text, ' ', static_cast<size_t>(k));
    *out = static_cast<int32_t>(v);
    return 0;
}

namespace {

// The table of a start tag, compared as written (case) or regardless of it;
// -1 for any other line.
int gamma_tag(const char *line, bool any_case) {
    for (int i = 0; i < 4; ++i) {
        char tag[8];
        snprintf(tag, sizeof tag, ";%02X", static_cast<unsigned>(gamma_kinds[i].nr));
        if (any_case ? strcasecmp(line, tag) == 0 : strcmp(line, tag) == 0) return i;
    }
    return -1;
}

// A format error: its box, file error 13.
char gamma_format_error(int text) {
    mw_showerror(hwndMain, scr_get_text_ix(text));
    sys_f_rv = mfe_invdat;
    return 0;
}

// Reads n numbers of a gamma line (its ";" blanked) into out. 1, or 0 with
// file error 13.
char read_numbers(char *line, int32_t *out, int n) {
    line[0] = ' ';
    ms_clean_str(line);
    for (int i = 0; i < n; ++i) {
        if (read_next_int(&out[i], line) != 0) {
            sys_f_rv = mfe_invdat;
            return 0;
        }
    }
    return 1;
}

}  // namespace

char gamma_read_blocks(FILE *f, int32_t gam_lines) {
    reset_gamma_tab();
    if (gam_lines < 3) return gamma_format_error(tx_gamma_bl);
    char line[mf_line_size];
    if (mf_nextline_char_no_com(f, ';', line) != 0 || sys_f_rv != 0) return 0;
    uint8_t seen = 0;
    while (line[0]) {
        const int k = gamma_tag(line, false);
        if (k < 0) return gamma_format_error(tx_gamma_st);
        if (seen & (1u << k)) return gamma_format_error(tx_redef_gt);
        seen = static_cast<uint8_t>(seen | 1u << k);
        gamma_tab_T *t = gamma_kinds[k].tab;
        gam_poi = t;

        if (mf_nextline_char_no_com(f, ';', line) != 0 || sys_f_rv != 0) return 0;
        int32_t col[8] = {};
        if (line[0] == 0) {
            mw_showerror(hwndMain, scr_get_text_ix(tx_miss_dat));
            sys_f_rv = mfe_invdat;
            return 0;
        }
        if (!read_numbers(line, col, 8)) return 0;
        for (int i = 0; i < 8; ++i) *col_word(t, i) = col[i];

        int32_t points = 0;
        for (;;) {
            if (mf_nextline_char_no_com(f, ';', line) != 0 || sys_f_rv != 0) return 0;
            if (line[0] == 0 || gamma_tag(line, true) >= 0) break;
            if (points == gamma_max_points) {
                mw_showerror(hwndMain, scr_get_text_ix(tx_too_much_gam_ent));
                return 0;
            }
            int32_t v[4] = {};
            if (!read_numbers(line, v, 4)) return 0;
            t->ent[points] = {static_cast<uint8_t>(v[0]), static_cast<uint8_t>(v[1]),
                              static_cast<uint8_t>(v[2]), static_cast<uint8_t>(v[3])};
            ++points;
        }
        t->count = points;
    }
    return 1;
}
