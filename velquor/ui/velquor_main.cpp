// Start-up, main window procedure and command dispatch.
//
// vq_startup runs the start-up order up to the window; vq_create_window makes
// the main window, whose timer 171 then builds the contents and the hidden
// status dialogs from the loop. MainWndProc handles the window's messages and
// check_cmd turns each command id into its operation through the dispatch
// table: a row sets the busy state, stores the edit fields and starts the
// operation's chain or function. The operation ends through its end step,
// which makes the window idle again.
//
// Index: state; wiring; start-up and end; window procedure; command handlers;
// dispatch table; files and viewers.
#include "velquor/ui/velquor_main.h"

#include <strings.h>

#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "platform/io_stop.h"
#include "platform/serial.h"
#include "platform/win.h"
#include "velquor/link/com_action.h"
#include "velquor/link/com_link.h"
#include "velquor/operations/fs_ops.h"
#include "velquor/operations/vf_boot.h"
#include "velquor/operations/vf_ddc.h"
#include "velquor/operations/vf_end.h"
#include "velquor/operations/vf_firm.h"
#include "velquor/operations/vf_fs_dnl.h"
#include "velquor/operations/vf_fs_upl.h"
#include "velquor/operations/vf_keys.h"
#include "velquor/operations/vf_wait.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/conf.h"
#include "velquor/ui/scan.h"
#include "velquor/ui/screen.h"
#include "velquor/ui/text_ar.h"
#include "velquor/ui/velquor_cfg.h"
#include "velquor/ui/velquor_dialogs.h"
#include "velquor/ui/velquor_win.h"
#include "velquor/ui/win_seam.h"
#include "velquor/util/velq_str.h"
#include "velquor/util/vqsystem.h"

// ---------------------------------------------------------------- state

char fcpath[1024] = "./std.cfg";
int32_t is_start = 0;
int32_t win_left = 0, win_top = 0, win_width = 600, win_height = 370;
int32_t w_y_offs = 0;

namespace {

// Timers of the main window.
constexpr unsigned tm_startup = 171;  // one-shot first build
constexpr unsigned tm_cancel = 259;   // cancels a blocking socket call
// dlg_tm_idle (217, velquor_dialogs.h) runs while the progress dialog is shown.

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

// What the lower layers ask of the window through the seam.
void seam_ask(int what) {
    if (what == wa_zelb_nr || what == wa_info) {
        scr_show_result(what);
    } else if (what == wa_scan_denied) {
        // The ports the scan was refused, with the group to join: an
        // information, not an error, since the scan itself went through.
        char text[256];
        scan_denied_text(text, sizeof text);
        if (text[0]) mw_alert(hwndMain, VER_APP_NAME, text, 0);
    } else {
        stat_dlg_window(what);
    }
}

}  // namespace

// ---------------------------------------------------------------- wiring

void vq_wire(void) {
    sm_install(tm_func_tab, std::size(tm_func_tab));
    win_seam.contents = CreateWindowContents;
    win_seam.paint_enab = paint_enab;
    win_seam.debug_line = add_debug_str;
    win_seam.ask = seam_ask;
}

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
    vq_wire();
    char rc = static_cast<char>(sys_start());
    if (rc != 0) {
        plat::win_message_box(-1, "Error", sys_get_msg(rc), plat::WIN_BOX_OK, plat::WIN_ICON_NONE);
        return 1;
    }
    dlg_set_dll_version(dll_ver);  // the about box names the library bound now
    reset_scanvals();
    reset_ip_list_start();
    mak_reset_all();
    scr_reset_elem(screen, scr_n_slots);
    w_y_offs = 0;  // the window layer sizes the client area itself
    copy_text(fcpath, sizeof fcpath, (cmdline && cmdline[0]) ? cmdline : "./std.cfg");
    set_std_cfg(cfg_grp_all, 0);
    is_inet = eth_probe();
    ms_get_byteorder2();
    load_conf();
    // USB serial adapters get the COM numbers the configuration leaves free.
    plat::ser_find_ports(nullptr, nullptr);
    // A file that is no configuration, or a value that could not be taken: say
    // so before the window opens.
    if (conf_problem[0])
        plat::win_message_box(-1, VER_APP_NAME, conf_problem, plat::WIN_BOX_OK,
                              plat::WIN_ICON_EXCLAMATION);
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

bool vq_stop_operation(int timeout_ms) {
    if (sm_workers_running() == 0 && dome.load() == 0) return true;
    sm_stop_all();
    // A stopped worker may wait for the main thread (a redraw, a box): pump.
    const bool left = plat::win_pump_until([] { return sm_workers_running() == 0; }, timeout_ms);
    if (!left) return false;
    plat::io_stop_clear();
    mf_fclose(&fpupl);
    mc_close_syscom();
    reset_err();
    sm_reset();
    dome.store(0);
    sys_act = 1;
    return true;
}

void vq_shutdown(bool save) {
    // No worker may be inside the helper library or the link when they go.
    const bool stopped = vq_stop_operation(vq_stop_wait_ms);
    if (save) save_conf();
    conf_close();
    if (stopped) sys_end();
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
        return 0;
    case plat::WIN_MSG_DESTROY:
        CreateWindowContents(cw_store);
        dlgclose_stat();
        dlgclose_staterr();
        plat::win_kill_timer(hwnd, tm_startup);
        plat::win_kill_timer(hwnd, dlg_tm_idle);
        scr_reset_elem(screen, scr_n_slots);
        is_start = 0;
        hwndMain = -1;
        plat::win_quit(0);
        return 0;
    case plat::WIN_MSG_MOVE: savePos(p1, p2); return 0;
    case plat::WIN_MSG_SIZE:
        if (is_start != 0) CreateWindowContents(cw_store_full);
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
            CreateWindowContents(cw_full);
            is_start = 1;
            enab_sys_action(1);
            break;
        case dlg_tm_idle: dlg_idle_tick(); break;
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

// ---------------------------------------------------------------- command handlers
//
// Each handler receives the window and the command id. What "start busy" and
// the content modes mean: velquor_ids.h and enab_sys_action (vf_end.h).

namespace {

// View > Keyboard, View > Macros: show or hide a group.
void cmd_show_keyb_fn(int, int) {
    show_keyb = toggle(show_keyb);
    CreateWindowContents(cw_store_full);
}

void cmd_show_mak_fn(int, int) {
    show_mak = toggle(show_mak);
    paint_mak();
}

// System > Deutsch, System > English.
void cmd_lang(int, int id) {
    sys_lang = id == cmd_lang_deu ? lang_deu : lang_eng;
    CreateWindowContents(cw_store_full);
}

// The five front keys.
void cmd_key(int, int id) {
    busy_contents(cw_store);
    if (send_key(id, sys_zelb_nr) != 0) end_com1();
}

// The views. Bootstrap and Scan work on RS232 only.
void cmd_view(int, int id) {
    char changed = 0;
    if (id == view_boot || id == view_scan) changed = set_com_mode(com_mode_rs232);
    if (set_mode(id)) changed = 1;
    if (changed) CreateWindowContents(cw_store_full);
}

// The five macro buttons: the button's current step.
void cmd_mak_fn(int, int id) {
    busy_contents(cw_store);
    if (mak_action(id - cmd_mak_1) != 0) end_com1();
}

// DDC -> PC and PC -> DDC, once no operation runs.
void cmd_ddc_fn(int hwnd, int id) {
    if (id == cmd_ddc_dnl) ddc_stop = 0;  // a write series may run
    busy_contents(cw_store_refresh);
    if (dome == 0) {
        dome = 1;
        const char rc = id == cmd_ddc_upl ? upl_ddc(hwnd) : dnl_ddc(hwnd);
        if (rc != 0) end_com();
    }
}

// File > Convert File: at once; the view then shows the new file.
void cmd_convert_fn(int, int) {
    busy_contents(cw_store);
    endcom_cwcall = cw_rebuild;
    convert_ddc();
    end_com();
}

// Firmware: Update.
void cmd_firm_upd_fn(int hwnd, int id) {
    busy();
    dome = 1;
    CreateWindowContents(cw_store_refresh);
    if (update_firm(hwnd, id) != 0) end_com();
    endcom_cwcall = cw_rebuild;
}

// Bootstrap: Download, once no operation runs.
void cmd_boot_dnl_fn(int hwnd, int) {
    busy_contents(cw_store_refresh);
    if (dome == 0) {
        dome = 1;
        if (boot_firm(hwnd) != 0) enab_sys_action(1);
    }
}

// File System: PC -> TFT writes the dump file into the monitor (every monitor
// for number 0, every address of the list in a group); TFT -> PC saves one
// monitor's file system into it.
void cmd_fs_transfer(int hwnd, int id) {
    busy();
    dome = 1;
    sysmode2 = id;
    CreateWindowContents(cw_store_refresh);
    const char rc = id == cmd_fs_dnl ? download_fs(hwnd) : upload_fs(hwnd);
    if (rc != 0) end_com();
}

// File System: Erase, once no operation runs.
void cmd_fs_erase_fn(int hwnd, int) {
    busy_contents(cw_store_refresh);
    if (dome == 0) {
        dome = 1;
        erase_zelb(hwnd);
    }
}

// Reset: one monitor, or every monitor of the line for number 0.
void cmd_reset(int hwnd, int) {
    busy_contents(cw_store_refresh);  // the session opener names the interface itself
    if (restart_zelb(hwnd) != 0) end_com();
}

void cmd_quit_fn(int, int) { plat::win_close(hwndMain); }

void cmd_version_fn(int, int) { dlgopen_about(); }

// Macro File > Close, Reload, Open, Show.
void cmd_mak_close_fn(int, int) {
    mak_reset_all();
    makpath[0] = 0;
    CreateWindowContents(cw_store_rebuild);
}

void cmd_mak_reload_fn(int, int) {
    mak_reset_all();
    if (makpath[0]) {
        load_mak();
        CreateWindowContents(cw_rebuild);
    }
}

void cmd_mak_open_fn(int hwnd, int) {
    CreateWindowContents(cw_store_rebuild);
    if (GetFileName(hwnd, "Makrodatei w\xe4hlen", makpath, sizeof makpath,
                    "Alle Dateien [*.*],*.*,Makrodatei [*.vqm],*.vqm", "vqm",
                    makpath[0] ? makpath : "*.vqm") == 0) {
        load_mak();
        CreateWindowContents(cw_store_rebuild);
    }
}

void cmd_mak_show_fn(int hwnd, int) {
    if (makpath[0]) {
        if (show_file(op_mak_pre, op_mak_suff, makpath) != 0)
            mw_showerror(hwnd, scr_get_text_ix(tx_fe_open));
    } else {
        mw_showerror(hwnd, "Keine Makrodatei angegeben!");
    }
}

// The check boxes: a flag toggled between storing the fields and a rebuild.
void cmd_flag(uint8_t *flag) {
    CreateWindowContents(cw_store);
    *flag = toggle(*flag);
    CreateWindowContents(cw_rebuild);
}

void cmd_parno_fn(int, int) {
    CreateWindowContents(cw_store);
    set_parno();
    CreateWindowContents(cw_rebuild);
}

void cmd_sc_parno_fn(int, int) { cmd_flag(&sc_parno); }

void cmd_firm_hito_fn(int, int) { cmd_flag(&firm_hito); }

// Group: on, it addresses every monitor (number 0).
void cmd_group_fn(int, int) {
    CreateWindowContents(cw_store);
    if (broad == 0) {
        broad = 1;
        sys_zelb_nr = 0;
    } else {
        broad = 0;
    }
    CreateWindowContents(cw_rebuild);
}

// File > Open and the "..." buttons: chooses the file of the view.
void cmd_choose_file_fn(int hwnd, int) {
    CreateWindowContents(cw_store_rebuild);
    switch (scr_view_shown()) {
    case view_ddc:
        if (GetFileName(hwnd, scr_get_text_ix(tx_ddc_choose), ddcpath, sizeof ddcpath,
                        scr_get_text_ix(tx_ddc_mask), "bin", ddcpath) == 0)
            CreateWindowContents(cw_rebuild);
        break;
    case view_fs:
        if (GetFileName(hwnd, scr_get_text_ix(tx_fs_choose), fname1, sizeof fname1,
                        scr_get_text_ix(tx_fs_mask), "vqf", fname1[0] ? fname1 : "*.vqf") == 0)
            CreateWindowContents(cw_rebuild);
        break;
    case view_firm:
    case view_boot:
        if (GetFileName(hwnd, scr_get_text_ix(tx_firm_choose), firmpath, sizeof firmpath,
                        scr_get_text_ix(tx_firm_mask), "h86",
                        firmpath[0] ? firmpath : "*.h86") == 0)
            plat::win_set_text(
                scr_getwnd_ix(scr_view_shown() == view_firm ? ix_ed_f_firm : ix_ed_f_boot),
                firmpath);
        break;
    default: break;
    }
}

// File > Show: opens the file of the view in its viewer.
void cmd_show_file_fn(int hwnd, int) {
    CreateWindowContents(cw_store_rebuild);
    int rc = 0;
    switch (scr_view_shown()) {
    case view_fs:
        if (!is_not_fname(fname1)) rc = show_file(op_tx_pre, op_tx_suff, fname1);
        break;
    case view_ddc:
        if (!name_is_bin(ddcpath))
            rc = show_file(op_ddc_hex_pre, op_ddc_hex_suff, ddcpath);
        else
            rc = show_file(op_ddc_bin_pre, op_ddc_bin_suff, ddcpath);
        break;
    case view_firm:
    case view_boot:
        if (!is_not_fname(firmpath)) rc = show_file(op_tx_pre, op_tx_suff, firmpath);
        break;
    default: break;
    }
    if (rc != 0) mw_showerror(hwnd, scr_get_text_ix(tx_fe_open));
}

// File > Write Protect: the file of the File System or the DDC view.
void cmd_write_prot_fn(int, int) {
    if (scr_view_shown() == view_fs) fsf_prot = toggle(fsf_prot);
    if (scr_view_shown() == view_ddc) ddc_prot = toggle(ddc_prot);
    CreateWindowContents(cw_refresh);
}

// Ping, info Update, Scan: start their action.
void cmd_ping_fn(int hwnd, int) {
    busy_contents(cw_store);
    sm_start_liste1(hwnd, ix_ping_me);
}

void cmd_info_upd_fn(int hwnd, int) {
    busy_contents(cw_store_rebuild);
    sm_start_liste1(hwnd, ix_inf_init);
}

void cmd_scan_fn(int hwnd, int) {
    busy_contents(cw_store_rebuild);
    sm_start_liste1(hwnd, ix_sc_intf_init);
}

// The rate radios of the firmware update.
struct baud_row {
    int id;
    int32_t baud;
};
constexpr baud_row baud_tab[] = {
    {cmd_baud_9600, 9600},     {cmd_baud_19200, 19200},   {cmd_baud_38400, 38400},
    {cmd_baud_115200, 115200}, {cmd_baud_288000, 288000}, {cmd_baud_384000, 384000},
    {cmd_baud_576000, 576000},
};

void cmd_baud(int, int id) {
    CreateWindowContents(cw_store);
    for (const baud_row &r : baud_tab)
        if (r.id == id) sys_baud = r.baud;
    set_baud_box();
}

// The boot type radios.
void cmd_boot_type(int, int id) {
    sys_boot = id;
    CreateWindowContents(cw_store_rebuild);
}

// System > Monitor over IP / RS232 / IP-List.
void cmd_link(int, int id) {
    if (set_com_mode(id)) CreateWindowContents(cw_store_full);
}

// ---------------------------------------------------------------- dispatch table

struct cmd_row {
    int id;
    void (*fn)(int hwnd, int id);
};

// One row per command id, in ascending order.
constexpr cmd_row cmd_tab[] = {
    {cmd_show_keyb, cmd_show_keyb_fn},
    {cmd_lang_deu, cmd_lang},
    {cmd_lang_eng, cmd_lang},
    {cmd_key_up, cmd_key},
    {cmd_key_left, cmd_key},
    {cmd_key_right, cmd_key},
    {cmd_key_down, cmd_key},
    {cmd_key_ok, cmd_key},
    {cmd_show_mak, cmd_show_mak_fn},
    {cmd_view_firm, cmd_view},
    {cmd_view_boot, cmd_view},
    {cmd_view_fs, cmd_view},
    {cmd_view_ddc, cmd_view},
    {cmd_mak_1, cmd_mak_fn},
    {cmd_mak_1 + 1, cmd_mak_fn},
    {cmd_mak_1 + 2, cmd_mak_fn},
    {cmd_mak_1 + 3, cmd_mak_fn},
    {cmd_mak_5, cmd_mak_fn},
    {cmd_fs_dnl, cmd_fs_transfer},
    {cmd_fs_reset, cmd_reset},
    {cmd_fs_erase, cmd_fs_erase_fn},
    {cmd_fs_upl, cmd_fs_transfer},
    {cmd_quit, cmd_quit_fn},
    {cmd_convert, cmd_convert_fn},
    {cmd_version, cmd_version_fn},
    {cmd_mak_close, cmd_mak_close_fn},
    {cmd_mak_reload, cmd_mak_reload_fn},
    {cmd_parno, cmd_parno_fn},
    {cmd_mak_open, cmd_mak_open_fn},
    {cmd_file_open, cmd_choose_file_fn},
    {cmd_file_show, cmd_show_file_fn},
    {cmd_mak_show, cmd_mak_show_fn},
    {cmd_ping, cmd_ping_fn},
    {cmd_write_prot, cmd_write_prot_fn},
    {cmd_baud_9600, cmd_baud},
    {cmd_baud_19200, cmd_baud},
    {cmd_baud_38400, cmd_baud},
    {cmd_baud_115200, cmd_baud},
    {cmd_firm_upd, cmd_firm_upd_fn},
    {cmd_boot_dnl, cmd_boot_dnl_fn},
    {cmd_ddc_dnl, cmd_ddc_fn},
    {cmd_ddc_upl, cmd_ddc_fn},
    {cmd_choose_file, cmd_choose_file_fn},
    {cmd_boot_zelb3, cmd_boot_type},
    {cmd_boot_am29lv150, cmd_boot_type},
    {cmd_baud_384000, cmd_baud},
    {cmd_baud_576000, cmd_baud},
    {cmd_baud_288000, cmd_baud},
    {cmd_info_upd, cmd_info_upd_fn},
    {cmd_view_scan, cmd_view},
    {cmd_scan, cmd_scan_fn},
    {cmd_sc_parno, cmd_sc_parno_fn},
    {cmd_link_ip, cmd_link},
    {cmd_link_rs232, cmd_link},
    {cmd_link_ipl, cmd_link},
    {cmd_group, cmd_group_fn},
    {cmd_firm_hito, cmd_firm_hito_fn},
    {cmd_view_debug, cmd_view},
};

// Checked by the compiler: ids in ascending order, so none stands twice and a
// command cannot be dispatched to two handlers.
constexpr bool cmd_tab_ordered() {
    for (size_t i = 1; i < std::size(cmd_tab); ++i)
        if (cmd_tab[i - 1].id >= cmd_tab[i].id || !cmd_tab[i].fn) return false;
    return true;
}
static_assert(cmd_tab_ordered(), "command ids ascending, each with a handler");

const cmd_row *cmd_find(int id) {
    for (const cmd_row &r : cmd_tab)
        if (r.id == id) return &r;
    return nullptr;
}

}  // namespace

bool check_cmd_known(int id) { return cmd_find(id) != nullptr; }

void check_cmd(int hwnd, int p1, int p2) {
    if (p2 == plat::WIN_NOTIFY_CHANGE) return;
    const int id = p1 & 0xFFFF;
    endcom_cwcall = cw_refresh;
    const cmd_row *r = cmd_find(id);
    if (r) r->fn(hwnd, id);
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
