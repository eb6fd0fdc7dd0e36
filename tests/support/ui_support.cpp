// Test support for the window program (see ui_support.h).
#include "ui_support.h"

#include <cstring>

#include "platform/loop.h"
#include "platform/win.h"
#include "test_util.h"
#include "velquor/link/com_action.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/screen.h"
#include "velquor/ui/velquor_cfg.h"
#include "velquor/ui/velquor_dialogs.h"
#include "velquor/ui/velquor_main.h"

int ui_timer_proc(int, int msg, int p1, int) {
    if (msg == plat::WIN_MSG_TIMER) {
        if (p1 == static_cast<int>(sm_timer_resume)) sm_on_timer_173();
        if (p1 == static_cast<int>(sm_timer_end)) sm_on_timer_165();
        if (p1 == static_cast<int>(dlg_tm_idle)) dlg_idle_tick();
    }
    return 0;
}

void ui_open_headless_main(void) {
    static bool once = false;
    if (once) return;
    plat::win_use_headless();
    plat::WinMainArgs a;
    a.title = "test";
    a.proc = ui_timer_proc;
    hwndMain = plat::win_create_main(a);
    dlgopen_stat();
    dlgopen_staterr();
    dlghide_stat();
    dlghide_staterr();
    once = true;
}

bool ui_idle(void) {
    return dome.load() == 0 && sm_workers_running() == 0 &&
           !plat::loop_timer_armed(hwndMain, sm_timer_end) &&
           !plat::loop_timer_armed(hwndMain, sm_timer_resume);
}

bool ui_wait_idle(int timeout_ms) { return plat::win_pump_until(ui_idle, timeout_ms); }

std::string ui_item(int dlg, int id) { return plat::win_text(plat::win_find_child(dlg, id)); }

std::vector<std::string> ui_boxes(void) {
    std::vector<std::string> b;
    for (const plat::WinBoxRecord &r : plat::win_boxes_shown()) b.push_back(r.body);
    plat::win_boxes_clear();
    return b;
}

void UiTest::SetUp() {
    plat::win_use_headless();
    plat::win_boxes_clear();
    sysmode = 129;
    com_mode = com_mode_rs232;
    is_inet = 1;
    sys_lang = 2;
    show_keyb = show_mak = show_info = 0;
    sys_act = 1;
    dome = 0;
    sys_rv = 0;
    sys_intf = 1;
    sys_zelb_nr = 1;
    sys_ipx = 0;
    sys_to = 5;
    broad = 0;
    makpath[0] = 0;
    std::strcpy(sys_ip, "0.0.0.0");
    std::strcpy(fname1, "/tmp/old.vqf");
    debug_str[0] = 0;
    win_width = 600;
    win_height = 370;
    scr_reset_elem(screen, scr_n_slots);
}

void UiTest::TearDown() {
    plat::win_shutdown();
    plat::loop_reset();
    is_start = 0;
    hwndMain = -1;
}

void UiTest::open() {
    ASSERT_NE(vq_create_window(true), -1);
    ASSERT_TRUE(plat::win_pump_until([] { return is_start == 1; }, tu_wait_ms));
}
