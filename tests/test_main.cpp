// Tests of the start-up steps, the window procedure and the command dispatch,
// headless: commands as the operator gives them, and what the window shows after.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/loop.h"
#include "platform/win.h"
#include "support/test_util.h"
#include "support/ui_support.h"
#include "velquor/link/com_action.h"
#include "velquor/operations/vf_end.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/screen.h"
#include "velquor/ui/velquor_cfg.h"
#include "velquor/ui/velquor_dialogs.h"
#include "velquor/ui/velquor_main.h"
#include "velquor/util/vqsystem.h"
#include "zelbsim.h"

namespace {

constexpr int kWait = tu_wait_ms;
using Main = UiTest;

size_t stop_boxes() {
    size_t n = 0;
    for (const plat::WinBoxRecord &b : plat::win_boxes_shown()) n += b.icon == plat::WIN_ICON_STOP;
    return n;
}

}  // namespace

// Operations that cannot reach their monitor or adapter end through their end
// step with one error box, and the window is idle again. While an operation
// runs, those that wait for it (Erase, Download, PC -> DDC, DDC -> PC) make the
// window busy and start nothing.
TEST_F(Main, FailedOperationsEndWithAnErrorOrWaitForTheRunningOne) {
    open();
    struct Row {
        int id;
        int32_t view;
        bool waits;
    } rows[] = {{145, 129, false}, {149, 129, true}, {150, 129, false}, {155, 129, false},
                {185, 127, false}, {186, 128, true}, {188, 130, true},  {190, 130, true}};
    for (const Row &r : rows) {
        SCOPED_TRACE(r.id);
        sysmode = r.view;
        CreateWindowContents(11);
        plat::win_boxes_clear();
        check_cmd(hwndMain, r.id, 0);
        EXPECT_TRUE(plat::win_pump_until([] { return (sys_act & 1) != 0; }, kWait));
        EXPECT_EQ(stop_boxes(), 1u);
        EXPECT_EQ(dome, 0);
        EXPECT_EQ(sys_rv, 0);
        if (!r.waits) continue;
        dome = 1;
        enab_sys_action(1);
        plat::win_boxes_clear();
        check_cmd(hwndMain, r.id, 0);
        plat::win_pump_until([] { return false; }, 20);
        EXPECT_EQ(sys_act, 0);
        EXPECT_EQ(stop_boxes(), 0u);
        EXPECT_EQ(dome, 1);
        dome = 0;
    }
}

TEST_F(Main, DispatchOfSettingsCommands) {
    open();
    check_cmd(hwndMain, 116, plat::WIN_NOTIFY_CHANGE);  // a change notification is no command
    EXPECT_EQ(show_keyb, 0);
    check_cmd(hwndMain, 0x10000 | 116, 0);  // only the low 16 bits count
    EXPECT_EQ(show_keyb, 1);
    // Group: on clears the monitor number, off keeps it.
    com_mode = com_mode_ipl;
    CreateWindowContents(11);
    plat::win_click(scr_getwnd_ix(ix_broad));
    EXPECT_EQ(broad, 1);
    EXPECT_EQ(sys_zelb_nr, 0);
    EXPECT_EQ(plat::win_get_check(scr_getwnd_ix(ix_broad)), 1);
    plat::win_click(scr_getwnd_ix(ix_broad));
    EXPECT_EQ(broad, 0);
    // Baud radios: the rate, and only its radio marked.
    com_mode = com_mode_rs232;
    sysmode = 127;
    CreateWindowContents(11);
    plat::win_click(scr_getwnd_ix(ix_firm_bd384));
    EXPECT_EQ(sys_baud, 38400);
    for (int32_t ix = ix_firm_bd96; ix <= ix_firm_bd5760; ix++)
        EXPECT_EQ(plat::win_get_check(scr_getwnd_ix(ix)), ix == ix_firm_bd384) << ix;
    check_cmd(hwndMain, 210, 0);
    EXPECT_EQ(sys_baud, 288000);
    // Boot type radios.
    sysmode = 128;
    CreateWindowContents(11);
    plat::win_click(scr_getwnd_ix(ix_rd_boot_AM29LV150));
    EXPECT_EQ(sys_boot, 206);
    EXPECT_EQ(plat::win_get_check(scr_getwnd_ix(ix_rd_boot_AM29LV150)), 1);
    EXPECT_EQ(plat::win_get_check(scr_getwnd_ix(ix_rd_boot_zelb3)), 0);
    // Write protect: File System view only toggles fsf_prot and its mark.
    sysmode = 129;
    CreateWindowContents(11);
    fsf_prot = 0;
    ASSERT_TRUE(plat::win_click_menu(hwndMain, 178));
    EXPECT_EQ(fsf_prot, 1);
    bool checked = false, enabled = false;
    plat::win_menu_item_state(hwndMain, 178, &checked, &enabled);
    EXPECT_TRUE(checked);
    // The macro file commands without a macro file.
    plat::win_boxes_clear();
    ASSERT_TRUE(plat::win_click_menu(hwndMain, 175));
    ASSERT_EQ(plat::win_boxes_shown().size(), 1u);
    EXPECT_EQ(plat::win_boxes_shown()[0].body, "Keine Makrodatei angegeben!");
}

// The macro-file chooser's title, filter and start name; no chooser in the
// Debug view; a chosen path is cut to the buffer.
TEST_F(Main, FileChoosers) {
    open();
    char path[] = "/tmp/vq_main_XXXXXX.vqm";
    int fd = mkstemps(path, 4);
    // cppcheck-suppress resourceLeak ; when this fails, nothing was opened
    ASSERT_GE(fd, 0);
    close(fd);
    plat::win_script_file(path);
    ASSERT_TRUE(plat::win_click_menu(hwndMain, 170));
    std::vector<plat::WinFileRecord> f = plat::win_files_shown();
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].args.title, "Makrodatei w\xe4hlen");
    std::vector<std::string> want = {"Alle Dateien [*.*]", "*.*", "Makrodatei [*.vqm]", "*.vqm"};
    EXPECT_EQ(f[0].args.filters, want);
    EXPECT_EQ(f[0].args.filter_index, 1);
    EXPECT_EQ(f[0].args.start_name, "*.vqm");
    EXPECT_EQ(f[0].args.def_ext, "vqm");
    EXPECT_STREQ(makpath, path);
    sysmode = 261;
    CreateWindowContents(11);
    check_cmd(hwndMain, 172, 0);
    EXPECT_EQ(plat::win_files_shown().size(), 1u);
    plat::win_script_file(path);
    char small[8];
    EXPECT_EQ(GetFileName(hwndMain, "t", small, sizeof small, "a,*.*", "x", ""), 0);
    EXPECT_EQ(strlen(small), 7u);
    EXPECT_EQ(GetFileName(-1, "t", small, sizeof small, "a,*.*", "x", ""), 11);
    EXPECT_EQ(GetFileName(hwndMain, "t", small, sizeof small, "a,*.*", "x", ""), 1);  // cancelled
    EXPECT_EQ(show_file("true ", "", path), 0);
    EXPECT_EQ(show_file("true ", "", "   "), 2);
    EXPECT_EQ(show_file(nullptr, "", path), 1);
    unlink(path);
}

// Size changes before the first build do nothing; Quit destroys the window.
TEST_F(Main, SizeBeforeStartAndQuit) {
    ASSERT_NE(vq_create_window(true), -1);
    int x, y, w, h;
    plat::win_get_geometry(hwndMain, &x, &y, &w, &h);
    plat::win_set_geometry(hwndMain, x, y, 700, 400);
    EXPECT_EQ(screen[0].wnd, -1);
    ASSERT_TRUE(plat::win_pump_until([] { return is_start == 1; }, kWait));
    EXPECT_NE(screen[0].wnd, -1);
    ASSERT_TRUE(plat::win_click_menu(hwndMain, 151));
    EXPECT_EQ(hwndMain, -1);
    EXPECT_EQ(is_start, 0);
}

TEST(MainStart, GeometryCheckAndPosition) {
    plat::win_use_headless();
    plat::win_headless_set_screen(1024, 768);
    struct Row {
        int n;
        int32_t l, t, w, h;
        int rc;
    } rows[] = {{1, 0, 0, 600, 370, 0},   {2, -1, 0, 600, 370, 1},  {3, 0, 0, 0, 370, 1},
                {4, 500, 0, 600, 370, 2}, {5, 0, 500, 600, 370, 3}, {6, 424, 398, 600, 370, 0}};
    for (const Row &r : rows) EXPECT_EQ(mw_check_window(r.l, r.t, r.w, r.h), r.rc) << r.n;
    savePos(0xFFFF, 0x10020);
    EXPECT_EQ(win_left, -1);
    EXPECT_EQ(win_top, 32);
    plat::win_shutdown();
}

TEST(MainStart, CommandLineIsTheConfigurationPath) {
    plat::win_use_headless();
    plat::win_boxes_clear();
    is_inet = 1;
    ASSERT_EQ(vq_startup("/tmp/x y.cfg"), vq_start_ok);
    EXPECT_STREQ(fcpath, "/tmp/x y.cfg");
    ASSERT_EQ(vq_startup(""), vq_start_ok);
    EXPECT_STREQ(fcpath, "./std.cfg");
    std::string longer(2000, 'a');
    ASSERT_EQ(vq_startup(longer.c_str()), vq_start_ok);
    EXPECT_EQ(strlen(fcpath), 1023u);
    plat::win_shutdown();
}

// Closing the window while a ping waits for a silent monitor (answer time-out
// 10 s): the shut-down stops the operation and waits for its worker before it
// frees the helper library, the link is closed, the configuration is saved,
// and all of it well within the read's time-out.
TEST(MainStart, ClosingTheWindowDuringAnOperationStopsItFirst) {
    plat::win_use_headless();
    plat::win_boxes_clear();
    zs_config cfg;
    zs_line_cfg lc;
    zs_line_set_count(&lc, 1);
    zs_fault f;
    f.kind = ZS_F_SILENT;
    lc.faults.push_back(f);
    cfg.lines.push_back(lc);
    zs_sim *sim = nullptr;
    std::string err;
    ASSERT_EQ(zs_start(cfg, &sim, &err), ZS_OK) << err;
    const std::string dir = tu_make_temp_dir("vq_close");
    const std::string path = dir + "/std.cfg";
    {
        std::ofstream c(path);
        c << "ik_commode 238\nik_sys_intf 1\nik_sys_zelb 1\nik_sys_to 10\n"
          << "ik_comdev_1 " << zs_slave_path(sim, 0) << "\n";
    }
    ASSERT_EQ(vq_startup(path.c_str()), vq_start_ok);
    ASSERT_NE(vq_create_window(false), -1);
    ASSERT_TRUE(plat::win_pump_until([] { return is_start == 1; }, kWait));
    const uint64_t before = zs_last_seq(sim);
    check_cmd(hwndMain, cmd_ping, 0);
    ASSERT_EQ(zs_wait_event(sim, ZS_EV_RX, -1, before, kWait), ZS_OK);
    const auto t0 = std::chrono::steady_clock::now();
    plat::win_close(hwndMain);
    vq_shutdown(true);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(3));
    EXPECT_EQ(sm_workers_running(), 0);
    EXPECT_EQ(syscom, -1);
    EXPECT_EQ(hLib_com, nullptr);  // freed after the worker had left
    EXPECT_NE(tu_read_file(path).find("ik_sys_to 10"), std::string::npos);
    zs_stop(&sim);
    plat::win_shutdown();
}

// The about box names the version of the helper library that the start-up
// bound, not a fixed text.
TEST(MainStart, AboutBoxNamesTheBoundLibraryVersion) {
    plat::win_use_headless();
    plat::win_boxes_clear();
    dlg_set_dll_version("1.000");
    const std::string dir = tu_make_temp_dir("vq_about");
    ASSERT_EQ(vq_startup((dir + "/std.cfg").c_str()), vq_start_ok);
    ASSERT_NE(hLib_com, nullptr);
    EXPECT_STRNE(dll_ver, "1.000") << "the library reports its own version";
    dlgopen_about();
    ASSERT_NE(HDLG_About, 0);
    EXPECT_EQ(ui_item(HDLG_About, dlg_item_dllver), dll_ver);
    EXPECT_EQ(ui_item(HDLG_About, dlg_item_ver), VER_APP_NUM);
    dlgclose_about();
    vq_shutdown(false);
    plat::win_shutdown();
}

// The idle window wakes for nothing: the status dialog's idle timer runs only
// while the dialog is shown. A restart of one monitor shows it for its wait;
// the timer leaves it shown while the operation runs, and after the
// operation has ended neither the dialog nor the timer is left.
TEST(MainStart, IdleTimerRunsOnlyWhileTheStatusDialogIsShown) {
    plat::win_use_headless();
    plat::win_boxes_clear();
    zs_config cfg;
    zs_line_cfg lc;
    zs_line_set_count(&lc, 2);
    cfg.lines.push_back(lc);
    zs_sim *sim = nullptr;
    std::string err;
    ASSERT_EQ(zs_start(cfg, &sim, &err), ZS_OK) << err;
    const std::string dir = tu_make_temp_dir("vq_idle");
    const std::string path = dir + "/std.cfg";
    std::ofstream(path) << "ik_commode 238\nik_sysmode 129\nik_sys_intf 1\nik_sys_zelb 2\n"
                        << "ik_comdev_1 " << zs_slave_path(sim, 0) << "\n";
    ASSERT_EQ(vq_startup(path.c_str()), vq_start_ok);
    ASSERT_NE(vq_create_window(false), -1);
    ASSERT_TRUE(plat::win_pump_until([] { return is_start == 1; }, kWait));
    const auto armed = [] { return plat::loop_timer_armed(hwndMain, dlg_tm_idle); };
    plat::win_pump_until([] { return false; }, 20);
    EXPECT_FALSE(armed()) << "idle after the first build";
    EXPECT_FALSE(plat::win_is_visible(HDLG_Stat));

    check_cmd(hwndMain, cmd_fs_reset, 0);  // restart, then a 7 s wait that shows its progress
    ASSERT_TRUE(plat::win_pump_until([] { return sm_get_stop_enabled() != 0; }, kWait));
    EXPECT_TRUE(plat::win_is_visible(HDLG_Stat));
    EXPECT_TRUE(armed());
    plat::win_pump_until([] { return false; }, 50);  // ten periods of the timer
    EXPECT_TRUE(plat::win_is_visible(HDLG_Stat)) << "the operation still runs";
    EXPECT_TRUE(armed());
    ASSERT_TRUE(plat::win_click(plat::win_find_child(HDLG_Stat, dlg_item_cancel)));
    ASSERT_TRUE(ui_wait_idle(kWait));
    EXPECT_NE(sys_act & 1, 0);
    EXPECT_FALSE(plat::win_is_visible(HDLG_Stat));
    EXPECT_FALSE(armed());

    // Shown while the window is idle, the dialog is hidden at the next expiry.
    dlgshow_stat();
    EXPECT_TRUE(armed());
    EXPECT_TRUE(plat::win_pump_until([] { return !plat::win_is_visible(HDLG_Stat); }, kWait));
    EXPECT_FALSE(armed());
    plat::win_close(hwndMain);
    vq_shutdown(false);
    zs_stop(&sim);
    plat::win_shutdown();
}
