// Macros: the loader of the macro file, the buttons' captions and the chain
// that sends one step's frames.
#include "velquor/operations/vf_mak.h"

#include <cstdio>
#include <cstring>

#include "platform/io_stop.h"
#include "velquor/link/com_action.h"
#include "velquor/link/com_link.h"
#include "velquor/operations/fs_ops.h"
#include "velquor/operations/vf_ipl.h"
#include "velquor/operations/vf_ring.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/err_texts.h"
#include "velquor/ui/text_ar.h"
#include "velquor/ui/velquor_win.h"
#include "velquor/util/velq_str.h"

makroT makros[mak_buttons];
char makpath[cfg_path_size] = "";
mak_ent_T *MPoi = nullptr;

namespace {

FILE *fpmak = nullptr;

// A line of the file is read up to this many characters; the rest of a longer
// line comes as the next line.
constexpr uint32_t mak_line_max = 254;
// The part of a line an error box shows.
constexpr size_t mak_shown_max = 49;

// Copies at most mak_text_size - 1 characters of src.
void put_text(char *dst, const char *src, size_t n) {
    if (n > mak_text_size - 1) n = mak_text_size - 1;
    std::memcpy(dst, src, n);
    dst[n] = '\0';
}

void set_step(mak_ent_T *e, const char *name, const char *caption) {
    *e = mak_ent_T{};
    put_text(e->text_id, name, std::strlen(name));
    put_text(e->text, caption, std::strlen(caption));
}

// The first field of s (up to the first blank) moved into `field`, s keeping
// the cleaned rest. False when the field is empty or does not fit.
bool take_field(char *s, char *field, size_t n) {
    const char *blank = std::strchr(s, ' ');
    const size_t len = blank ? static_cast<size_t>(blank - s) : std::strlen(s);
    if (len == 0 || len >= n) return false;
    std::memcpy(field, s, len);
    field[len] = '\0';
    std::memmove(s, s + len, std::strlen(s + len) + 1);
    ms_clean_str(s);
    return true;
}

}  // namespace

void mak_reset_all(void) {
    for (makroT &m : makros) m = makroT{};
    MPoi = nullptr;
}

char mak_is_empty(const makroT *m) { return !m || m->cnt == 0 ? 1 : 0; }

int mak_is_grp(const char *name) {
    if (!name) return -1;
    for (int b = 0; b < mak_buttons; ++b)
        if (!mak_is_empty(&makros[b]) && ms_strcmp_ud(makros[b].ent[0].text_id, name) == 0)
            return b;
    return -1;
}

char mak_add_new(const char *name, const char *caption) {
    for (makroT &m : makros) {
        if (!mak_is_empty(&m)) continue;
        set_step(&m.ent[0], name, caption);
        m.cnt = 1;
        m.ix = 0;
        MPoi = &m.ent[0];
        return 0;
    }
    return mc_e_inv_dat;
}

char mak_add_ex(int b, const char *name, const char *caption) {
    if (b < 0 || b >= mak_buttons) return mc_e_inv_dat;
    makroT &m = makros[b];
    if (m.cnt >= mak_steps) return mc_e_inv_dat;
    set_step(&m.ent[m.cnt], name, caption);
    MPoi = &m.ent[m.cnt];
    ++m.cnt;
    return 0;
}

char load_mak_grp(char *line) {
    char *open = line ? std::strchr(line, '<') : nullptr;
    if (!open) return mc_e_inv_dat;
    if (open - line >= mak_text_size) return mc_e_inv_dat;  // more than 25 characters before "<"
    char name[mak_text_size];
    put_text(name, line, static_cast<size_t>(open - line));
    ms_rtrim(name, name);
    const char *rest = open + 1;
    const char *close = std::strchr(rest, '>');
    if (!close) return mc_e_inv_dat;
    char caption[mak_text_size];
    put_text(caption, rest, static_cast<size_t>(close - rest));
    const int b = mak_is_grp(name);
    return b < 0 ? mak_add_new(name, caption) : mak_add_ex(b, name, caption);
}

char load_mak_dat(char *line) {
    if (!MPoi || !line || line[0] != ':') return mc_e_inv_dat;
    if (MPoi->cnt >= mak_cmds) return mc_e_inv_dat;
    line[0] = ' ';
    ms_clean_str(line);
    char adr[mak_line_max + 1], cmd[mak_line_max + 1];
    int32_t a = 0, c = 0, v = 0;
    if (!take_field(line, adr, sizeof adr) || ms_str_to_char(adr, &a) != 0) return mc_e_inv_dat;
    if (!take_field(line, cmd, sizeof cmd) || ms_str_to_int(cmd, &c) != 0) return mc_e_inv_dat;
    if (ms_str_to_int(line, &v) != 0) return mc_e_inv_dat;  // the whole rest: one value
    const uint8_t k = MPoi->cnt;
    MPoi->zelb_nr[k] = static_cast<uint8_t>(a & 0xFF);
    MPoi->cmd[k] = static_cast<uint32_t>(c);
    MPoi->val[k] = static_cast<uint32_t>(v);
    ++MPoi->cnt;
    return 0;
}

void load_mak(void) {
    mak_reset_all();
    if (!makpath[0]) return;
    mf_fclose(&fpmak);
    if (mf_fopen(&fpmak, makpath, mf_read) != 0) {
        mw_showerror(hwndMain, scr_get_text_ix(tx_err_op_mak));
        makpath[0] = '\0';
        return;
    }
    MPoi = nullptr;
    char line[mf_line_size];
    char shown[mak_shown_max + 1] = "";
    char rv = 0;
    for (;;) {
        uint32_t len = 0;
        char rc = mf_readln(fpmak, line, sizeof line, &len);
        if (rc != 0 && rc != mfe_eof) {
            rv = mc_e_inv_dat;  // a read error: what was read is not the whole file
            break;
        }
        if (len > 0 || rc == 0) {
            const size_t keep = strnlen(line, mak_shown_max);
            std::memcpy(shown, line, keep);
            shown[keep] = '\0';
            shown[std::strcspn(shown, "\r\n")] = '\0';
            // The rest of a line longer than the buffer is passed over here,
            // never read as a line of its own.
            for (uint32_t more = len; rc == 0 && more == sizeof line - 1;) {
                char rest[mf_line_size];
                rc = mf_readln(fpmak, rest, sizeof rest, &more);
            }
            if (rc != 0 && rc != mfe_eof) {
                rv = mc_e_inv_dat;
                break;
            }
            ms_clean_str(line);
            if (char *comment = std::strstr(line, "//")) *comment = '\0';
            ms_trim(line, line);
            // What is left of a line may be 254 characters at most; a longer
            // comment is no fault.
            if (std::strlen(line) > mak_line_max)
                rv = mc_e_inv_dat;
            else if (line[0])
                rv = line[0] == ':' ? load_mak_dat(line) : load_mak_grp(line);
        }
        if (rv != 0 || rc != 0) break;
    }
    MPoi = nullptr;
    if (rv != 0) mw_showerror_str(hwndMain, scr_get_text_ix(tx_err_read_mak), shown);
    mf_fclose(&fpmak);
}

const char *mak_get_vals(int kind, int b) {
    static const char enabled[2] = {1, 0};
    static char number[mak_buttons][2];
    if (b < 0 || b >= mak_buttons) return nullptr;
    const makroT &m = makros[b];
    if (kind == 0) return mak_is_empty(&m) ? "" : enabled;
    if (mak_is_empty(&m)) return nullptr;
    const mak_ent_T &e = m.ent[m.ix < m.cnt ? m.ix : 0];
    if (e.text[0]) return e.text;
    if (e.text_id[0]) return e.text_id;
    number[b][0] = static_cast<char>('1' + b);
    number[b][1] = '\0';
    return number[b];
}

char mak_action(int b) {
    if (b < 0 || b >= mak_buttons || mak_is_empty(&makros[b])) return 1;
    makroT &m = makros[b];
    if (m.ix >= m.cnt) m.ix = 0;
    MPoi = &m.ent[m.ix];
    byte_count = 0;
    sm_start_liste1(hwndMain, ix_mak_init);
    // The running step keeps MPoi: the caption names the next step at once.
    if (++m.ix >= m.cnt) m.ix = 0;
    return 0;
}

// ---------------------------------------------------------------- the chain

char mak_init(void) { return 1; }

char mak_run(void) {
    if (!MPoi) {
        sys_rv = mc_e_no_buff;
        return 0;
    }
    if (sys_rv != 0) return 0;
    const char rv = open_my_zelb_ipl_100();
    if (rv != 0) {
        sys_rv = static_cast<uint8_t>(rv);
        return 0;
    }
    return 1;
}

char mak_get_send(void) {
    if (!MPoi) {
        sys_rv = mc_e_no_buff;
        return 0;
    }
    for (byte_count = 0; byte_count < MPoi->cnt && byte_count < mak_cmds; ++byte_count) {
        const uint8_t z = MPoi->zelb_nr[byte_count];
        const uint8_t adr = z == 0 ? sys_zelb_nr : z == 255 ? 0 : z;
        uint32_t cmd = MPoi->cmd[byte_count], val = MPoi->val[byte_count];
        const char rv = send_single_send_zelb(adr, &cmd, &val, 0);
        if (rv != 0) {
            sys_rv = static_cast<uint8_t>(rv);
            return 0;
        }
        // The answer is read only to take it off the line before the next
        // frame; a monitor that does not answer is no error.
        uint8_t scratch[10];
        for (uint32_t have = 0; have < sizeof scratch;) {
            uint32_t got = 0;
            if (mc_read_syscom(scratch + have, sizeof scratch - have, &got) != 0 || got == 0) break;
            have += got;
        }
        if (plat::io_stop_raised()) return 0;  // Stop: no further frames
    }
    // A converter that closed the connection took the frames not yet on the
    // line with it, though every write went into the socket: unlike a silent
    // monitor, that is a failed step.
    if (com_mode == com_mode_ip || com_mode == com_mode_ipl) {
        if (mc_discard_syscom() != mc_e_ok) {
            sys_rv = mc_e_w_dat;
            return 0;
        }
    }
    mc_close_syscom();
    return 1;
}

char mak_end(void) {
    MPoi = nullptr;
    return 1;
}

char mak_send_it(void) { return 2; }
