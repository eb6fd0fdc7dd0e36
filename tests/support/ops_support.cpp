// Test support for the operations end to end (see ops_support.h).
#include "ops_support.h"

#include <cstdio>
#include <string>

#include "platform/serial.h"
#include "platform/win.h"
#include "ui_support.h"
#include "velquor/link/com_action.h"
#include "velquor/link/com_link.h"
#include "velquor/operations/vf_ipl.h"
#include "velquor/operations/vf_keys.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/text_ar.h"
#include "velquor/ui/velquor_main.h"
#include "velquor/util/vqsystem.h"

zs_line_cfg ops_tcp_line(const char *addr, int monitors, bool loop) {
    zs_line_cfg lc;
    lc.kind = ZS_TCP;
    lc.addr = addr;
    lc.port = 11111;
    lc.loop = loop;
    zs_line_set_count(&lc, monitors);
    return lc;
}

zs_sim *ops_start(std::vector<zs_line_cfg> lines) {
    zs_config cfg;
    cfg.lines = std::move(lines);
    zs_sim *sim = nullptr;
    std::string err;
    EXPECT_EQ(zs_start(cfg, &sim, &err), ZS_OK) << err;
    return sim;
}

void Ops::SetUp() {
    ui_open_headless_main();
    ASSERT_NE(hwndMain, -1);
    plat::win_boxes_clear();
    com_mode = com_mode_ip;
    is_inet = 1;
    sys_zelb_nr = 1;
    sys_to = 1;
    sys_lang = lang_eng;
    broad = 0;
    sys_rv = 0;
}

void Ops::TearDown() {
    ui_wait_idle(30000);
    zs_stop(&sim);
    sys_end();
    plat::ser_set_com_path(1, nullptr);
    parno = 0;
}

void Ops::start_sim(int monitors, const char *addr, bool loop) {
    sim = ops_start({ops_tcp_line(addr, monitors, loop)});
    std::snprintf(sys_ip, sizeof sys_ip, "%s", addr);
    com_mode = com_mode_ip;
    seen = 0;
}

void Ops::start_pty_sim(int monitors) {
    zs_line_cfg lc;
    zs_line_set_count(&lc, monitors);
    start_pty_line(lc);
}

void Ops::start_pty_line(const zs_line_cfg &lc) {
    sim = ops_start({lc});
    ASSERT_NE(sim, nullptr);
    ASSERT_TRUE(plat::ser_set_com_path(1, zs_slave_path(sim, 0).c_str()));
    ASSERT_EQ(sys_start(), 0);  // the helper library beside the test program
    com_mode = com_mode_rs232;
    sys_intf = 1;
    seen = 0;
}

void Ops::run(int32_t a1, int32_t a2, int32_t a3) {
    dome = 1;
    sys_act = 0;
    sm_start_liste3(hwndMain, a1, a2, a3);
    ui_wait_idle(30000);
    ASSERT_EQ(dome.load(), 0) << "operation did not end";
}

std::vector<zs_event> Ops::press(int ctl) {
    dome = 1;
    sys_act = 0;
    send_key(ctl, 1);
    ui_wait_idle(30000);
    std::vector<zs_event> rx;
    for (const zs_event &e : zs_events(sim, seen)) {
        seen = e.seq;
        if (e.kind == ZS_EV_RX) rx.push_back(e);
    }
    return rx;
}

std::vector<zs_event> Ops::frames_with(uint16_t cmd) {
    std::vector<zs_event> out;
    for (const zs_event &e : zs_events(sim))
        if (e.kind == ZS_EV_RX && e.cmd == cmd) out.push_back(e);
    return out;
}
