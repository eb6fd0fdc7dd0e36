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
#include "velquor/link/com_action.h"
#include "velquor/link/com_link.h"
#include "velquor/operations/velquor_func.h"
#include "velquor/operations/vf_ipl.h"
#include "velquor/ui/conf.h"
#include "velquor/ui/screen.h"
#include "velquor/ui/text_ar.h"
#include "velquor/ui/velquor_cfg.h"
#include "velquor/ui/velquor_dialogs.h"
#include "velquor/ui/velquor_main.h"
#include "velquor/ui/velquor_win.h"

namespace {

using plat::WinMenuRow;
constexpr plat::WinMenuRowKind P = plat::WIN_MENU_POPUP, E = plat::WIN_MENU_END,
                               I = plat::WIN_MENU_ITEM, S = plat::WIN_MENU_SEPARATOR;

// Menu 101, English.
const WinMenuRow menu_eng[] = {
    {P, "File", 0},
    {I, "Open", 172},
    {I, "Show", 174},
    {I, "Write Protect", 178},
    {I, "Convert File", 155},
    {S, "", 0},
    {P, "Macro File", 0},
    {I, "Open", 170},
    {I, "Reload", 164},
    {I, "Close", 163},
    {S, "", 0},
    {I, "Show", 175},
    {E, "", 0},
    {S, "", 0},
    {I, "Quit", 151},
    {E, "", 0},
    {P, "View", 0},
    {I, "Bootstrap", 128},
    {I, "Firmware-Update", 127},
    {I, "File System", 129},
    {I, "DDC", 130},
    {I, "Debug", 261},
    {S, "", 0},
    {I, "Macros", 126},
    {I, "Keyboard", 116},
    {E, "", 0},
    {P, "System", 0},
    {I, "Deutsch", 119},
    {I, "English", 120},
    {S, "", 0},
    {I, "Monitor over IP-List", 245},
    {I, "Monitor over IP", 237},
    {I, "Monitor over RS232", 238},
    {E, "", 0},
    {I, "Version", 162},
};

// Menu 100, German: the same ids in the same places.
const WinMenuRow menu_ger[] = {
    {P, "Datei", 0},
    {I, "Ausw\xe4hlen", 172},
    {I, "Anzeigen", 174},
    {I, "Schreibschutz", 178},
    {I, "Datei konvertieren", 155},
    {S, "", 0},
    {P, "Makrodatei", 0},
    {I,
     "\xd6"
     "ffnen",
     170},
    {I, "Neu Laden", 164},
    {I,
     "Schlie\xdf"
     "en",
     163},
    {S, "", 0},
    {I, "Anzeigen", 175},
    {E, "", 0},
    {S, "", 0},
    {I, "Beenden", 151},
    {E, "", 0},
    {P, "Ansicht", 0},
    {I, "Bootstrap", 128},
    {I, "Firmware-Update", 127},
    {I, "Dateisystem", 129},
    {I, "DDC", 130},
    {I, "Debug", 261},
    {S, "", 0},
    {I, "Makros", 126},
    {I, "Tastatur", 116},
    {E, "", 0},
    {P, "&System", 0},
    {I, "Deutsch", 119},
    {I, "English", 120},
    {S, "", 0},
    {I,
     "Monitor \xfc"
     "ber IP-Liste",
     245},
    {I,
     "Monitor \xfc"
     "ber IP",
     237},
    {I,
     "Monitor \xfc"
     "ber RS232",
     238},
    {E, "", 0},
    {I, "Version", 162},
};
static_assert(std::size(menu_eng) == std::size(menu_ger));

}  // namespace

void mw_register_menus(void) {
    plat::win_register_menu(100, menu_ger, std::size(menu_ger));
    plat::win_register_menu(101, menu_eng, std::size(menu_eng));
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

int scr_menu_for_lang(void) { return sys_lang == 1 ? 100 : 101; }

void paint_enab_sysmode(void) {
    int h = hwndMain;
    char idle = (sys_act & 1) ? 1 : 0;
    int32_t v = scr_view_shown();
    mw_enab_menu(h, 119, idle);
    mw_enab_menu(h, 120, idle);
    mw_check_menu(h, 119, sys_lang == 1);
    mw_check_menu(h, 120, sys_lang == 2);
    static const int views[] = {129, 127, 128, 130, 261};
    for (int id : views) {
        mw_enab_menu(h, id, idle);
        mw_check_menu(h, id, v == id);
    }
    mw_enab_menu(h, 126, idle);
    mw_enab_menu(h, 116, idle);
    static const int files[] = {170, 164, 163, 175, 172, 174};
    for (int id : files) mw_enab_menu(h, id, idle && v != 221);
    mw_enab_menu(h, 178, idle && (v == 129 || v == 130));
    mw_check_menu(h, 178, (v == 129 && fsf_prot != 0) || (v == 130 && ddc_prot != 0));
    mw_enab_menu(h, 155, idle && v == 130);
    char eth = idle && is_inet && v != 130 && v != 128 && v != 221;
    mw_enab_menu(h, 237, eth);
    mw_enab_menu(h, 245, eth);
    mw_check_menu(h, 237, com_mode == 237);
    mw_check_menu(h, 245, com_mode == 245);
    mw_enab_menu(h, 238, idle && v != 130);
    mw_check_menu(h, 238, com_mode == 238);
    mw_enab_menu(h, 151, 1);
    mw_enab_menu(h, 162, 1);
}

void update_menu(void) {
    if (!plat::loop_is_main_thread()) {
        plat::loop_call_blocking([] { update_menu(); });
        return;
    }
    mw_check_menu(hwndMain, 126, show_mak == 0);
    mw_check_menu(hwndMain, 116, show_keyb == 0);
    paint_enab_sysmode();
    zelb_info_to_window();
    plat::win_set_text(scr_getwnd_ix(ix_tx_com), scr_view_shown() == 130 ? "LPT:" : "COM:");
}
