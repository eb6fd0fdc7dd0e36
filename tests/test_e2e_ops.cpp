// Operations end to end: keys, ping, identification, restarts, waits and
// queued actions run through the sequencer on a headless main window against
// a simulated monitor chain behind a converter on 127.0.9.x, and the keys
// once more over RS232 on a pseudo-terminal.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/loop.h"
#include "platform/serial.h"
#include "platform/win.h"
#include "support/pty_peer.h"
#include "support/ui_support.h"
#include "tools/zelbsim/zelbsim.h"
#include "velquor/link/com_action.h"
#include "velquor/link/com_link.h"
#include "velquor/operations/vf_end.h"
#include "velquor/operations/vf_info.h"
#include "velquor/operations/vf_ipl.h"
#include "velquor/operations/vf_keys.h"
#include "velquor/operations/vf_wait.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/text_ar.h"
#include "velquor/ui/velquor_dialogs.h"
#include "velquor/ui/velquor_main.h"

namespace {

const std::vector<uint8_t> kLeftFrame = {0xAA, 0x55, 0x01, 0xB6, 0x20,
                                         0x00, 0x00, 0xD7, 0xFF, 0x00};

class Ops : public ::testing::Test {
protected:
    zs_sim *sim = nullptr;

    void start_sim(int monitors, const char *addr, bool loop = false) {
        zs_config cfg;
        zs_line_cfg lc;
        lc.kind = ZS_TCP;
        lc.addr = addr;
        lc.port = 11111;
        lc.loop = loop;
        zs_line_set_count(&lc, monitors);
        cfg.lines.push_back(lc);
        std::string err;
        ASSERT_EQ(zs_start(cfg, &sim, &err), 0) << err;
        snprintf(sys_ip, sizeof sys_ip, "%s", addr);
    }

    // A line of monitors on a pty, reached as COM1 through the serial primitives.
    void start_pty_sim(int monitors) {
        zs_config cfg;
        zs_line_cfg lc;
        lc.kind = ZS_PTY;
        zs_line_set_count(&lc, monitors);
        cfg.lines.push_back(lc);
        std::string err;
        ASSERT_EQ(zs_start(cfg, &sim, &err), 0) << err;
        ASSERT_TRUE(plat::ser_set_com_path(1, zs_slave_path(sim, 0).c_str()));
        pp_bind_serial_lib();
        com_mode = com_mode_rs232;
        sys_intf = 1;
    }

    void SetUp() override {
        ui_open_headless_main();
        ASSERT_NE(hwndMain, -1);
        plat::win_boxes_clear();
        com_mode = com_mode_ip;
        is_inet = 1;
        sys_zelb_nr = 1;
        sys_to = 1;
        sys_lang = 2;
        broad = 0;
        sys_rv = 0;
    }
    void TearDown() override {
        wait_idle();
        zs_stop(&sim);
        pp_bind_serial_lib(false);
        plat::ser_set_com_path(1, nullptr);
        parno = 0;
    }

    // Starts an operation as the dispatcher does and waits until it has ended.
    static void wait_idle() { ui_wait_idle(30000); }
    static void run(int32_t a1, int32_t a2 = 0, int32_t a3 = 0) {
        dome = 1;
        sys_act = 0;
        sm_start_liste3(hwndMain, a1, a2, a3);
        wait_idle();
        ASSERT_EQ(dome.load(), 0) << "operation did not end";
    }

    // Presses key button ctl as the dispatcher does; the frames received since the last press.
    std::vector<zs_event> press(int ctl) {
        dome = 1;
        sys_act = 0;
        send_key(ctl, 1);
        wait_idle();
        std::vector<zs_event> rx;
        for (const zs_event &e : zs_events(sim, seen)) {
            seen = e.seq;
            if (e.kind == ZS_EV_RX) rx.push_back(e);
        }
        return rx;
    }
    uint64_t seen = 0;

    std::vector<zs_event> frames_with(uint16_t cmd) {
        std::vector<zs_event> out;
        for (const zs_event &e : zs_events(sim))
            if (e.kind == ZS_EV_RX && e.cmd == cmd) out.push_back(e);
        return out;
    }
};

// Over IP: the frame reaches monitor 1, the converter is set to even parity,
// or to none with "No Parity".
TEST_F(Ops, LeftKeyReachesMonitorOneAndEndsWithoutABox) {
    start_sim(3, "127.0.9.1");
    struct Row {
        int no;
        uint8_t par;
        char parity;
    } rows[] = {{1, 0, 'E'}, {2, 1, 'N'}};
    for (const Row &r : rows) {
        parno = r.par;
        const std::vector<zs_event> f = press(122);
        ASSERT_EQ(f.size(), 1u) << "row " << r.no;
        EXPECT_EQ(f[0].cmd, zelb_key_left) << "row " << r.no;
        EXPECT_EQ(f[0].bytes, kLeftFrame) << "row " << r.no;
        EXPECT_TRUE(plat::win_boxes_shown().empty()) << "row " << r.no;
        EXPECT_EQ(sys_act, 1) << "row " << r.no;
        zs_line_settings ls;
        ASSERT_EQ(zs_get_settings(sim, 0, &ls), 0);
        EXPECT_EQ(ls.parity, r.parity) << "row " << r.no;
    }
    EXPECT_EQ(zs_keys(sim, 0, 1), (std::vector<uint16_t>{zelb_key_left, zelb_key_left}));
}

// Every key button over RS232, the Left key also without parity: one frame
// with the key's command to the monitor number, no box, idle again.
TEST_F(Ops, KeysOverRs232) {
    start_pty_sim(2);
    struct Row {
        int no;
        int ctl;
        uint16_t cmd;
        uint8_t par;
    } rows[] = {
        {1, 122, zelb_key_left, 0}, {2, 121, zelb_key_up, 0}, {3, 123, zelb_key_right, 0},
        {4, 124, zelb_key_down, 0}, {5, 125, zelb_key_ok, 0}, {6, 130, zelb_key_ok, 0},
        {7, 122, zelb_key_left, 1},
    };
    for (const Row &r : rows) {
        parno = r.par;
        sys_zelb_nr = 1;
        const std::vector<zs_event> rx = press(r.ctl);
        ASSERT_EQ(rx.size(), 1u) << "row " << r.no;
        EXPECT_EQ(rx[0].cmd, r.cmd) << "row " << r.no;
        EXPECT_EQ(rx[0].mon, 1) << "row " << r.no;
        if (r.cmd == zelb_key_left) {
            EXPECT_EQ(rx[0].bytes, kLeftFrame) << "row " << r.no;
        }
        EXPECT_TRUE(plat::win_boxes_shown().empty()) << "row " << r.no;
        EXPECT_EQ(sys_act, 1) << "row " << r.no;
        EXPECT_EQ(syscom, -1) << "row " << r.no;  // the port is closed again
        zs_line_settings ls;
        ASSERT_EQ(zs_get_settings(sim, 0, &ls), 0);
        EXPECT_EQ(ls.baud, 9600u) << "row " << r.no;
        EXPECT_EQ(ls.data_bits, 8) << "row " << r.no;
    }
    EXPECT_EQ(zs_keys(sim, 0, 1).size(), std::size(rows));
}

TEST_F(Ops, PingSetsTheMonitorNumberOfTheLine) {
    start_sim(3, "127.0.9.2");
    sys_zelb_nr = 1;
    run(ix_ping_me);
    EXPECT_EQ(sys_zelb_nr, 3);
    EXPECT_TRUE(plat::win_boxes_shown().empty());
}

TEST_F(Ops, IdentificationOfBothGenerations) {
    start_sim(3, "127.0.9.3");
    zs_monitor m1 = zs_monitor_default(1);
    m1.gen = ZS_GEN2;
    m1.board_type = 3;
    m1.date = 0x2A6F;  // 15.03.2021
    m1.disp = 0x123;
    ASSERT_EQ(zs_set_monitor(sim, 0, 1, m1), 0);
    zs_monitor m2 = zs_monitor_default(2);
    m2.gen = ZS_GEN51;
    m2.board_type = 0x12;
    m2.rev = 0x0207;
    m2.date = 0x3A2F;
    ASSERT_EQ(zs_set_monitor(sim, 0, 2, m2), 0);
    zs_monitor m3 = zs_monitor_default(3);  // its boot loader runs
    m3.boot = true;
    m3.variant = 3;
    m3.board_type = 4;
    m3.date = 0x2A6F;
    ASSERT_EQ(zs_set_monitor(sim, 0, 3, m3), 0);

    // Generation 2 takes the board type from bits 8-11 of 0x0D31 and the
    // revision from the whole value; the boot loader's variant names the label.
    std::string rev1 = std::string("3.068 ") + scr_get_zelb_firm_tp_x(2);
    std::string rev3 = std::string("4.068 ") + scr_get_zelb_firm_tp_x(3);
    struct Row {
        uint8_t nr;
        const char *typ, *dsp, *dat, *rev;
        uint8_t gen;
    } rows[] = {
        {1, "ZELB2", "0x123", "15.03. 2021", rev1.c_str(), 2},
        {2, "unknown", "0x102", "15.01. 2029", "2.007 ", 51},
        {3, "QUARDA2A", "0x103", "15.03. 2021", rev3.c_str(), 3},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.nr);
        sys_zelb_nr = r.nr;
        run(ix_inf_init);
        zelb_info_lines l;
        zelb_info_format(&zelb_info_dat, &l);
        EXPECT_STREQ(l.typ, r.typ);
        EXPECT_STREQ(l.dsp, r.dsp);
        EXPECT_STREQ(l.dat, r.dat);
        EXPECT_STREQ(l.rev, r.rev);
        EXPECT_EQ(zelb_info_dat.firm_typ, r.gen);
    }
    EXPECT_STREQ(mc_get_zelb_typ_x(3), "ZELB2");
    char rev[16];
    mc_get_zelb_rev_x(0x0207, rev, sizeof rev);
    EXPECT_STREQ(rev, "2.007");
    EXPECT_TRUE(plat::win_boxes_shown().empty());  // info_init never shows an error

    // A monitor that is not there: empty info, still no box.
    sys_zelb_nr = 9;
    run(ix_inf_init);
    EXPECT_EQ(zelb_info_dat.zelb_ver, 255);
    EXPECT_TRUE(plat::win_boxes_shown().empty());
}

TEST_F(Ops, ErrorsReachTheOperatorOnceInTheChosenLanguage) {
    struct Row {
        uint32_t lang;
        bool loop;
        const char *body;
    } rows[] = {
        {2, false, "Timeout"},
        {1, false,
         "Zeit\xFC"
         "berschreitung"},
        {2, true, "Loop"},
    };
    int i = 0;
    for (const Row &r : rows) {
        SCOPED_TRACE(r.body);
        char addr[32];
        snprintf(addr, sizeof addr, "127.0.9.%d", 10 + i++);
        start_sim(1, addr, r.loop);
        if (!r.loop) {
            zs_fault f;
            f.kind = ZS_F_SILENT;
            ASSERT_EQ(zs_add_fault(sim, 0, f), 0);
        }
        sys_lang = r.lang;
        plat::win_boxes_clear();
        run(ix_keyb_ok);
        std::vector<plat::WinBoxRecord> boxes = plat::win_boxes_shown();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].body, r.body);
        EXPECT_EQ(boxes[0].caption, "Velquor II");
        EXPECT_EQ(boxes[0].icon, plat::WIN_ICON_STOP);
        zs_stop(&sim);
    }
}

TEST_F(Ops, AnErrorInTheSecondOfThreeActionsStopsTheList) {
    start_sim(1, "127.0.9.4");
    zs_fault f;
    f.kind = ZS_F_SILENT;
    f.cmd = zelb_key_up;
    ASSERT_EQ(zs_add_fault(sim, 0, f), 0);
    run(ix_keyb_left, ix_keyb_up, ix_keyb_right);
    EXPECT_EQ(plat::win_boxes_shown().size(), 1u);
    EXPECT_TRUE(frames_with(zelb_key_right).empty());
    EXPECT_EQ(frames_with(zelb_key_left).size(), 1u);
}

TEST_F(Ops, RestartAllGoesFromTheLastMonitorDown) {
    start_sim(3, "127.0.9.5");
    sys_zelb_nr = 0;
    dome = 1;
    sys_act = 0;
    restart_zelb(hwndMain);
    wait_idle();
    std::vector<zs_event> f = frames_with(zelb_cmd_restart);
    ASSERT_EQ(f.size(), 3u);
    EXPECT_EQ(f[0].mon, 3);
    EXPECT_EQ(f[1].mon, 2);
    EXPECT_EQ(f[2].mon, 1);
    EXPECT_TRUE(plat::win_boxes_shown().empty());
}

TEST_F(Ops, CancelEndsASevenSecondWaitAtOnce) {
    start_sim(1, "127.0.9.6");
    sys_zelb_nr = 1;
    dome = 1;
    sys_act = 0;
    restart_zelb(hwndMain);  // restart, then a 7 s wait
    ASSERT_TRUE(plat::win_pump_until([] { return sm_get_stop_enabled() != 0; }, 20000));
    EXPECT_TRUE(plat::win_is_visible(HDLG_Stat));
    // The wait shows its progress: caption, "of 7", and the seconds counting.
    EXPECT_EQ(plat::win_text(HDLG_Stat), "please wait");
    EXPECT_EQ(plat::win_text(plat::win_find_child(HDLG_Stat, dlg_item_betw)), "of 7");
    ASSERT_TRUE(plat::win_pump_until(
        [] {
            return plat::win_text(plat::win_find_child(HDLG_Stat, dlg_item_pre)) == "Time [s]: 1";
        },
        20000));
    EXPECT_EQ(plat::win_progress_pos(HPB_Stat), 14);  // 1 of 7
    stop_by_dlg();
    wait_idle();
    EXPECT_EQ(dome.load(), 0);
    stat_dlg_view v;
    stat_dlg_get_view(&v);
    EXPECT_LT(v.percent, 100);  // the wait did not run out
    EXPECT_FALSE(plat::win_is_visible(HDLG_Stat));
    EXPECT_TRUE(plat::win_boxes_shown().empty());
}

}  // namespace
