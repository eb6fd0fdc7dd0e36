// Restarts and timed waits end to end on a headless main window against
// simulated monitors behind a converter on 127.0.9.x: the restart of every
// monitor of a line, and the restart of one monitor with its seven-second
// wait, its progress display, and Cancel ending it at once.
#include <gtest/gtest.h>

#include <vector>

#include "platform/win.h"
#include "support/ops_support.h"
#include "support/test_util.h"
#include "support/ui_support.h"
#include "velquor/operations/vf_ipl.h"
#include "velquor/operations/vf_wait.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/velquor_dialogs.h"
#include "velquor/ui/velquor_main.h"

namespace {

using Wait = Ops;

// Number 0: a ping finds the highest number, then each monitor is restarted
// from it down to 1, and the window needs no wait.
TEST_F(Wait, RestartAllGoesFromTheLastMonitorDown) {
    start_sim(3, "127.0.9.5");
    sys_zelb_nr = 0;
    dome = 1;
    sys_act = 0;
    restart_zelb(hwndMain);
    ASSERT_TRUE(ui_wait_idle(30000));
    ASSERT_EQ(zs_wait_event(sim, ZS_EV_RESTART, 1, 0, tu_wait_ms), ZS_OK);  // the last one
    const std::vector<zs_event> f = frames_with(zelb_cmd_restart);
    ASSERT_EQ(f.size(), 3u);
    EXPECT_EQ(f[0].mon, 3);
    EXPECT_EQ(f[1].mon, 2);
    EXPECT_EQ(f[2].mon, 1);
    EXPECT_TRUE(plat::win_boxes_shown().empty());
}

// One monitor: its restart, then a 7 s wait that shows its progress and that
// Cancel ends at once, before it ran out.
TEST_F(Wait, CancelEndsTheSevenSecondWaitAfterARestartAtOnce) {
    start_sim(2, "127.0.9.6");
    sys_zelb_nr = 2;
    dome = 1;
    sys_act = 0;
    restart_zelb(hwndMain);
    ASSERT_TRUE(plat::win_pump_until([] { return sm_get_stop_enabled() != 0; }, 20000));
    // The restart goes out without an answer: the line may take it a moment later.
    ASSERT_EQ(zs_wait_event(sim, ZS_EV_RESTART, 2, 0, tu_wait_ms), ZS_OK);
    const std::vector<zs_event> f = frames_with(zelb_cmd_restart);
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].mon, 2);
    EXPECT_TRUE(plat::win_is_visible(HDLG_Stat));
    EXPECT_EQ(plat::win_text(HDLG_Stat), "please wait");
    EXPECT_EQ(ui_item(HDLG_Stat, dlg_item_betw), "of 7");
    ASSERT_TRUE(plat::win_pump_until(
        [] { return ui_item(HDLG_Stat, dlg_item_pre) == "Time [s]: 1"; }, 20000));
    EXPECT_EQ(plat::win_progress_pos(HPB_Stat), 14);  // 1 of 7
    stop_by_dlg();
    ASSERT_TRUE(ui_wait_idle(30000));
    EXPECT_EQ(dome.load(), 0);
    stat_dlg_view v;
    stat_dlg_get_view(&v);
    EXPECT_LT(v.percent, 100);  // the wait did not run out
    EXPECT_FALSE(plat::win_is_visible(HDLG_Stat));
    EXPECT_TRUE(plat::win_boxes_shown().empty());
}

}  // namespace
