// The end of an operation, end to end on a headless main window against
// simulated monitors behind a converter on 127.0.9.x or on a pty: the error a
// step recorded reaches the operator once, in the chosen language, and it
// drops the rest of the list of actions; a file error is shown too and
// everything the operation opened is closed; an immediate stop ends a read
// that waits for a silent monitor at once, and the link is closed only after
// the stopped worker has left it.
#include <gtest/gtest.h>

#include <poll.h>

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "platform/io_stop.h"
#include "platform/serial.h"
#include "platform/win.h"
#include "support/ops_support.h"
#include "support/test_util.h"
#include "velquor/link/com_action.h"
#include "velquor/link/com_link.h"
#include "velquor/operations/fs_ops.h"
#include "velquor/operations/vf_ddc.h"
#include "velquor/operations/vf_end.h"
#include "velquor/operations/vf_info.h"
#include "velquor/operations/vf_ipl.h"
#include "velquor/operations/vf_keys.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/text_ar.h"
#include "velquor/ui/velquor_ids.h"
#include "velquor/ui/velquor_stat.h"
#include "velquor/ui/velquor_win.h"
#include "velquor/util/files.h"

namespace {

using End = Ops;

// A silent monitor (a time-out) and a line that echoes (a loop): one stop box
// with the program's caption and the error in the chosen language.
TEST_F(End, ErrorsReachTheOperatorOnceInTheChosenLanguage) {
    struct Row {
        uint32_t lang;
        bool loop;
        const char *body;
    } rows[] = {
        {lang_eng, false, "Timeout"},
        {lang_deu, false,
         "Zeit\xFC"
         "berschreitung"},
        {lang_eng, true, "Loop"},
    };
    int i = 0;
    for (const Row &r : rows) {
        SCOPED_TRACE(r.body);
        char addr[32];
        std::snprintf(addr, sizeof addr, "127.0.9.%d", 10 + i++);
        start_sim(1, addr, r.loop);
        if (!r.loop) {
            zs_fault f;
            f.kind = ZS_F_SILENT;
            ASSERT_EQ(zs_add_fault(sim, 0, f), 0);
        }
        sys_lang = r.lang;
        plat::win_boxes_clear();
        run(ix_keyb_ok);
        const std::vector<plat::WinBoxRecord> boxes = plat::win_boxes_shown();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].body, r.body);
        EXPECT_EQ(boxes[0].caption, "Velquor II");
        EXPECT_EQ(boxes[0].icon, plat::WIN_ICON_STOP);
        zs_stop(&sim);
    }
}

// Left, Up, Right with Up unanswered: Left goes out, the error is shown once
// and reset, and Right is never sent.
TEST_F(End, AnErrorDropsTheRestOfTheList) {
    start_sim(1, "127.0.9.4");
    zs_fault f;
    f.kind = ZS_F_SILENT;
    f.cmd = zelb_key_up;
    ASSERT_EQ(zs_add_fault(sim, 0, f), 0);
    run(ix_keyb_left, ix_keyb_up, ix_keyb_right);
    EXPECT_EQ(plat::win_boxes_shown().size(), 1u);
    EXPECT_EQ(frames_with(zelb_key_left).size(), 1u);
    EXPECT_TRUE(frames_with(zelb_key_right).empty());
    EXPECT_EQ(sm_list_get_next(), 0);
    EXPECT_EQ(sys_rv, 0);
}

// A step that fails with a file error, ending through end_com: the error's
// text is shown after the communication error would be, the operation's file
// is closed, a DDC write series is stopped, the file-system transfer and the
// status dialog's error display are reset, and the ids are kept for the CLI.
char fail_with_file_error() {
    sys_f_rv = mfe_open;
    return 0;
}
const tm_func_table_t kFileErrTab[] = {
    {1, fail_with_file_error, 0, 0, 2, 0},
    {2, end_com, 0, 0, 0, 0},
};

TEST_F(End, FileErrorIsShownAndEverythingOpenIsClosed) {
    const std::string dir = tu_make_temp_dir("vq_end");
    ASSERT_EQ(mf_fopen(&fpupl, (dir + "/dump.vqf").c_str(), mf_write), mfe_ok);
    ddc_stop = 0;
    sysmode2 = cmd_fs_upl;
    s_dlg_err = 1;
    dlg_err = 0;
    end_last_reset();
    sm_set_table(kFileErrTab, 2);
    run(1);
    sm_set_table(nullptr, 0);
    const std::vector<plat::WinBoxRecord> boxes = plat::win_boxes_shown();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].body, "can not open file");
    EXPECT_EQ(boxes[0].icon, plat::WIN_ICON_STOP);
    EXPECT_EQ(fpupl, nullptr);
    EXPECT_EQ(ddc_stop, ddc_stop_all);
    EXPECT_EQ(sysmode2, 0);
    EXPECT_EQ(s_dlg_err, 0);
    EXPECT_EQ(dlg_err, 2);
    EXPECT_EQ(sys_f_rv, 0);
    EXPECT_EQ(end_last_f_rv, mfe_open);
    EXPECT_EQ(end_last_rv, 0);
}

// Every use of a serial descriptor, in order, for the stop test below.
struct FdLog {
    std::mutex mu;
    std::vector<std::pair<char, int>> ops;  // 'p' poll, 'r' read, 'c' close
    void add(char op, int fd) {
        std::lock_guard<std::mutex> lk(mu);
        ops.push_back({op, fd});
    }
};
FdLog g_fds;

// A ping of a silent monitor waits up to 10 s for its answer; an immediate stop
// ends the wait at once, no error is shown for the ended read, and no poll or
// read touches the port after it was closed.
TEST_F(End, ImmediateStopEndsAReadOnASilentMonitorAtOnce) {
    start_pty_sim(1);
    zs_fault f;
    f.kind = ZS_F_SILENT;
    ASSERT_EQ(zs_add_fault(sim, 0, f), 0);
    sys_to = 10;
    plat::SerialSys &sys = plat::ser_sys();
    sys.poll = [](pollfd *fds, unsigned long n, int ms) {
        g_fds.add('p', fds[0].fd);
        return ::poll(fds, n, ms);
    };
    sys.read = [](int fd, void *b, size_t n) {
        g_fds.add('r', fd);
        return ::read(fd, b, n);
    };
    sys.close = [](int fd) {
        g_fds.add('c', fd);
        return ::close(fd);
    };
    dome = 1;
    sys_act = 0;
    const uint64_t before = zs_last_seq(sim);
    sm_start_liste1(hwndMain, ix_ping_me);
    // The ping has reached the line: the worker now waits for its answer.
    ASSERT_EQ(zs_wait_event(sim, ZS_EV_RX, -1, before, tu_wait_ms), ZS_OK);
    const auto t0 = std::chrono::steady_clock::now();
    sm_start_liste1(hwndMain, ix_sm_stop);
    ASSERT_TRUE(plat::win_pump_until(
        [] { return dome.load() == 0 && sm_workers_running() == 0 && syscom == -1; }, tu_wait_ms));
    const auto took = std::chrono::steady_clock::now() - t0;
    plat::ser_sys_reset();
    EXPECT_LT(took, std::chrono::seconds(3));  // the read's own time-out is 10 s
    for (const plat::WinBoxRecord &b : plat::win_boxes_shown()) ADD_FAILURE() << "box: " << b.body;
    EXPECT_FALSE(plat::io_stop_raised());
    std::lock_guard<std::mutex> lk(g_fds.mu);
    int closed = -1;
    for (const auto &op : g_fds.ops) {
        if (op.first == 'c')
            closed = op.second;
        else
            EXPECT_NE(op.second, closed) << "'" << op.first << "' on a closed port";
    }
    EXPECT_NE(closed, -1);
}

}  // namespace
