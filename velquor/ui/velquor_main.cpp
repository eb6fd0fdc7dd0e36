// Start-up, main window procedure and command dispatch.
//
// vq_startup runs the start-up order up to the window; vq_create_window makes
// the main window, whose timer 171 then builds the contents and the hidden
// status dialogs from the loop. MainWndProc handles the window's messages and
// check_cmd turns each command id into its operation: it sets the busy state,
// stores the edit fields and starts the operation's chain or function. The
// operation ends through its end step, which makes the window idle again.
// Operations whose modules are not built yet end at once through the same end
// step with error 24.
//
// Index: state; start-up and end; window procedure; command dispatch; files
// and viewers; macro set.
#include "velquor/ui/velquor_main.h"

#include <strings.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win.h"
#include "velquor/link/com_action.h"
#include "velquor/link/com_link.h"
#include "velquor/operations/velquor_func.h"
#include "velquor/operations/vf_ipl.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/conf.h"
#include "velquor/ui/screen.h"
#include "velquor/ui/text_ar.h"
#include "velquor/ui/velquor_cfg.h"
#include "velquor/ui/velquor_dialogs.h"
#include "velquor/ui/velquor_win.h"
#include "velquor/util/velq_str.h"
#include "velquor/util/vqsystem.h"

// ---------------------------------------------------------------- state

int hwndMain = -1;
char fcpath[1024] = "./std.cfg";
int32_t is_start = 0;
int32_t win_left = 0, win_top = 0, win_width = 600, win_height = 370;
int32_t w_y_offs = 0;

namespace {

// Timers of the main window.
constexpr unsigned tm_startup = 171;  // one-shot first build
constexpr unsigned tm_idle = 217;     // hides the status dialog while idle
constexpr unsigned tm_cancel = 259;   // cancels a blocking socket call

// Bounded copy that always terminates.
void copy_text(char *dst, size_t cap, const char *src) {
    if (!dst || cap == 0) return;
    size_t n = src ? strnlen(src, cap - 1) : 0;
    if (n) memcpy(dst, src, n);
    dst[n] = 0;
}

char toggle(uint8_t v) { return v == 0 ? 1 : 0; }

// A DDC file name ending in ".bin" (ignoring case and trailing blanks) holds
// the 128 bytes; any other name an EDID text table.
bool name_is_bin(const char *name) {
    size_t n = name ? strnlen(name, 1023) : 0;
    while (n > 0 && (name[n - 1] == ' ' || name[n - 1] == '\t')) n--;
    return n >= 4 && strncasecmp(name + n - 4, ".bin", 4) == 0;
}

// Start busy: every element and menu item but Quit and Version disabled.
void busy(void) { enab_sys_action(0); }

// Start busy, then bring the window up to date with content mode `mode`.
void busy_contents(int mode) {
    busy();
    CreateWindowContents(mode);
}

// The operation of this command is not built yet: it ends at once through its
// end step, which shows error 24 and makes the window idle again.
void not_built(void) {
    sys_rv = 24;
    end_com();
}

}  // namespace

// ---------------------------------------------------------------- start-up and end

int mw_check_window(int32_t left, int32_t top, int32_t width, int32_t height) {
    int sw = 0, sh = 0;
    plat::win_screen_size(&sw, &sh);
    int rc = 0;
    if (left < 0 || top < 0 || width < 1 || height < 1)
        rc = 1;
    else if (static_cast<int64_t>(left) + width > sw)
        rc = 2;
    else if (static_cast<int64_t>(top) + height > sh)
        rc = 3;
    if (rc) reset_win();
    return rc;
}

int vq_startup(const char *cmdline) {
    char rc = static_cast<char>(sys_start());
    if (rc != 0) {
        plat::win_message_box(-1, "Error", sys_get_msg(rc), plat::WIN_BOX_OK, plat::WIN_ICON_NONE);
        return 1;
    }
    reset_ip_list_start();
    mak_reset_all();
    scr_reset_elem(screen, scr_n_slots);
    w_y_offs = 0;  // the window layer sizes the client area itself
    copy_text(fcpath, sizeof fcpath, (cmdline && cmdline[0]) ? cmdline : "./std.cfg");
    set_std_cfg(cfg_grp_all, 0);
    is_inet = eth_probe();
    ms_get_byteorder2();
    load_conf();
    mw_check_window(win_left, win_top, win_width, win_height);
    conf_close();
    check_fnames();
    load_mak();
    if (!is_inet && show_eth_init_err == 1)
        plat::win_message_box(-1, VER_APP_NAME, eth_init_err_text, plat::WIN_BOX_OK,
                              plat::WIN_ICON_STOP);
    if (fpath_log[0] && logcom) mc_log_create();
    return vq_start_ok;
}

int vq_create_window(bool visible) {
    mw_register_menus();
    plat::WinMainArgs a;
    a.title = VER_APP_NAME;
    a.x = win_left;
    a.y = win_top;
    a.width = win_width;
    a.height = win_height + w_y_offs;
    a.background = 0xA8C8A8;  // RGB(168, 200, 168)
    a.menu_id = scr_menu_for_lang();
    a.proc = MainWndProc;
    a.visible = visible;
    int h = plat::win_create_main(a);
    if (h != -1) hwndMain = h;
    return h;
}

void vq_shutdown(bool save) {
    if (save) save_conf();
    conf_close();
    sys_end();
}

int WinMain_vq(const char *cmdline) {
    int rc = vq_startup(cmdline);
    if (rc != vq_start_ok) return rc;
    if (vq_create_window(true) == -1) return 0;
    int code = plat::win_run();
    vq_shutdown(true);
    return code;
}

// ---------------------------------------------------------------- window procedure

void savePos(int x, int y) {
    win_left = static_cast<int16_t>(x & 0xFFFF);
    win_top = static_cast<int16_t>(y & 0xFFFF);
}

int MainWndProc(int hwnd, int msg, int p1, int p2) {
    switch (msg) {
    case plat::WIN_MSG_CREATE:
        hwndMain = hwnd;
        plat::win_set_font(hwnd, plat::WIN_FONT_SMALL);
        plat::win_set_timer(hwnd, tm_startup, 1);
        plat::win_set_timer(hwnd, tm_idle, 5);
        return 0;
    case plat::WIN_MSG_DESTROY:
        CreateWindowContents(1);
        dlgclose_stat();
        dlgclose_staterr();
        plat::win_kill_timer(hwnd, tm_startup);
        plat::win_kill_timer(hwnd, tm_idle);
        scr_reset_elem(screen, scr_n_slots);
        is_start = 0;
        hwndMain = -1;
        plat::win_quit(0);
        return 0;
    case plat::WIN_MSG_MOVE: savePos(p1, p2); return 0;
    case plat::WIN_MSG_SIZE:
        if (is_start != 0) CreateWindowContents(11);
        return 0;
    case plat::WIN_MSG_COMMAND: check_cmd(hwnd, p1, p2); return 0;
    case plat::WIN_MSG_TIMER:
        switch (static_cast<unsigned>(p1)) {
        case tm_startup:
            plat::win_kill_timer(hwnd, tm_startup);
            dlgopen_stat();
            dlghide_stat();
            dlgopen_staterr();
            dlghide_staterr();
            CreateWindowContents(10);
            is_start = 1;
            enab_sys_action(1);
            break;
        case tm_idle:
            if (sys_act & 1) dlghide_stat();
            break;
        case sm_timer_resume: sm_on_timer_173(); break;
        case sm_timer_end: sm_on_timer_165(); break;
        case tm_cancel:
            plat::win_kill_timer(hwnd, tm_cancel);
            eth_cancel_blocking_call();
            break;
        default: break;
        }
        return 0;
    default: return 0;
    }
}

// ---------------------------------------------------------------- command dispatch

// File > Open and the "..." buttons: chooses the file of the view.
static void cmd_choose_file(int hwnd) {
    CreateWindowContents(3);
    switch (scr_view_shown()) {
    case 130:
        if (GetFileName(hwnd, scr_get_text_ix(tx_ddc_choose), ddcpath, sizeof ddcpath,
                        scr_get_text_ix(tx_ddc_mask), "bin", ddcpath) == 0)
            CreateWindowContents(2);
        break;
    case 129:
        if (GetFileName(hwnd, scr_get_text_ix(tx_fs_choose), fname1, sizeof fname1,
                        scr_get_text_ix(tx_fs_mask), "vqf", fname1[0] ? fname1 : "*.vqf") == 0)
            CreateWindowContents(2);
        break;
    case 127:
    case 128:
        if (GetFileName(hwnd, scr_get_text_ix(tx_firm_choose), firmpath, sizeof firmpath,
                        scr_get_text_ix(tx_firm_mask), "h86",
                        firmpath[0] ? firmpath : "*.h86") == 0)
            plat::win_set_text(scr_getwnd_ix(scr_view_shown() == 127 ? ix_ed_f_firm : ix_ed_f_boot),
                               firmpath);
        break;
    default: break;
    }
}

// File > Show: opens the file of the view in its viewer.
static void cmd_show_file(int hwnd) {
    CreateWindowContents(3);
    int rc = 0;
    switch (scr_view_shown()) {
    case 129:
        if (!is_not_fname(fname1)) rc = show_file(op_tx_pre, op_tx_suff, fname1);
        break;
    case 130:
        if (!name_is_bin(ddcpath))
            rc = show_file(op_ddc_hex_pre, op_ddc_hex_suff, ddcpath);
        else
            rc = show_file(op_ddc_bin_pre, op_ddc_bin_suff, ddcpath);
        break;
    case 127:
    case 128:
        if (!is_not_fname(firmpath)) rc = show_file(op_tx_pre, op_tx_suff, firmpath);
        break;
    default: break;
    }
    if (rc != 0) mw_showerror(hwnd, scr_get_text_ix(tx_fe_open));
}

void check_cmd(int hwnd, int p1, int p2) {
    if (p2 == plat::WIN_NOTIFY_CHANGE) return;
    int id = p1 & 0xFFFF;
    endcom_cwcall = 4;
    switch (id) {
    case 116:  // View > Keyboard
        show_keyb = toggle(show_keyb);
        CreateWindowContents(11);
        break;
    case 126:  // View > Macros
        show_mak = toggle(show_mak);
        paint_mak();
        break;
    case 119:  // System > Deutsch
    case 120:  // System > English
        sys_lang = id == 119 ? 1 : 2;
        CreateWindowContents(11);
        break;
    case 121:
    case 122:
    case 123:
    case 124:
    case 125:  // keys Up, Left, Right, Down, OK
        busy_contents(1);
        if (send_key(id, sys_zelb_nr) != 0) end_com1();
        break;
    case 127:
    case 128:
    case 129:
    case 130:
    case 221:
    case 261: {  // views
        char changed = 0;
        if (id == 128 || id == 221) changed = set_com_mode(com_mode_rs232);
        if (set_mode(id)) changed = 1;
        if (changed) CreateWindowContents(11);
        break;
    }
    case 133:
    case 134:
    case 135:
    case 136:
    case 137:  // macro buttons
        busy_contents(1);
        not_built();
        break;
    case 145:  // PC -> TFT
        busy();
        dome = 1;
        CreateWindowContents(5);
        not_built();
        break;
    case 148:              // Reset
        busy_contents(5);  // the session opener names the interface itself
        if (restart_zelb(hwnd) != 0) end_com();
        break;
    case 149:  // Erase
    case 186:  // Download (bootstrap)
    case 188:  // PC -> DDC
    case 190:  // DDC -> PC
        busy_contents(5);
        if (dome == 0) {
            dome = 1;
            not_built();
        }
        break;
    case 150:  // TFT -> PC
        busy();
        dome = 1;
        CreateWindowContents(5);
        not_built();
        break;
    case 151:  // File > Quit
        plat::win_close(hwndMain);
        break;
    case 155:  // File > Convert File
        busy_contents(1);
        endcom_cwcall = 2;
        not_built();
        break;
    case 162:  // Version
        dlgopen_about();
        break;
    case 163:  // Macro File > Close
        mak_reset_all();
        makpath[0] = 0;
        CreateWindowContents(3);
        break;
    case 164:  // Macro File > Reload
        mak_reset_all();
        if (makpath[0]) {
            load_mak();
            CreateWindowContents(2);
        }
        break;
    case 169:  // No Parity
        CreateWindowContents(1);
        set_parno();
        CreateWindowContents(2);
        break;
    case 170:  // Macro File > Open
        CreateWindowContents(3);
        if (GetFileName(hwnd, "Makrodatei w\xe4hlen", makpath, sizeof makpath,
                        "Alle Dateien [*.*],*.*,Makrodatei [*.vqm],*.vqm", "vqm",
                        makpath[0] ? makpath : "*.vqm") == 0) {
            load_mak();
            CreateWindowContents(3);
        }
        break;
    case 172:  // File > Open
    case 197:  // the "..." buttons
        cmd_choose_file(hwnd);
        break;
    case 174:  // File > Show
        cmd_show_file(hwnd);
        break;
    case 175:  // Macro File > Show
        if (makpath[0]) {
            if (show_file(op_mak_pre, op_mak_suff, makpath) != 0)
                mw_showerror(hwnd, scr_get_text_ix(tx_fe_open));
        } else {
            mw_showerror(hwnd, "Keine Makrodatei angegeben!");
        }
        break;
    case 176:  // Ping
        busy_contents(1);
        sm_start_liste1(hwnd, ix_ping_me);
        break;
    case 178:  // File > Write Protect
        if (scr_view_shown() == 129) fsf_prot = toggle(fsf_prot);
        if (scr_view_shown() == 130) ddc_prot = toggle(ddc_prot);
        CreateWindowContents(4);
        break;
    case 181:
    case 182:
    case 183:
    case 184:
    case 208:
    case 209:
    case 210: {  // baud rate radios
        CreateWindowContents(1);
        switch (id) {
        case 181: sys_baud = 9600; break;
        case 182: sys_baud = 19200; break;
        case 183: sys_baud = 38400; break;
        case 184: sys_baud = 115200; break;
        case 210: sys_baud = 288000; break;
        case 208: sys_baud = 384000; break;
        default: sys_baud = 576000; break;
        }
        set_baud_box();
        break;
    }
    case 185:  // Update (firmware)
        busy();
        dome = 1;
        CreateWindowContents(5);
        not_built();
        endcom_cwcall = 2;
        break;
    case 205:  // boot type radios
    case 206:
        sys_boot = id;
        CreateWindowContents(3);
        break;
    case 212:  // Update (info)
        busy_contents(3);
        sm_start_liste1(hwnd, ix_inf_init);
        break;
    case 227:  // Scan (scan view)
        busy_contents(3);
        sm_start_liste1(hwnd, ix_sc_intf_init);
        break;
    case 233:  // No Parity (scan view)
        CreateWindowContents(1);
        sc_parno = toggle(sc_parno);
        CreateWindowContents(2);
        break;
    case 237:
    case 238:
    case 245:  // System > Monitor over IP / RS232 / IP-List
        if (set_com_mode(id)) CreateWindowContents(11);
        break;
    case 248:  // Group
        CreateWindowContents(1);
        if (broad == 0) {
            broad = 1;
            sys_zelb_nr = 0;
        } else {
            broad = 0;
        }
        CreateWindowContents(2);
        break;
    case 258:  // High Monitor-Timeout
        CreateWindowContents(1);
        firm_hito = toggle(firm_hito);
        CreateWindowContents(2);
        break;
    default: break;
    }
}

// ---------------------------------------------------------------- files and viewers

int GetFileName(int hwnd, const char *title, char *buffer, size_t buflen, const char *filter,
                const char *def_ext, const char *select) {
    if (hwnd == -1 || !title || !buffer || buflen == 0 || !filter || !def_ext || !select) return 11;
    plat::WinOpenFileArgs a;
    a.owner = hwnd;
    a.title = title;
    std::string f(filter, strnlen(filter, 99));
    size_t pos = 0;
    while (pos <= f.size()) {
        size_t c = f.find(',', pos);
        if (c == std::string::npos) c = f.size();
        a.filters.push_back(f.substr(pos, c - pos));
        pos = c + 1;
    }
    if (a.filters.size() % 2) a.filters.pop_back();
    a.filter_index = a.filters.size() >= 4 ? 1 : 0;
    a.start_name.assign(select, strnlen(select, 1023));
    a.def_ext = def_ext;
    a.must_exist = true;
    std::string path;
    int rc = plat::win_open_file(a, &path);
    if (rc != plat::WIN_OPEN_CHOSEN) return rc == plat::WIN_OPEN_BAD_ARG ? 11 : 1;
    size_t cap = buflen < 1024 ? buflen : 1024;
    copy_text(buffer, cap, path.c_str());
    return 0;
}

int show_file(const char *pre, const char *suff, const char *fname) {
    if (!pre || !suff || !fname) return 1;
    std::string name(fname, strnlen(fname, 511));
    size_t b = name.find_first_not_of(" \t\r\n");
    size_t e = name.find_last_not_of(" \t\r\n");
    if (b == std::string::npos) return 2;
    name = name.substr(b, e - b + 1);
    std::string p(pre, strnlen(pre, 511)), s(suff, strnlen(suff, 511));
    return plat::win_start_viewer(p.c_str(), name.c_str(), s.c_str()) == 0 ? 0 : 3;
}

// ---------------------------------------------------------------- macro set

void mak_reset_all(void) {}

void load_mak(void) { mak_reset_all(); }

const char *mak_get_vals(int kind, int b) {
    if (b < 0 || b >= 5) return nullptr;
    return kind == 0 ? "" : nullptr;
}
