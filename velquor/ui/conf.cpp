// The configuration file: reading it over the defaults at start-up, writing it
// whole at shut-down.
//
// Each group of keys is one constant table of rows (key, how the value is read,
// the setting, its bounds); the rows stand in the order in which the keys are
// written, and loading and saving walk the same rows, so a key cannot be read
// and forgotten when writing or the other way round. The IP lists keep their
// own keys (vf_ipl.h) and the COM device keys are formed from their number.
// Every setting is declared by its owner; velquor_cfg.h gathers their headers.
//
// Sections: text and line helpers; number rules; value readers; key tables;
// groups; loading; saving; file names.
#include "conf.h"

#include <cctype>
#include <cerrno>
#include <cinttypes>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "platform/file_replace.h"
#include "platform/serial.h"
#include "velquor/operations/vf_images.h"
#include "velquor/ui/screen.h"
#include "velquor/ui/velquor_main.h"
#include "velquor/util/files.h"
#include "velquor/util/velq_str.h"

FILE *fconfig = nullptr;
uint8_t conf_foreign = 0;
char conf_problem[conf_problem_size] = "";

namespace {

// ---------------------------------------------------------------- text and line helpers

// Adds a line to conf_problem (cut when it is full).
__attribute__((format(printf, 1, 2))) void conf_note(const char *fmt, ...) {
    const size_t used = std::strlen(conf_problem);
    if (used + 2 >= sizeof conf_problem) return;
    char *p = conf_problem + used;
    size_t room = sizeof conf_problem - used;
    if (used > 0) {
        *p++ = '\n';
        --room;
    }
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(p, room, fmt, ap);
    va_end(ap);
}

// Longest line read (characters), key and value kept (characters).
constexpr size_t line_max = 1077;
constexpr size_t key_max = 49;
constexpr size_t val_max = 1026;

// Opens path for reading in text mode into the empty holder *h. The path is
// taken as it is given, as save_conf's replacement takes it (mf_fopen would
// read it as a Windows-1252 text); the results are mf_fopen's.
uint8_t open_read(FILE **h, const char *path) {
    if (*h) return mfe_use;
    if (!path || !*path) return mfe_nopath;
    *h = std::fopen(path, "rt");
    return *h ? 0 : mfe_open;
}

// Keys compare without regard to letter case.
bool key_eq(const char *a, const char *b) { return a && b && ms_strcmp_ud(a, b) == 0; }

// ---------------------------------------------------------------- number rules

void order(uint32_t &min, uint32_t &max) {
    if (min > max) {
        uint32_t t = min;
        min = max;
        max = t;
    }
}

// The decimal rule: the C library's conversion, printed back with "%d", must
// give the text itself. Values beyond 32 bits are not well-formed.
bool parse_decimal(const char *val, int32_t *out) {
    if (!val || !*val) return false;
    errno = 0;
    char *end = nullptr;
    long long v = std::strtoll(val, &end, 10);
    if (errno != 0 || v < INT32_MIN || v > INT32_MAX) return false;
    char back[16];
    std::snprintf(back, sizeof back, "%d", static_cast<int32_t>(v));
    if (std::strcmp(back, val) != 0) return false;
    *out = static_cast<int32_t>(v);
    return true;
}

// The 32-bit range rule shared by the decimal and hex readers.
char take_u32(bool ok, uint32_t v, uint32_t *var, uint32_t min, uint32_t max, uint32_t def) {
    if (!ok) {
        *var = def;
        return cv_bad;
    }
    order(min, max);
    if (v < min || v > max) {
        *var = def;
        return cv_range;
    }
    *var = v;
    return cv_ok;
}

}  // namespace

// ---------------------------------------------------------------- value readers

char load_str_val(const char *val, char *var, size_t cap) {
    if (!val || !var || cap == 0) return cv_arg;
    std::snprintf(var, cap, "%s", val);
    return cv_ok;
}

char load_uchar(const char *val, uint8_t *var, uint32_t min, uint32_t max, uint8_t def) {
    if (!val || !var) return cv_arg;
    int32_t v = 0;
    if (!parse_decimal(val, &v)) {
        *var = def;
        return cv_bad;
    }
    order(min, max);
    if (static_cast<int64_t>(v) < static_cast<int64_t>(min) ||
        static_cast<int64_t>(v) > static_cast<int64_t>(max))
        return cv_range;  // a byte out of bounds keeps its value
    *var = static_cast<uint8_t>(v);
    return cv_ok;
}

char load_uint(const char *val, uint32_t *var, uint32_t min, uint32_t max, uint32_t def) {
    if (!val || !var) return cv_arg;
    int32_t v = 0;
    const bool ok = parse_decimal(val, &v);
    return take_u32(ok, static_cast<uint32_t>(v), var, min, max, def);
}

char load_dword(const char *val, int32_t *var, uint32_t min, uint32_t max, uint32_t def) {
    if (!val || !var) return cv_arg;
    uint32_t u = 0;
    char rc = load_uint(val, &u, min, max, def);
    *var = static_cast<int32_t>(u);
    return rc;
}

char load_hexdword(const char *val, uint32_t *var, uint32_t min, uint32_t max, uint32_t def) {
    if (!val || !var) return cv_arg;
    char up[val_max + 1];
    std::snprintf(up, sizeof up, "%s", val);
    for (char *p = up; *p; ++p)
        *p = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    const char *x = std::strchr(up, 'X');
    const char *digits = x ? x + 1 : up;
    bool ok = false;
    uint32_t v = 0;
    if (std::isxdigit(static_cast<unsigned char>(digits[0]))) {
        errno = 0;
        char *end = nullptr;
        unsigned long long u = std::strtoull(digits, &end, 16);
        if (errno == 0 && u <= 0xFFFFFFFFull) {
            v = static_cast<uint32_t>(u);
            char b4[16], b0[16];
            std::snprintf(b4, sizeof b4, "%04" PRIX32, v);
            std::snprintf(b0, sizeof b0, "%" PRIX32, v);
            ok = std::strcmp(b4, digits) == 0 || std::strcmp(b0, digits) == 0;
        }
    }
    return take_u32(ok, v, var, min, max, def);
}

char load_iv_uint(const char *val, uint32_t *var, int32_t kind) {
    const intervallT &r = *iv_get(kind);
    return load_uint(val, var, r.min, r.max, r.def);
}

char load_iv_uchar(const char *val, uint8_t *var, int32_t kind) {
    const intervallT &r = *iv_get(kind);
    return load_uchar(val, var, r.min, r.max, static_cast<uint8_t>(r.def));
}

char load_iv_uchar_inc1(const char *val, int8_t *var, int32_t kind) {
    if (!var) return cv_arg;
    const intervallT &r = *iv_get(kind);
    auto lower = [](uint32_t v) { return v ? v - 1 : 0; };  // a bound of 0 stays 0
    uint8_t b = static_cast<uint8_t>(*var);
    char rc = load_uchar(val, &b, lower(r.min), lower(r.max), static_cast<uint8_t>(lower(r.def)));
    *var = static_cast<int8_t>(b);
    return rc;
}

char load_iv_dword(const char *val, int32_t *var, int32_t kind) {
    const intervallT &r = *iv_get(kind);
    return load_dword(val, var, r.min, r.max, r.def);
}

namespace {

// ---------------------------------------------------------------- key tables

// How a key's value is read (and so how it is written).
enum : uint8_t {
    rd_text,      // text of `arg` bytes
    rd_iv_uchar,  // byte of interval kind `arg`
    rd_iv_inc1,   // 0-based byte of interval kind `arg`
    rd_iv_dword,  // signed 32-bit of interval kind `arg`
    rd_dword,     // signed 32-bit within min..max, else def
    rd_uint,      // unsigned 32-bit within min..max, else def
    rd_hex,       // unsigned 32-bit, hexadecimal, within min..max, else def
};

// Row flags.
enum : uint8_t {
    kf_load_only = 1,  // read here, written by another group
    kf_inet = 2,       // read only when networking is available
};

struct cfg_key_T {
    const char *key;
    uint8_t rd;
    void *var;
    uint32_t arg;  // text capacity or interval kind
    uint32_t min, max, def;
    uint8_t flags;
};

constexpr uint32_t u32_max = 0xFFFFFFFFu;

// Single keys written first: firmware baud rate, macro file, boot loader type.
const cfg_key_T head_tab[] = {
    {"ik_sys_baud", rd_iv_dword, &sys_baud, iv_sys_baud, 0, 0, 0, 0},
    {"ik_makpath", rd_text, makpath, sizeof makpath, 0, 0, 0, 0},
    {"ik_sys_boot", rd_iv_dword, &sys_boot, iv_sys_boot, 0, 0, 0, 0},
};

// Single keys written after the viewers: firmware 5.068, test images, parity, traffic
// log, title.
const cfg_key_T tail_tab[] = {
    {"ik_firmspec", rd_iv_uchar, &firm_68, iv_bool_neg, 0, 0, 0, 0},
    {"ik_test_images", rd_iv_uchar, &test_images, iv_bool_neg, 0, 0, 0, 0},
    {"ik_parno", rd_iv_uchar, &parno, iv_bool_neg, 0, 0, 0, 0},
    {"ik_log", rd_iv_uchar, &logcom, iv_bool_neg, 0, 0, 0, 0},
    {"ik_app_name", rd_text, VER_APP_NAME, sizeof VER_APP_NAME, 0, 0, 0, 0},
};

// Interface: time-out, monitor number, COM port, long firmware time-out, IP
// address, networking message, IP-list index, Group (written with the IP lists).
const cfg_key_T intf_tab[] = {
    {"ik_sys_to", rd_iv_uchar, &sys_to, iv_timeout, 0, 0, 0, 0},
    {"ik_sys_zelb", rd_iv_uchar, &sys_zelb_nr, iv_zelb_nr, 0, 0, 0, 0},
    {"ik_sys_intf", rd_iv_uchar, &sys_intf, iv_comport, 0, 0, 0, 0},
    {"ik_firm_hito", rd_iv_uchar, &firm_hito, iv_bool_neg, 0, 0, 0, 0},
    {"ik_sys_ip", rd_text, sys_ip, sizeof sys_ip, 0, 0, 0, 0},
    {"ik_eth_init_err", rd_iv_uchar, &show_eth_init_err, iv_bool_pos, 0, 0, 0, 0},
    {"ik_sys_ipx", rd_iv_inc1, &sys_ipx, iv_ip_ind, 0, 0, 0, 0},
    {"ik_sys_broad", rd_iv_uchar, &broad, iv_bool_neg, 0, 0, 0, kf_load_only},
};

// View: display options, link, view, language.
const cfg_key_T view_tab[] = {
    {"ik_show_keyb", rd_iv_uchar, &show_keyb, iv_bool_neg, 0, 0, 0, 0},
    {"ik_show_mak", rd_iv_uchar, &show_mak, iv_bool_neg, 0, 0, 0, 0},
    {"ik_show_info", rd_iv_uchar, &show_info, iv_bool_neg, 0, 0, 0, 0},
    {"ik_commode", rd_dword, &com_mode, 0, 1, u32_max, com_mode_rs232, kf_inet},
    {"ik_sysmode", rd_dword, &sysmode, 0, 1, u32_max, view_fs, 0},
    {"ik_syslang", rd_uint, &sys_lang, 0, 1, u32_max, lang_eng, 0},
};

// Window position (the size is not stored: every start uses 600 x 370).
const cfg_key_T win_tab[] = {
    {"ik_w_lf", rd_iv_dword, &win_left, iv_w_left, 0, 0, 0, 0},
    {"ik_w_tp", rd_iv_dword, &win_top, iv_w_top, 0, 0, 0, 0},
};

// External viewers: the command before and after the file name.
const cfg_key_T viewer_tab[] = {
    {"ik_op_mak_pre", rd_text, op_mak_pre, sizeof op_mak_pre, 0, 0, 0, 0},
    {"ik_op_mak_suff", rd_text, op_mak_suff, sizeof op_mak_suff, 0, 0, 0, 0},
    {"ik_op_ddc_hex_pre", rd_text, op_ddc_hex_pre, sizeof op_ddc_hex_pre, 0, 0, 0, 0},
    {"ik_op_ddc_hex_suff", rd_text, op_ddc_hex_suff, sizeof op_ddc_hex_suff, 0, 0, 0, 0},
    {"ik_op_ddc_bin_pre", rd_text, op_ddc_bin_pre, sizeof op_ddc_bin_pre, 0, 0, 0, 0},
    {"ik_op_ddc_bin_suff", rd_text, op_ddc_bin_suff, sizeof op_ddc_bin_suff, 0, 0, 0, 0},
    {"ik_op_tx_pre", rd_text, op_tx_pre, sizeof op_tx_pre, 0, 0, 0, 0},
    {"ik_op_tx_suff", rd_text, op_tx_suff, sizeof op_tx_suff, 0, 0, 0, 0},
};

// Identification queries: command code and value of each, 0 = not supported.
const cfg_key_T det_tab[] = {
    {"ix_det_zelb_cmd", rd_hex, &det_zelb_cmd, 0, 0, u32_max, 0x8E4, 0},
    {"ix_det_zelb_val", rd_hex, &det_zelb_val, 0, 0, u32_max, 0, 0},
    {"ix_det_sw_cmd", rd_hex, &det_sw_cmd, 0, 0, u32_max, 0x8E6, 0},
    {"ix_det_sw_val", rd_hex, &det_sw_val, 0, 0, u32_max, 0, 0},
    {"ix_det_dat_cmd", rd_hex, &det_dat_cmd, 0, 0, u32_max, 0x8E7, 0},
    {"ix_det_dat_val", rd_hex, &det_dat_val, 0, 0, u32_max, 0, 0},
    {"ix_det_disp_cmd", rd_hex, &det_disp_cmd, 0, 0, u32_max, 0x8E5, 0},
    {"ix_det_disp_val", rd_hex, &det_disp_val, 0, 0, u32_max, 0, 0},
    {"ix_det_vfreq_cmd", rd_hex, &det_vfreq_cmd, 0, 0, u32_max, 0x8EA, 0},
    {"ix_det_vfreq_val", rd_hex, &det_vfreq_val, 0, 0, u32_max, 0, 0},
    {"ix_det_hfreq_cmd", rd_hex, &det_hfreq_cmd, 0, 0, u32_max, 0x8E9, 0},
    {"ix_det_hfreq_val", rd_hex, &det_hfreq_val, 0, 0, u32_max, 0, 0},
    {"ix_det_pclk_cmd", rd_hex, &det_pclk_cmd, 0, 0, u32_max, 0x8E8, 0},
    {"ix_det_pclk_val", rd_hex, &det_pclk_val, 0, 0, u32_max, 0, 0},
};

// Files: DDC, firmware and dump file, their write protection, temporary file.
const cfg_key_T files_tab[] = {
    {"ik_ddcpath", rd_text, ddcpath, sizeof ddcpath, 0, 0, 0, 0},
    {"ik_firmpath", rd_text, firmpath, sizeof firmpath, 0, 0, 0, 0},
    {"ik_fn1", rd_text, fname1, sizeof fname1, 0, 0, 0, 0},
    {"ik_fsf_prot", rd_iv_uchar, &fsf_prot, iv_fsf_prot, 0, 0, 0, 0},
    {"ik_ddc_prot", rd_iv_uchar, &ddc_prot, iv_ddc_prot, 0, 0, 0, 0},
    {"ik_tempf", rd_text, get_temp_file, sizeof get_temp_file, 0, 0, 0, 0},
};

// Interface scan: COM range, time-out, parity.
const cfg_key_T scan_tab[] = {
    {"ik_sc_intf_s", rd_iv_uchar, &sc_intf_s, iv_sc_intf, 0, 0, 0, 0},
    {"ik_sc_intf_e", rd_iv_uchar, &sc_intf_e, iv_sc_intf, 0, 0, 0, 0},
    {"ik_sc_to", rd_iv_uchar, &sc_to, iv_timeout_sc, 0, 0, 0, 0},
    {"ik_sc_parno", rd_iv_uchar, &sc_parno, iv_bool_neg, 0, 0, 0, 0},
};

// LPT ports: data and status register of LPT1..4 (minimum 1).
const cfg_key_T port_tab[] = {
    {"ik_ddc_1", rd_hex, &lptport[0], 0, 1, u32_max, 0x378, 0},
    {"ik_ddc_1s", rd_hex, &lptportstat[0], 0, 1, u32_max, 0x379, 0},
    {"ik_ddc_2", rd_hex, &lptport[1], 0, 1, u32_max, 0x278, 0},
    {"ik_ddc_2s", rd_hex, &lptportstat[1], 0, 1, u32_max, 0x279, 0},
    {"ik_ddc_3", rd_hex, &lptport[2], 0, 1, u32_max, 0x3BC, 0},
    {"ik_ddc_3s", rd_hex, &lptportstat[2], 0, 1, u32_max, 0x3BD, 0},
    {"ik_ddc_4", rd_hex, &lptport[3], 0, 1, u32_max, 0x378, 0},
    {"ik_ddc_4s", rd_hex, &lptportstat[3], 0, 1, u32_max, 0x379, 0},
};

// A table and its length.
struct cfg_tab_T {
    const cfg_key_T *rows;
    size_t n;
};
template <size_t N>
constexpr cfg_tab_T tab(const cfg_key_T (&rows)[N]) {
    return {rows, N};
}

// Reads one value into the row's setting.
void read_row(const cfg_key_T &k, const char *val) {
    switch (k.rd) {
    case rd_text: load_str_val(val, static_cast<char *>(k.var), k.arg); break;
    case rd_iv_uchar:
        load_iv_uchar(val, static_cast<uint8_t *>(k.var), static_cast<int32_t>(k.arg));
        break;
    case rd_iv_inc1:
        load_iv_uchar_inc1(val, static_cast<int8_t *>(k.var), static_cast<int32_t>(k.arg));
        break;
    case rd_iv_dword:
        load_iv_dword(val, static_cast<int32_t *>(k.var), static_cast<int32_t>(k.arg));
        break;
    case rd_dword: load_dword(val, static_cast<int32_t *>(k.var), k.min, k.max, k.def); break;
    case rd_uint: load_uint(val, static_cast<uint32_t *>(k.var), k.min, k.max, k.def); break;
    case rd_hex: load_hexdword(val, static_cast<uint32_t *>(k.var), k.min, k.max, k.def); break;
    default: break;
    }
}

// 1 when the key is a row of t (its value then read), else 0.
char load_tab(cfg_tab_T t, const char *key, const char *val) {
    if (!key || !val) return 1;  // a missing key or value counts as handled
    for (size_t i = 0; i < t.n; ++i) {
        const cfg_key_T &k = t.rows[i];
        if (!key_eq(key, k.key)) continue;
        if ((k.flags & kf_inet) && !is_inet) return 1;
        read_row(k, val);
        return 1;
    }
    return 0;
}

uint8_t save_fmt(uint8_t rd) {
    switch (rd) {
    case rd_text: return ent_text;
    case rd_iv_uchar:
    case rd_iv_inc1: return ent_uchar;
    case rd_iv_dword:
    case rd_dword: return ent_int;
    case rd_uint: return ent_uint;
    default: return ent_hex;
    }
}

// Writes the rows of t in order; 0, or 2 at the first failed write.
char save_tab(FILE *f, cfg_tab_T t) {
    for (size_t i = 0; i < t.n; ++i) {
        const cfg_key_T &k = t.rows[i];
        if (k.flags & kf_load_only) continue;
        char rc = save_ent(f, k.key, k.var, save_fmt(k.rd));
        if (rc) return rc;
    }
    return 0;
}

// ik_comdev_N: N in canonical decimal form, 1..99; 0 when the key is none.
int comdev_number(const char *key) {
    static const char prefix[] = "ik_comdev_";
    const size_t pn = sizeof prefix - 1;
    if (!key || std::strlen(key) <= pn) return 0;
    char head[sizeof prefix];
    std::memcpy(head, key, pn);
    head[pn] = '\0';
    if (!key_eq(head, prefix)) return 0;
    int32_t n = 0;
    if (!parse_decimal(key + pn, &n) || n < 1 || n > 99) return 0;
    return n;
}

}  // namespace

// ---------------------------------------------------------------- groups

char load_single(const char *key, const char *val) {
    return load_tab(tab(head_tab), key, val) || load_tab(tab(tail_tab), key, val);
}

char load_intf(const char *key, const char *val) { return load_tab(tab(intf_tab), key, val); }

char load_view(const char *key, const char *val) {
    char rc = load_tab(tab(view_tab), key, val);
    // A link value that names no link would leave the window without an
    // interface; it counts as bad.
    if (rc && key_eq(key, "ik_commode") && com_mode != com_mode_rs232 && com_mode != com_mode_ip &&
        com_mode != com_mode_ipl)
        com_mode = com_mode_rs232;
    return rc;
}

char load_win(const char *key, const char *val) { return load_tab(tab(win_tab), key, val); }
char load_open_prog(const char *key, const char *val) {
    return load_tab(tab(viewer_tab), key, val);
}
char load_det_items(const char *key, const char *val) { return load_tab(tab(det_tab), key, val); }
char load_files(const char *key, const char *val) { return load_tab(tab(files_tab), key, val); }
char load_scan(const char *key, const char *val) { return load_tab(tab(scan_tab), key, val); }
char load_port(const char *key, const char *val) { return load_tab(tab(port_tab), key, val); }

char load_comdev(const char *key, const char *val) {
    const int n = comdev_number(key);
    if (n == 0) return 0;
    // A path the port table cannot hold is refused aloud: silently, COM n would
    // keep its default device, another one than the operator meant.
    if (val && !plat::ser_set_com_path(n, val))
        conf_note("%s: the path is too long for the port table: COM%d keeps %s", key, n,
                  plat::ser_com_path(n));
    return 1;
}

char save_ent(FILE *f, const char *key, const void *var, uint8_t fmt) {
    if (!f || !key || !var) return 1;
    char line[key_max + 1 + cfg_path_size + 16];
    switch (fmt) {
    case ent_text: {
        const char *t = static_cast<const char *>(var);
        const int n = static_cast<int>(std::strcspn(t, "\r\n"));
        std::snprintf(line, sizeof line, "%s %.*s", key, n, t);
        break;
    }
    case ent_uchar:
        std::snprintf(line, sizeof line, "%s %d", key, int(*static_cast<const uint8_t *>(var)));
        break;
    case ent_int:
        std::snprintf(line, sizeof line, "%s %d", key, int(*static_cast<const int32_t *>(var)));
        break;
    case ent_uint:
        std::snprintf(line, sizeof line, "%s %d", key,
                      static_cast<int32_t>(*static_cast<const uint32_t *>(var)));
        break;
    case ent_hex:
        std::snprintf(line, sizeof line, "%s 0x%04" PRIX32, key,
                      *static_cast<const uint32_t *>(var));
        break;
    default: return 1;
    }
    uint8_t rc = static_cast<uint8_t>(mf_writeln_str(f, line));
    if (rc) {
        sys_f_rv = rc;
        return 2;
    }
    return 0;
}

char save_intf(FILE *f) {
    char rc = save_tab(f, tab(intf_tab));
    if (rc) return rc;
    return save_ip_list(f);  // ik_sys_broad and the 270 entries
}

char save_view(FILE *f) { return save_tab(f, tab(view_tab)); }
char save_win(FILE *f) { return save_tab(f, tab(win_tab)); }
char save_open_prog(FILE *f) { return save_tab(f, tab(viewer_tab)); }
char save_det_items(FILE *f) { return save_tab(f, tab(det_tab)); }
char save_files(FILE *f) { return save_tab(f, tab(files_tab)); }
char save_scan(FILE *f) { return save_tab(f, tab(scan_tab)); }
char save_port(FILE *f) { return save_tab(f, tab(port_tab)); }

char save_comdev(FILE *f) {
    char key[24];
    for (int n = 1; n <= 99; ++n) {
        if (!plat::ser_com_path_is_set(n)) continue;
        const char *path = plat::ser_com_path(n);
        if (!path || std::strpbrk(path, "\r\n")) continue;  // no line could carry it back
        std::snprintf(key, sizeof key, "ik_comdev_%d", n);
        char rc = save_ent(f, key, path, ent_text);
        if (rc) return rc;
    }
    return 0;
}

// ---------------------------------------------------------------- loading

namespace {

// Offers one key and value to the groups, in their order; unknown keys are
// ignored. True when a group knew the key.
bool load_ent(const char *key, const char *val) {
    if (load_single(key, val)) return true;
    if (load_intf(key, val) || load_view(key, val) || load_win(key, val) ||
        load_open_prog(key, val) || load_det_items(key, val) || load_files(key, val) ||
        load_scan(key, val) || load_port(key, val))
        return true;
    if (load_ip_list(key, val)) return true;
    return load_comdev(key, val) != 0;
}

// Reads one line; 0 a blank line, 1 an unknown key, 2 a known key.
int load_line(char *line) {
    ms_clean_str(line);
    if (!line[0]) return 0;
    char key[key_max + 1] = "";
    char val[val_max + 1] = "";
    ms_lsep(line, key, key_max, val, val_max, ' ');
    ms_clean_str(key);
    ms_clean_str(val);
    return load_ent(key, val) ? 2 : 1;
}

}  // namespace

char load_conf(void) {
    conf_foreign = 0;
    conf_problem[0] = '\0';
    long long size = 0;
    const int kind = plat::file_kind(fcpath, &size);
    if (kind == plat::FILE_KIND_OTHER ||
        (kind == plat::FILE_KIND_REGULAR && size > conf_max_bytes)) {
        conf_foreign = 1;
        conf_note(
            "%s is no configuration file (%s): the settings keep their defaults and are not "
            "saved to it",
            fcpath, kind == plat::FILE_KIND_OTHER ? "not a file" : "larger than 1 MB");
        return mfe_invdat;
    }
    uint8_t rc = open_read(&fconfig, fcpath);
    if (rc) return static_cast<char>(rc);
    char line[line_max + 1];
    // A line longer than line_max is taken for its first line_max characters;
    // the rest of it is skipped, never read as a line of its own. The length
    // is the bytes read, so a NUL inside a line cannot end it early.
    bool rest_of_long_line = false;
    long long total = 0;
    int keys = 0, unknown = 0;
    for (;;) {
        uint32_t len = 0;
        rc = static_cast<uint8_t>(mf_readln(fconfig, line, sizeof line, &len));
        if (rc != 0 && rc != mfe_eof) break;
        total += len + 1;
        if (total > conf_max_bytes) break;  // the file grew while it was read
        const bool full = len == line_max;
        if (rest_of_long_line) {
            rest_of_long_line = full;
        } else {
            const int what = line[0] ? load_line(line) : 0;
            keys += what == 2;
            unknown += what == 1;
            rest_of_long_line = full;
        }
        if (rc == mfe_eof) break;
    }
    if (keys == 0 && unknown > 0) {
        conf_foreign = 1;
        conf_note(
            "%s does not read as a configuration (no known key): it is left as it is and "
            "the settings are not saved to it",
            fcpath);
    }
    return 0;
}

void conf_close(void) {
    if (fconfig) std::fclose(fconfig);
    fconfig = nullptr;
}

// ---------------------------------------------------------------- saving

namespace {

// Every key, in the order of the file.
char save_all(FILE *f) {
    char rc = save_tab(f, tab(head_tab));
    if (!rc) rc = save_scan(f);
    if (!rc) rc = save_det_items(f);
    if (!rc) rc = save_port(f);
    if (!rc) rc = save_files(f);
    if (!rc) rc = save_open_prog(f);
    if (!rc) rc = save_tab(f, tab(tail_tab));
    if (!rc) rc = save_intf(f);
    if (!rc) rc = save_view(f);
    if (!rc) rc = save_win(f);
    if (!rc) rc = save_comdev(f);  // after every key that older readers know
    return rc;
}

}  // namespace

char save_conf(void) {
    if (fconfig) return mfe_use;  // still open from load_conf: nothing is written
    if (conf_foreign) return mfe_invdat;
    plat::FileReplace r;
    if (plat::file_replace_open(fcpath, &r) != plat::FILE_OK) {
        sys_f_rv = (fcpath[0] == '\0') ? mfe_nopath : mfe_open;
        return static_cast<char>(sys_f_rv);
    }
    char rc = save_all(r.f);
    if (rc) {
        plat::file_replace_abort(&r);
        return static_cast<char>(sys_f_rv ? sys_f_rv : uint8_t{mfe_rw});
    }
    if (plat::file_replace_commit(&r) != plat::FILE_OK) {
        sys_f_rv = mfe_rw;
        return mfe_rw;
    }
    return 0;
}

// ---------------------------------------------------------------- file names

void check_fnames(void) {
    char *names[] = {fname1, ddcpath, firmpath, makpath};
    for (char *n : names)
        if (is_not_fname(n)) n[0] = '\0';
}
