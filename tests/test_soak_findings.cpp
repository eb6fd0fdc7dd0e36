// Faults the soak benchmark (bench/bench_soak.cpp) found, each kept here as
// the case that shows it, against simulated monitors behind a converter on
// 127.0.78.x, an address no other test uses.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/win.h"
#include "support/ops_support.h"
#include "support/test_util.h"
#include "support/ui_support.h"
#include "velquor/link/com_link.h"
#include "velquor/operations/vf_end.h"
#include "velquor/operations/vf_ipl.h"
#include "velquor/operations/vf_mak.h"
#include "velquor/sequencer/sm_act.h"

namespace {

using SoakFindings = Ops;

int rx_with(zs_sim *sim, uint64_t after, uint16_t cmd) {
    int n = 0;
    for (const zs_event &e : zs_events(sim, after)) n += e.kind == ZS_EV_RX && e.cmd == cmd;
    return n;
}

// A macro step whose converter closes the connection before the step's frame
// has reached it: each write went into the socket, but the frame never got to
// the line, so the step must not count as sent; it fails and the link is closed.
TEST_F(SoakFindings, MacroStepCutOffByTheConverterFails) {
    start_sim(1, "127.0.78.1");
    ASSERT_NE(sim, nullptr);
    const std::string dir = tu_make_temp_dir("vq_soak_");
    std::snprintf(makpath, sizeof makpath, "%s",
                  tu_write_file(dir + "/m.vqm", "A <s>\n:1 0x1234 0x0005\n").c_str());
    load_mak();
    auto step = [] {
        dome = 1;
        sys_act = 0;
        end_last_reset();
        ASSERT_EQ(mak_action(0), 0);
        ASSERT_TRUE(ui_wait_idle(30000));
    };
    // Once whole: the bytes a step puts on the connection.
    step();
    ASSERT_EQ(end_last_rv, 0);
    ASSERT_EQ(rx_with(sim, 0, 0x1234), 1);
    zs_line_stats st;
    ASSERT_EQ(zs_get_stats(sim, 0, &st), ZS_OK);
    // Then the converter drops the next connection 5 bytes before the step's end.
    zs_fault drop;
    drop.kind = ZS_F_DROP;
    drop.arg = static_cast<uint32_t>(st.bytes_in - 5);
    drop.times = 1;
    ASSERT_EQ(zs_add_fault(sim, 0, drop), ZS_OK);
    const uint64_t from = zs_last_seq(sim);
    plat::win_boxes_clear();
    step();
    ASSERT_EQ(rx_with(sim, from, 0x1234), 0);  // the frame never arrived
    EXPECT_NE(end_last_rv, 0);
    EXPECT_EQ(plat::win_boxes_shown().size(), 1u);
    EXPECT_EQ(syscom, -1);
    plat::win_boxes_clear();
    std::filesystem::remove_all(dir);
}

}  // namespace
