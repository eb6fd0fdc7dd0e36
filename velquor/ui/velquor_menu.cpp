// Menu bars of the main window and their marks.
//
// Two menu bars with the same command ids: 100 in German and 101 in English
// (French uses the English one). They are registered with the window layer once
// at start-up and attached anew at every content change; paint_enab_sysmode
// then greys and marks their items from the busy state, the view, the link and
// the display options, and update_menu adds the marks of the display options
// and the labels that depend on the view.
#include <iterator>

#include "platform/loop.h"
#include "platform/win.h"
#include "velquor/link/com_link.h"
#include "velquor/operations/fs_ops.h"
#include "velquor/operations/vf_ddc.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/screen.h"
#include "velquor/ui/text_ar.h"
#include "velquor/ui/velquor_ids.h"
#include "velquor/ui/velquor_win.h"

namespace {

// The two menu bars.
constexpr int menu_id_deu = 100, menu_id_eng = 101;

using plat::WinMenuRow;
constexpr plat::WinMenuRowKind P = plat::WIN_MENU_POPUP, E = plat::WIN_MENU_END,
                               I = plat::WIN_MENU_ITEM, S = plat::WIN_MENU_SEPARATOR;

// Menu 101, English.
const WinMenuRow menu_eng[] = {
    {P, "File", 0},
    {I, "Open", cmd_file_open},
    {I, "Show", cmd_file_show},
    {I, "Write Protect", cmd_write_prot},
    {I, "Convert File", cmd_convert},
    {S, "", 0},
    {P, "Macro File", 0},
    {I, "Open", cmd_mak_open},
    {I, "Reload", cmd_mak_reload},
    {I, "Close", cmd_mak_close},
    {S, "", 0},
    {I, "Show", cmd_mak_show},
    {E, "", 0},
    {S, "", 0},
    {I, "Quit", cmd_quit},
    {E, "", 0},
    {P, "View", 0},
    {I, "Bootstrap", cmd_view_boot},
    {I, "Firmware-Update", cmd_view_firm},
    {I, "File System", cmd_view_fs},
    {I, "DDC", cmd_view_ddc},
    {I, "Debug", cmd_view_debug},
    {S, "", 0},
    {I, "Macros", cmd_show_mak},
    {I, "Keyboard", cmd_show_keyb},
    {E, "", 0},
    {P, "System", 0},
    {I, "Deutsch", cmd_lang_deu},
    {I, "English", cmd_lang_eng},
    {S, "", 0},
    {I, "Monitor over IP-List", cmd_link_ipl},
    {I, "Monitor over IP", cmd_link_ip},
    {I, "Monitor over RS232", cmd_link_rs232},
    {E, "", 0},
    {I, "Version", cmd_version},
};

// Menu 100, German: the same ids in the same places.
const WinMenuRow menu_ger[] = {
    {P, "Datei", 0},
    {I, "Ausw\xe4hlen", cmd_file_open},
    {I, "Anzeigen", cmd_file_show},
    {I, "Schreibschutz", cmd_write_prot},
    {I, "Datei konvertieren", cmd_convert},
    {S, "", 0},
    {P, "Makrodatei", 0},
    {I,
     "\xd6"
     "ffnen",
     cmd_mak_open},
    {I, "Neu Laden", cmd_mak_reload},
    {I,
     "Schlie\xdf"
     "en",
     cmd_mak_close},
    {S, "", 0},
    {I, "Anzeigen", cmd_mak_show},
    {E, "", 0},
    {S, "", 0},
    {I, "Beenden", cmd_quit},
    {E, "", 0},
    {P, "Ansicht", 0},
    {I, "Bootstrap", cmd_view_boot},
    {I, "Firmware-Update", cmd_view_firm},
    {I, "Dateisystem", cmd_view_fs},
    {I, "DDC", cmd_view_ddc},
    {I, "Debug", cmd_view_debug},
    {S, "", 0},
    {I, "Makros", cmd_show_mak},
    {I, "Tastatur", cmd_show_keyb},
    {E, "", 0},
    {P, "&System", 0},
    {I, "Deutsch", cmd_lang_deu},
    {I, "English", cmd_lang_eng},
    {S, "", 0},
    {I,
     "Monitor \xfc"
     "ber IP-Liste",
     cmd_link_ipl},
    {I,
     "Monitor \xfc"
     "ber IP",
     cmd_link_ip},
    {I,
     "Monitor \xfc"
     "ber RS232",
     cmd_link_rs232},
    {E, "", 0},
    {I, "Version", cmd_version},
};
static_assert(std::size(menu_eng) == std::size(menu_ger));

}  // namespace

void mw_register_menus(void) {
    plat::win_register_menu(menu_id_deu, menu_ger, std::size(menu_ger));
    plat::win_register_menu(menu_id_eng, menu_eng, std::size(menu_eng));
}

void mw_check_menu(int hwnd, int id, char on) {
    if (hwnd != -1) plat::win_check_menu(hwnd, id, on != 0);
}
void mw_enab_menu(int hwnd, int id, char on) {
    if (hwnd != -1) plat::win_enable_menu(hwnd, id, on != 0);
}
void mw_select_menu(int id) {
    if (hwndMain != -1) plat::win_select_menu(hwndMain, id);
}
void mw_check_butt(int hwnd, char on) {
    if (hwnd != -1) plat::win_set_check(hwnd, on != 0);
}

int scr_menu_for_lang(void) { return sys_lang == lang_deu ? menu_id_deu : menu_id_eng; }

void paint_enab_sysmode(void) {
    int h = hwndMain;
    char idle = (sys_act & 1) ? 1 : 0;
    int32_t v = scr_view_shown();
    mw_enab_menu(h, cmd_lang_deu, idle);
    mw_enab_menu(h, cmd_lang_eng, idle);
    mw_check_menu(h, cmd_lang_deu, sys_lang == lang_deu);
    mw_check_menu(h, cmd_lang_eng, sys_lang == lang_eng);
    static const int views[] = {view_fs, view_firm, view_boot, view_ddc, view_debug};
    for (int id : views) {
        mw_enab_menu(h, id, idle);
        mw_check_menu(h, id, v == id);
    }
    mw_enab_menu(h, cmd_show_mak, idle);
    mw_enab_menu(h, cmd_show_keyb, idle);
    static const int files[] = {cmd_mak_open, cmd_mak_reload, cmd_mak_close,
                                cmd_mak_show, cmd_file_open,  cmd_file_show};
    for (int id : files) mw_enab_menu(h, id, idle && v != view_scan);
    mw_enab_menu(h, cmd_write_prot, idle && (v == view_fs || v == view_ddc));
    mw_check_menu(h, cmd_write_prot,
                  (v == view_fs && fsf_prot != 0) || (v == view_ddc && ddc_prot != 0));
    mw_enab_menu(h, cmd_convert, idle && v == view_ddc);
    char eth = idle && is_inet && v != view_ddc && v != view_boot && v != view_scan;
    mw_enab_menu(h, cmd_link_ip, eth);
    mw_enab_menu(h, cmd_link_ipl, eth);
    mw_check_menu(h, cmd_link_ip, com_mode == com_mode_ip);
    mw_check_menu(h, cmd_link_ipl, com_mode == com_mode_ipl);
    mw_enab_menu(h, cmd_link_rs232, idle && v != view_ddc);
    mw_check_menu(h, cmd_link_rs232, com_mode == com_mode_rs232);
    mw_enab_menu(h, cmd_quit, 1);
    mw_enab_menu(h, cmd_version, 1);
}

void update_menu(void) {
    if (!plat::loop_is_main_thread()) {
        plat::loop_call_blocking([] { update_menu(); });
        return;
    }
    mw_check_menu(hwndMain, cmd_show_mak, show_mak == 0);
    mw_check_menu(hwndMain, cmd_show_keyb, show_keyb == 0);
    paint_enab_sysmode();
    zelb_info_to_window();
    plat::win_set_text(scr_getwnd_ix(ix_tx_com), scr_view_shown() == view_ddc ? "LPT:" : "COM:");
}
