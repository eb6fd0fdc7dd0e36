// Status and progress dialogs on the headless window layer: the dialog caption
// with the ring counter, the main window title with the IP-list counter, the
// two counters and the percent bar, the switch to the error-status dialog and
// back with Cancel in the current language, Cancel as a stop request or an
// immediate stop, the about box, and texts written by a worker while the main
// thread redraws.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "platform/loop.h"
#include "platform/win.h"
#include "support/ui_support.h"
#include "velquor/operations/vf_ring.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/velquor_cfg.h"
#include "velquor/ui/velquor_dialogs.h"
#include "velquor/ui/velquor_main.h"

namespace {

const auto item = ui_item;

class Dialogs : public ::testing::Test {
protected:
    void SetUp() override {
        ui_open_headless_main();
        dlgopen_stat();  // again: a test may have closed them
        dlgopen_staterr();
        dlghide_stat();
        dlghide_staterr();
        ASSERT_NE(HDLG_Stat, 0);
        ASSERT_NE(HDLG_StatErr, 0);
        sys_lang = lang_eng;
        com_mode = com_mode_rs232;
        ring_ipl_clear();
        set_titeltx("");
        set_titeltx2("");
        setdlg_stat_txt("", "", nullptr);
        stat_set_act(0);
        stat_set_max(0);
        update_dlg_stat();
    }
};

TEST_F(Dialogs, CaptionWithRingCounter) {
    struct Row {
        int no;
        const char *title;
        uint8_t ring;
        int32_t ix, max;
        const char *want;
    } rows[] = {
        {1, "FS: TFT->PC ", 1, 2, 3, "FS: TFT->PC : 2/3"},
        {2, "FS: TFT->PC ", 0, 2, 3, "FS: TFT->PC"},
        {3, "update firmware: ", 0, 0, 0, "update firmware "},  // trailing colon -> blank
        {4, "  erase  ", 1, 10, 12, "erase  : 10/12"},
        {5, "Bitte warten", 0, 0, 0, "Bitte warten"},
    };
    for (const Row &r : rows) {
        ring_func = r.ring;
        ring_ix = r.ix;
        ring_max = r.max;
        set_titeltx(r.title);
        set_auto_titel();
        EXPECT_EQ(plat::win_text(HDLG_Stat), r.want) << "row " << r.no;
    }
    // Cut to 60 characters before the trim.
    std::string l70(70, 'w');
    ring_func = 0;
    set_titeltx(l70.c_str());
    set_auto_titel();
    EXPECT_EQ(plat::win_text(HDLG_Stat), std::string(60, 'w'));
    // No title: the caption stays as it was.
    set_titeltx("");
    set_auto_titel();
    EXPECT_EQ(plat::win_text(HDLG_Stat), std::string(60, 'w'));
}

TEST_F(Dialogs, MainTitleWithListCounter) {
    struct Row {
        int no;
        int32_t mode;
        uint8_t broad_on, disab;
        const char *title2;
        const char *want;
    } rows[] = {
        {1, com_mode_ipl, 1, 0, "Erase", "Erase: 2/5"}, {2, com_mode_ipl, 0, 0, "Erase", "Erase"},
        {3, com_mode_ipl, 1, 1, "Erase", "Erase"},      {4, com_mode_ip, 1, 0, "Erase", "Erase"},
        {5, com_mode_ipl, 1, 0, "", "Velquor II"},
    };
    snprintf(VER_APP_NAME, cfg_app_name_size, "%s", "Velquor II");
    for (const Row &r : rows) {
        com_mode = r.mode;
        broad = r.broad_on;
        ipl_disab = r.disab;
        ipl_ix = 2;
        ipl_max = 5;
        set_titeltx2(r.title2);
        set_auto_titel();
        EXPECT_EQ(plat::win_text(hwndMain), r.want) << "row " << r.no;
    }
    ipl_disab = 0;
    broad = 1;
}

TEST_F(Dialogs, CountersAndPercentBar) {
    setdlg_stat_txt("Line:", "of", nullptr);
    struct Row {
        int no;
        int32_t act, max;
        int pos;  // -1: unchanged from the row before
    } rows[] = {
        {1, 0, 0, 0},    {2, 5, 200, 2}, {3, 200, 200, 100}, {4, 201, 200, -1},
        {5, -1, 10, -1}, {6, 7, 7, 100}, {7, 17, 200, 8},    {8, 3, 0, -1},
    };
    int last = -1;
    for (const Row &r : rows) {
        stat_set_act(r.act);
        stat_set_max(r.max);
        set_auto_titel();
        int want = r.pos == -1 ? last : r.pos;
        EXPECT_EQ(plat::win_progress_pos(HPB_Stat), want) << "row " << r.no;
        last = want;
        EXPECT_EQ(item(HDLG_Stat, dlg_item_pre), "Line: " + std::to_string(r.act))
            << "row " << r.no;
        EXPECT_EQ(item(HDLG_Stat, dlg_item_betw), "of " + std::to_string(r.max)) << "row " << r.no;
    }
    // The bar alone; item 214 alone.
    stat_set_act(50);
    stat_set_max(100);
    set_auto_pbar();
    EXPECT_EQ(plat::win_progress_pos(HPB_Stat), 50);
    EXPECT_EQ(item(HDLG_Stat, dlg_item_pre), "Line: 3");
    set_auto_pre_titel();
    EXPECT_EQ(item(HDLG_Stat, dlg_item_pre), "Line: 50");
    EXPECT_EQ(PBAR_SetRangeProzent(-1), 1);
    EXPECT_EQ(PBAR_SetPosProzent_li(-1, 0, 10, 5), 1);
    EXPECT_EQ(PBAR_SetPosProzent_li(HPB_Stat, 5, 10, 4), 2);
}

// A message switches to the error-status dialog, an empty one (or dlg_err = 2)
// back; Cancel reads tx_abr in the current language after each switch.
TEST_F(Dialogs, ErrorDisplayAndBack) {
    struct Row {
        int no;
        uint32_t lang;
        const char *status, *cancel;
    } rows[] = {
        {1, lang_eng, "Status: Timeout", "Cancel"},
        {2, lang_deu,
         "Status: Zeit\xFC"
         "berschreitung",
         "Abbrechen"},
    };
    for (const Row &r : rows) {
        sys_lang = r.lang;
        dlgshow_stat();
        send_stat_msg(scr_get_text_ix(tx_cmp_to));
        EXPECT_FALSE(plat::win_is_visible(HDLG_Stat)) << "row " << r.no;
        EXPECT_TRUE(plat::win_is_visible(HDLG_StatErr)) << "row " << r.no;
        EXPECT_EQ(item(HDLG_StatErr, dlg_item_msg), r.status) << "row " << r.no;
        EXPECT_EQ(item(HDLG_StatErr, dlg_item_cancel), r.cancel) << "row " << r.no;
        EXPECT_EQ(s_dlg_err, 1) << "row " << r.no;

        send_stat_msg(nullptr);
        EXPECT_TRUE(plat::win_is_visible(HDLG_Stat)) << "row " << r.no;
        EXPECT_FALSE(plat::win_is_visible(HDLG_StatErr)) << "row " << r.no;
        EXPECT_EQ(item(HDLG_Stat, dlg_item_cancel), r.cancel) << "row " << r.no;
        EXPECT_EQ(s_dlg_err, 0) << "row " << r.no;
    }
    // The start of an operation turns the error display off at the next redraw.
    send_stat_msg("broken");
    ASSERT_TRUE(plat::win_is_visible(HDLG_StatErr));
    stat_dlg_reset_err();
    setdlg_stat_txt(nullptr, nullptr, nullptr);
    set_auto_titel();
    EXPECT_TRUE(plat::win_is_visible(HDLG_Stat));
    EXPECT_FALSE(plat::win_is_visible(HDLG_StatErr));
    EXPECT_EQ(dlg_err, 0);
    // A message is cut to 59 characters.
    std::string l80(80, 'm');
    send_stat_msg(l80.c_str());
    EXPECT_EQ(item(HDLG_StatErr, dlg_item_msg), "Status: " + std::string(59, 'm'));
    send_stat_msg(nullptr);
}

// Redraws before the dialogs exist do nothing; closing empties the texts.
TEST_F(Dialogs, RedrawWithoutDialogsIsIgnored) {
    setdlg_stat_txt("Entry:", "of", "x");
    dlgclose_stat();
    dlgclose_staterr();
    set_auto_titel();
    set_auto_pbar();
    set_auto_pre_titel();
    stat_dlgs_enab_stop(0);
    dlgopen_stat();
    stat_set_act(4);
    set_auto_titel();
    EXPECT_EQ(item(HDLG_Stat, dlg_item_pre), " 4");
}

TEST_F(Dialogs, CancelAsStopRequest) {
    sm_reset();
    dlgshow_stat();
    ASSERT_EQ(sm_get_stop_enabled(), 0);
    int b1 = plat::win_find_child(HDLG_Stat, dlg_item_cancel);
    int b2 = plat::win_find_child(HDLG_StatErr, dlg_item_cancel);
    ASSERT_TRUE(plat::win_click(b1));
    EXPECT_EQ(sm_get_stop_request(), 1);
    EXPECT_FALSE(plat::win_is_enabled(b1));
    EXPECT_FALSE(plat::win_is_enabled(b2));
    EXPECT_TRUE(plat::win_is_visible(HDLG_Stat));  // the operation ends itself
    sm_reset();                                    // as the next start does
    EXPECT_EQ(sm_get_stop_request(), 0);
    EXPECT_TRUE(plat::win_is_enabled(b1));
    EXPECT_TRUE(plat::win_is_enabled(b2));
}

TEST_F(Dialogs, CancelAsImmediateStop) {
    sm_reset();
    dome = 1;
    sys_act = 0;
    dlgshow_stat();
    sm_set_stop_enabled();
    ASSERT_TRUE(plat::win_click(plat::win_find_child(HDLG_Stat, dlg_item_cancel)));
    EXPECT_FALSE(plat::win_is_visible(HDLG_Stat));
    EXPECT_FALSE(plat::win_is_visible(HDLG_StatErr));
    // The stop action ends the operation.
    EXPECT_TRUE(ui_wait_idle(10000));
    EXPECT_EQ(sys_act, 9);
}

TEST_F(Dialogs, AboutBoxOpensOnce) {
    dlg_set_dll_version("1.003");
    dlgopen_about();
    int first = HDLG_About;
    ASSERT_NE(first, 0);
    EXPECT_EQ(item(first, dlg_item_ver), "1.014A");
    EXPECT_EQ(item(first, dlg_item_dllver), "1.003");
    dlgopen_about();
    EXPECT_EQ(HDLG_About, first);
    // Closed by its caption's close box: the next Version command opens it again.
    plat::win_close(first);
    EXPECT_EQ(HDLG_About, 0);
    EXPECT_FALSE(plat::win_exists(first));
    dlgopen_about();
    ASSERT_NE(HDLG_About, 0);
    EXPECT_TRUE(plat::win_is_visible(HDLG_About));
    ASSERT_TRUE(plat::win_click(plat::win_find_child(HDLG_About, dlg_item_ok)));
    EXPECT_EQ(HDLG_About, 0);
    dlg_set_dll_version("1.000");
}

// The idle timer runs exactly while the progress dialog is shown, however it
// was shown: while an operation runs it leaves the dialog alone; once the
// window is idle it hides the dialog and stops. Hiding stops it as well.
TEST_F(Dialogs, IdleTimerRunsWhileTheProgressDialogIsShown) {
    const auto armed = [] { return plat::loop_timer_armed(hwndMain, dlg_tm_idle); };
    struct Row {
        const char *how;
        void (*show)();
    } rows[] = {
        {"opened", dlgopen_stat},
        {"shown", dlgshow_stat},
        {"brought to front from a worker", [] { std::thread([] { dlg_stat_focus(); }).join(); }},
        {"back from the error display",
         [] {
             send_stat_msg("broken");
             send_stat_msg(nullptr);
         }},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.how);
        dlghide_stat();
        ASSERT_FALSE(armed());
        sys_act = 0;  // an operation runs
        r.show();
        EXPECT_TRUE(plat::win_is_visible(HDLG_Stat));
        EXPECT_TRUE(armed());
        plat::win_pump_until([] { return false; }, 4 * static_cast<int>(dlg_tm_idle_ms));
        EXPECT_TRUE(plat::win_is_visible(HDLG_Stat)) << "hidden while the operation runs";
        EXPECT_TRUE(armed());
        sys_act = 9;  // idle again, as the end of an operation leaves it
        EXPECT_TRUE(plat::win_pump_until([] { return !plat::win_is_visible(HDLG_Stat); }, 10000));
        EXPECT_FALSE(armed());
    }
    sys_act = 0;
    dlgshow_stat();
    ASSERT_TRUE(armed());
    dlghide_stat();  // as the end step hides it
    EXPECT_FALSE(armed());
    sys_act = 1;
}

// A worker writes whole texts while the main thread redraws: every text drawn
// is one of the texts written, never a mixture.
TEST_F(Dialogs, TextsWrittenByAWorkerAreDrawnWhole) {
    const std::string a(29, 'A'), b(29, 'B');
    dlgshow_stat();
    set_titeltx(a.c_str());
    set_auto_titel();
    std::atomic<bool> done{false};
    std::thread w([&] {
        for (int i = 0; i < 3000; ++i) {
            const char *t = (i & 1) ? a.c_str() : b.c_str();
            setdlg_stat_txt(t, t, nullptr);
            set_titeltx(t);
            stat_set_act(i);
            set_auto_titel();
        }
        done = true;
    });
    int bad = 0;
    while (!done.load()) {
        update_dlg_stat();
        std::string s = item(HDLG_Stat, dlg_item_pre);
        size_t sp = s.find(' ');
        std::string pre = s.substr(0, sp);
        if (!pre.empty() && pre != a && pre != b) ++bad;
        std::string c = plat::win_text(HDLG_Stat);
        if (c != a && c != b) ++bad;
    }
    w.join();
    EXPECT_EQ(bad, 0);
}

}  // namespace
