// DDC/EDID: the two file forms, the read of the EEPROM into a file, the write
// series and the conversion.
#include "velquor/operations/vf_ddc.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "platform/file_replace.h"
#include "velquor/link/com_action.h"
#include "velquor/link/com_i2c.h"
#include "velquor/operations/fs_ops.h"
#include "velquor/operations/vf_end.h"
#include "velquor/operations/vf_firm.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/err_texts.h"
#include "velquor/ui/text_ar.h"
#include "velquor/ui/velquor_stat.h"
#include "velquor/ui/velquor_win.h"
#include "velquor/util/velq_str.h"

char ddcpath[cfg_path_size] = "";
uint8_t ddc_prot = 0;
uint8_t ddc_intf = 1;
uint8_t ddc_bus = 1;
uint8_t ddc_to = 3;
uint8_t ddc_stop = ddc_stop_all;
uint8_t ddc_buffer[256] = {};
uint8_t mode2 = 0;
uint8_t tuc1 = 0;
ddc_report_T ddc_report = {0, 0, 0};
uint8_t ddc_fix_checksum = 0;
int16_t ddc_fixed_from = -1;

namespace {

// Tokens taken by the text reader so far.
int32_t ddc_tokens = 0;

char put(FILE *f, const char *s) {
    const char rc = mf_write_str(f, s);
    if (rc) sys_f_rv = static_cast<uint8_t>(rc);
    return rc ? 1 : 0;
}

// The row label "%3d  |" of the row that starts at byte s.
char put_label(FILE *f, int32_t s) {
    char t[16];
    std::snprintf(t, sizeof t, "%3d  |", static_cast<int>(s));
    return put(f, t);
}

char put_byte(FILE *f, uint8_t b) {
    char t[8];
    std::snprintf(t, sizeof t, "  %02X", b);
    return put(f, t);
}

// Opens ddcpath for reading and sets mode2 from its name: 0, or a file error.
char open_ddc_file(void) {
    mode2 = mf_file_is_bin(ddcpath) ? 1 : 0;  // 0: ".bin"
    return mf_open_fpupl(ddcpath);
}

// The series has done the boards asked for (a limit of 0 asks for no end).
bool series_done(void) {
    return ddc_report.limit > 0 && ddc_report.written + ddc_report.failed >= ddc_report.limit;
}

// A read of address adr as the steps make it: 0, 14 not acknowledged, or
// another error id; sys_rv keeps it.
char read_at(uint8_t adr, uint8_t *out) {
    sys_rv = 0;
    if (I2C_R3(ddc_dev_adr, adr, out) == 0) return 0;
    if (sys_rv == 0) sys_rv = mc_e_n_ack;
    return static_cast<char>(sys_rv);
}

}  // namespace

// ---------------------------------------------------------------- files

char ddc_hex_datline(const char *text) {
    if (!text || !text[0]) return 2;
    const char *p = std::strchr(text, '|');
    if (!p) return 0;
    ++p;
    for (;;) {
        while (*p == ' ' || *p == '\t') ++p;
        if (!*p) return 0;
        const uint8_t hi = hex_get_val(p[0]), lo = p[1] ? hex_get_val(p[1]) : 0xFF;
        const bool ends = p[1] && (p[2] == 0 || p[2] == ' ' || p[2] == '\t');
        if (hi == 0xFF || lo == 0xFF || !ends) {
            // The token as it stands: its first two characters at most.
            char tok[3] = {p[0], p[1] ? p[1] : '\0', '\0'};
            mw_showerror_str(hwndMain, scr_get_text_ix(tx_inv_num), tok);
            sys_f_rv = mfe_invdat;
            return 1;
        }
        if (ddc_tokens < ddc_size) ddc_buffer[ddc_tokens] = static_cast<uint8_t>(hi * 16 + lo);
        ++ddc_tokens;
        p += 2;
    }
}

char ddc_hex_to_buffer(void) {
    ddc_tokens = 0;
    bool body = false;
    char line[1024];
    for (;;) {
        const char rc = mf_readln(fpupl, line, sizeof line);
        if (rc == mfe_eof && !line[0]) break;
        if (rc != 0 && rc != mfe_eof) {
            sys_f_rv = static_cast<uint8_t>(rc);
            return sys_f_rv;
        }
        ms_clean_str(line);
        // The body begins with the label of row 0.
        if (!body && std::strncmp(line, "0  |", 4) != 0) {
            if (rc == mfe_eof) break;
            continue;
        }
        body = true;
        if (ddc_hex_datline(line) == 1) return mfe_invdat;
        if (ddc_tokens >= ddc_size || rc == mfe_eof) break;
    }
    if (ddc_tokens != ddc_size) {
        sys_f_rv = mfe_invdat;
        return mfe_invdat;
    }
    sys_f_rv = 0;
    return 0;
}

char input_ddc_file(void) {
    if (!fpupl) {
        sys_f_rv = mfe_no_file;
        return 0;
    }
    if (mode2 == 0) {
        if (mf_fgetsize(fpupl) != ddc_size) {
            sys_f_rv = mfe_sz;
            return 0;
        }
        if (mf_fseek(fpupl, 0, SEEK_SET) != 0 ||
            std::fread(ddc_buffer, 1, ddc_size, fpupl) != static_cast<size_t>(ddc_size)) {
            sys_f_rv = mfe_rw;
            return 0;
        }
        return 1;
    }
    if (mf_fseek(fpupl, 0, SEEK_SET) != 0) {
        sys_f_rv = mfe_invpos;
        return 0;
    }
    return ddc_hex_to_buffer() == 0 ? 1 : 0;
}

namespace {

// The checksum correction of the write series, when asked for.
void fix_checksum(void) {
    ddc_fixed_from = -1;
    if (!ddc_fix_checksum) return;
    uint8_t sum = 0;
    for (int32_t i = 0; i < ddc_size; ++i) sum = static_cast<uint8_t>(sum + ddc_buffer[i]);
    if (sum == 0) return;
    ddc_fixed_from = ddc_buffer[ddc_size - 1];
    ddc_buffer[ddc_size - 1] = static_cast<uint8_t>(ddc_buffer[ddc_size - 1] - sum);
}

}  // namespace

char create_ddc_head_hex(FILE *f) {
    const char *lines[] = {"             Tranvik GmbH", "             file created by Velquor",
                           "__________________________________________________",
                           "128 BYTES OF EDID CODE:", "0   1   2   3   4   5   6   7   8   9"};
    for (const char *l : lines)
        if (put(f, l) || put(f, ddc_eol)) return 1;
    if (put(f, ddc_eol) || put(f, ddc_eol)) return 1;
    if (put(f, "      ________________________________________") || put(f, ddc_eol)) return 1;
    return 0;
}

char create_ddc_line_hex(FILE *f, int32_t s, int32_t e) {
    if (s < 0 || s >= ddc_size || e < 0 || e >= ddc_size) return 2;
    if (e < s) {
        const int32_t t = s;
        s = e;
        e = t;
    }
    if (put_label(f, s)) return 1;
    for (int32_t i = s; i <= e; ++i)
        if (put_byte(f, ddc_buffer[i])) return 1;
    return put(f, ddc_eol);
}

char ddc_target_name(const char *src, char *out, uint32_t n) {
    if (!src || !out || n == 0) return 1;
    const char *ext = mf_file_is_bin(src) == 0 ? "dat" : "bin";
    const char *slash = std::strrchr(src, '/');
    const char *dot = std::strrchr(slash ? slash + 1 : src, '.');
    const size_t stem = dot ? static_cast<size_t>(dot - src) : std::strlen(src);
    const int k = std::snprintf(out, n, "%.*s.%s", static_cast<int>(stem), src, ext);
    return (k < 0 || static_cast<uint32_t>(k) >= n) ? 1 : 0;
}

void convert_ddc(void) {
    reset_err();
    if (open_ddc_file() != 0) return;
    const char loaded = input_ddc_file();
    const uint8_t src_mode = mode2;
    mf_fclose(&fpupl);
    if (!loaded) return;
    char target[cfg_path_size];
    if (ddc_target_name(ddcpath, target, sizeof target) != 0) {
        sys_f_rv = mfe_nopath;
        return;
    }
    std::snprintf(ddcpath, sizeof ddcpath, "%s", target);  // the view shows the new file
    if (ddc_prot && mf_FileExists(target) == 1) {
        sys_f_rv = 0;
        mw_showerror(hwndMain, scr_get_text_ix(tx_file_write_prot));
        return;
    }
    plat::FileReplace out = {nullptr, -1, {0}, {0}};
    if (plat::file_replace_open(target, &out) != plat::FILE_OK) {
        sys_f_rv = mfe_open;
        return;
    }
    bool failed = false;
    if (src_mode == 1) {
        failed = std::fwrite(ddc_buffer, 1, ddc_size, out.f) != static_cast<size_t>(ddc_size);
        if (failed) sys_f_rv = mfe_rw;
    } else {
        failed = create_ddc_head_hex(out.f) != 0;
        for (int32_t s = 0; !failed && s < ddc_size; s += 10)
            failed = create_ddc_line_hex(out.f, s, s + 9 < ddc_size ? s + 9 : ddc_size - 1) != 0;
    }
    if (failed) {
        plat::file_replace_abort(&out);
        return;
    }
    if (plat::file_replace_commit(&out) != plat::FILE_OK) sys_f_rv = mfe_rw;
}

// ---------------------------------------------------------------- read

char upl_ddc(int hwnd) {
    (void)hwnd;
    out_file_abandon();
    mf_fclose(&fpupl);
    reset_err();
    if (ddc_prot && mf_FileExists(ddcpath) == 1) {
        sys_f_rv = 0;
        mw_showerror(hwndMain, scr_get_text_ix(tx_file_write_prot));
        return 1;
    }
    const char orv = mc_open_ddc(ddc_intf, ddc_to, ddc_bus);
    if (orv) {
        sys_rv = static_cast<uint8_t>(orv);
        return 1;
    }
    if (!I2C_get_cable()) {
        sys_rv = mc_e_flush;
        return 1;
    }
    mode2 = mf_file_is_bin(ddcpath) ? 1 : 0;  // 0: ".bin"
    if (out_file_open(ddcpath) != 0) return 1;
    n_fsent = ddc_size;
    tuc1 = 0;
    progress_start(tx_ddc_upl, tx_byte, ddc_size);
    sm_start_liste1(hwndMain, ix_ddc_inp);
    return 0;
}

char ddc_start_send(void) {
    uint8_t b = 0;
    const char rv = read_at(0, &b);
    if (rv == 0) return 2;
    if (rv != mc_e_n_ack) return 0;
    if (++tuc1 <= 10) {
        sys_rv = 0;
        return 1;
    }
    sys_rv = mc_e_n_ack;
    return 0;
}

char read_ddc(void) {
    if (fs_cnt >= n_fsent) {
        if (mode2 == 1 && put(fpupl, ddc_eol)) return 0;
        return 2;
    }
    ++fs_cnt;
    const int32_t adr = fs_cnt - 1;
    if (adr == 0 && mode2 == 1 && create_ddc_head_hex(fpupl)) return 0;
    uint8_t b = 0;
    if (read_at(static_cast<uint8_t>(adr), &b) != 0) return 0;
    if (mode2 == 0) {
        const char rc = mf_fputc(static_cast<char>(b), fpupl);
        if (rc) {
            sys_f_rv = static_cast<uint8_t>(rc);
            return 0;
        }
    } else {
        if (adr % 10 == 0 && (put(fpupl, ddc_eol) || put_label(fpupl, adr))) return 0;
        if (put_byte(fpupl, b)) return 0;
    }
    stat_set_act(fs_cnt);
    set_auto_titel();
    return 1;
}

char ddc_upl_end(void) { return out_file_commit(); }

// ---------------------------------------------------------------- write series

char dnl_ddc(int hwnd) {
    (void)hwnd;
    dlg_err = 2;
    ddc_report.written = 0;
    ddc_report.failed = 0;
    n_fsent = ddc_size;
    progress_start(tx_ddc_dnl, tx_byte, ddc_size);
    sm_start_liste1(hwndMain, ix_ddc_w_inp);
    return 0;
}

char ddc_init_dnl(void) {
    sm_set_stop_enabled();
    reset_err();
    mf_fclose(&fpupl);
    const char orv = mc_open_ddc(ddc_intf, ddc_to, ddc_bus);
    if (orv) {
        sys_rv = static_cast<uint8_t>(orv);
        return 0;
    }
    if (open_ddc_file() != 0) return 0;
    if (!input_ddc_file()) return 0;
    fix_checksum();
    if (!I2C_get_cable()) return 0;
    return 1;
}

char ddc_check_ack2(void) {
    if (ddc_stop) return 0;
    uint8_t b = 0;
    const char rv = read_at(0, &b);
    if (rv == mc_e_n_ack) {
        sys_rv = 0;
        return 2;
    }
    return rv == 0 ? 1 : 0;
}

char ddc_initstart(void) {
    if (ddc_stop) return 0;
    // The series ends by itself after the boards asked for.
    if (series_done()) return 0;
    fs_cnt = 0;
    stat_set_act(0);
    set_titeltx(scr_get_text_ix(tx_ddc_dnl));
    set_auto_titel();
    return 1;
}

char ddc_check_nack(void) {
    const char v = ddc_check_ack2();
    if (v == 2) {
        if (dlg_err == 0) send_stat_msg(scr_get_text_ix(tx_no_board));
        return 1;
    }
    if (v == 1) {
        dlg_err = 0;
        send_stat_msg(nullptr);
        return 2;
    }
    return 0;
}

char ddc_read_settled(uint8_t adr, uint8_t *out) {
    using Clock = std::chrono::steady_clock;
    const auto until = Clock::now() + std::chrono::milliseconds(20);
    for (;;) {
        // The last try begins after the 20 ms, however late this thread ran.
        const bool last = Clock::now() >= until;
        const char rv = read_at(adr, out);
        if (rv != mc_e_n_ack || last) return rv;
        // A try costs a fraction of a millisecond of bus time; the pause
        // between tries leaves the processor to others meanwhile.
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
}

char ddc_write_test(void) {
    if (ddc_stop) return 0;
    uint8_t b = 0;
    if (ddc_read_settled(0, &b) != 0) return 0;
    tuc1 = static_cast<uint8_t>(~b);
    if (I2C_WR3(ddc_dev_adr, 0, tuc1) != 0) return 0;
    return 1;
}

char ddc_write_test2(void) {
    if (ddc_stop) return 0;
    uint8_t b = 0;
    if (ddc_read_settled(0, &b) != 0) return 0;
    if (b != tuc1) {
        sys_rv = mc_e_ddc_wp;
        return 0;
    }
    return 1;
}

char send_ddc_bin(void) {
    if (fs_cnt >= n_fsent) return 2;
    ++fs_cnt;
    tuc1 = ddc_buffer[fs_cnt - 1];
    sys_rv = 0;
    if (I2C_WR3(ddc_dev_adr, static_cast<uint8_t>(fs_cnt - 1), tuc1) != 0) return 0;
    return 1;
}

char send_ddc_ver(void) {
    uint8_t b = 0;
    // The EEPROM is still writing the byte: wait for its acknowledge.
    if (ddc_read_settled(static_cast<uint8_t>(fs_cnt - 1), &b) != 0) return 0;
    if (b != tuc1) {
        sys_rv = mc_e_w_dat;
        ++ddc_report.failed;
        return 2;
    }
    stat_set_act(fs_cnt);
    set_auto_titel();
    if (fs_cnt >= n_fsent) {
        ++ddc_report.written;
        // The boards asked for are done: the series ends here, not at the removal.
        if (series_done()) {
            sys_rv = 0;
            return 2;
        }
    }
    return 1;
}

char ddc_check_ack(void) {
    const char v = ddc_check_ack2();
    if (v == 1) {
        if (dlg_err == 0) send_stat_msg(scr_get_text_ix(tx_fertig));
        return 1;
    }
    return v == 2 ? 2 : 0;
}

char ddc_dnl_err(void) {
    dlg_err = 1;
    if (sys_rv != 0) {
        ++ddc_report.failed;
        char t[160];
        std::snprintf(t, sizeof t, "%s -> %s!", scr_get_text_ix(tx_err), mc_get_err_msg(sys_rv));
        send_stat_msg(t);
        set_auto_titel();
        // The boards asked for are done: the series ends with this board's error.
        if (series_done()) return 0;
    } else {
        dlg_err = 0;
    }
    return 1;
}
