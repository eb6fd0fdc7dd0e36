// Remote keys end to end: the key buttons pressed on a headless main window,
// the key chain run by the sequencer, and the frames that reach a simulated
// line over RS232 (a pseudo-terminal, through the helper library) and over IP
// (a converter on 127.0.9.x), once and with Group to every address of a list;
// and a key answered after its time-out, whose answer the next command must
// not take for its own.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/win.h"
#include "support/ops_support.h"
#include "support/test_util.h"
#include "velquor/link/com_action.h"
#include "velquor/link/com_link.h"
#include "velquor/operations/vf_info.h"
#include "velquor/operations/vf_ipl.h"
#include "velquor/operations/vf_keys.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/velquor_ids.h"

namespace {

using Keys = Ops;

const std::vector<uint8_t> kLeftFrame = {0xAA, 0x55, 0x01, 0xB6, 0x20,
                                         0x00, 0x00, 0xD7, 0xFF, 0x00};

// Every key button, and Left with "No Parity" too: one frame with the key's
// command to monitor 1, no box, the window idle and the link closed again,
// the line left at 9600 baud, 8 data bits; the converter at even parity, or at
// none with "No Parity" (a pty keeps no parity to look at).
TEST_F(Keys, EveryKeyReachesMonitorOneOverRs232AndIp) {
    struct Row {
        int no;
        int ctl;
        uint16_t cmd;
        uint8_t par;
    } rows[] = {
        {1, cmd_key_left, zelb_key_left, 0},   {2, cmd_key_up, zelb_key_up, 0},
        {3, cmd_key_right, zelb_key_right, 0}, {4, cmd_key_down, zelb_key_down, 0},
        {5, cmd_key_ok, zelb_key_ok, 0},       {6, 130, zelb_key_ok, 0},  // any other id: OK
        {7, cmd_key_left, zelb_key_left, 1},
    };
    for (bool ip : {false, true}) {
        SCOPED_TRACE(ip ? "IP" : "RS232");
        if (ip)
            start_sim(2, "127.0.9.1");
        else
            start_pty_sim(2);
        for (const Row &r : rows) {
            parno = r.par;
            const std::vector<zs_event> rx = press(r.ctl);
            ASSERT_EQ(rx.size(), 1u) << "row " << r.no;
            EXPECT_EQ(rx[0].cmd, r.cmd) << "row " << r.no;
            EXPECT_EQ(rx[0].mon, 1) << "row " << r.no;
            if (r.cmd == zelb_key_left) {
                EXPECT_EQ(rx[0].bytes, kLeftFrame) << "row " << r.no;
            }
            EXPECT_TRUE(plat::win_boxes_shown().empty()) << "row " << r.no;
            EXPECT_EQ(sys_act, 1) << "row " << r.no;
            EXPECT_EQ(syscom, -1) << "row " << r.no;
            zs_line_settings ls;
            ASSERT_EQ(zs_get_settings(sim, 0, &ls), 0);
            EXPECT_EQ(ls.baud, 9600u) << "row " << r.no;
            EXPECT_EQ(ls.data_bits, 8) << "row " << r.no;
            if (ip) {
                EXPECT_EQ(ls.parity, r.par ? 'N' : 'E') << "row " << r.no;
            }
        }
        EXPECT_EQ(zs_keys(sim, 0, 1).size(), std::size(rows));
        zs_stop(&sim);
    }
}

// With Group on an IP list, a key for number 0 goes to every address of the
// list up to its first empty entry, and there to every monitor of the line.
TEST_F(Keys, GroupSendsTheKeyToEveryAddressOfTheList) {
    sim = ops_start({ops_tcp_line("127.0.9.20", 2), ops_tcp_line("127.0.9.21", 3),
                     ops_tcp_line("127.0.9.23", 1)});
    ASSERT_NE(sim, nullptr);
    load_ip_list("ik_ipl_3", "127.0.9.20");
    load_ip_list("ik_ipl_3_2", "127.0.9.21");
    load_ip_list("ik_ipl_3_4", "127.0.9.23");  // behind the empty third entry
    com_mode = com_mode_ipl;
    sys_ipx = 2;
    broad = 1;
    sys_zelb_nr = 0;
    const std::vector<zs_event> rx = press(cmd_key_ok);
    ASSERT_EQ(rx.size(), 2u);
    const std::vector<uint16_t> ok = {zelb_key_ok};
    for (int mon = 1; mon <= 3; ++mon) {
        EXPECT_EQ(zs_keys(sim, 0, mon), mon <= 2 ? ok : std::vector<uint16_t>{}) << mon;
        EXPECT_EQ(zs_keys(sim, 1, mon), ok) << mon;
    }
    EXPECT_TRUE(zs_keys(sim, 2, 1).empty());
    EXPECT_TRUE(plat::win_boxes_shown().empty());
    reset_ip_list();
}

// How late the monitor answers the key: twice the answer time-out of 1 s.
constexpr uint32_t kLateMs = 2000;

void answer_key_late(zs_sim *sim) {
    zs_fault f;
    f.kind = ZS_F_DELAY;
    f.arg = kLateMs;
    f.cmd = zelb_key_left;
    ASSERT_EQ(zs_add_fault(sim, 0, f), 0);
}

// Waits until at least n bytes wait in the input of descriptor fd.
bool input_waits(int fd, int n) {
    return tu_wait_until([fd, n] {
        int waiting = 0;
        return ::ioctl(fd, FIONREAD, &waiting) == 0 && waiting >= n;
    });
}

// Over RS232 the test keeps the line's port open as well, as a USB adapter
// keeps receiving while the program has the port closed: the key's late
// answer waits in the input when the ping goes out, and the ping must still
// find the number of the line, not the key's answer value 0.
TEST_F(Keys, AKeyAnsweredLateIsNotTakenForTheNextPingOverRs232) {
    start_pty_sim(2);
    const int holder =
        ::open(zs_slave_path(sim, 0).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    // cppcheck-suppress resourceLeak ; when this fails, nothing was opened
    ASSERT_GE(holder, 0);
    answer_key_late(sim);
    const uint64_t before = zs_last_seq(sim);
    EXPECT_EQ(press(cmd_key_left).size(), 1u);
    const std::vector<plat::WinBoxRecord> boxes = plat::win_boxes_shown();
    // cppcheck-suppress resourceLeak ; only a failed test leaves it open, until the program ends
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].body, "Timeout");
    // cppcheck-suppress resourceLeak ; only a failed test leaves it open, until the program ends
    ASSERT_EQ(zs_wait_event(sim, ZS_EV_TX, 1, before, tu_wait_ms), ZS_OK);
    ASSERT_TRUE(input_waits(holder, int(zelb_frame_len)));

    plat::win_boxes_clear();
    run(ix_ping_me);
    EXPECT_EQ(sys_zelb_nr, 2);
    EXPECT_TRUE(plat::win_boxes_shown().empty());
    ::close(holder);
}

// Over the converter within one session: the late answer waits on the socket
// when the ping goes out; it is dropped, logged as a read, and the ping finds
// the number of the line.
TEST_F(Keys, AKeyAnsweredLateIsDroppedBeforeTheNextCommandOverIp) {
    start_sim(2, "127.0.9.7");
    ASSERT_NE(sim, nullptr);
    answer_key_late(sim);
    const std::string log = std::string(VQ_BINARY_DIR) + "/test_keys_late.txt";
    logcom = 1;
    std::snprintf(fpath_log, sizeof fpath_log, "%s", log.c_str());
    mc_log_create();
    init_op_dat(com_mode_ip, sys_ip, &syscom, 1, 0);
    ASSERT_EQ(mc_opencom_zelb(), 0);

    const uint64_t before = zs_last_seq(sim);
    uint32_t cmd = zelb_key_left, val = 0;
    EXPECT_EQ(send_single_send_zelb(1, &cmd, &val, 1), mc_e_to);
    zs_event late;
    ASSERT_EQ(zs_wait_event(sim, ZS_EV_TX, 1, before, tu_wait_ms, &late), ZS_OK);
    ASSERT_TRUE(input_waits(syscom, int(zelb_frame_len)));
    uint8_t nr = 0;
    EXPECT_EQ(ping_me2(&nr), 0);
    EXPECT_EQ(nr, 2);
    mc_close_syscom();
    logcom = 0;

    // The dropped answer is a read line of its own, just before the ping.
    std::string dropped = "R:      ";
    for (uint8_t b : late.bytes) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X ", b);
        dropped += hex;
    }
    EXPECT_NE(tu_read_file(log).find(dropped + " \nW:      AA 55 00 00 50 00 55 A5 FF 00 \n"),
              std::string::npos)
        << tu_read_file(log);
    std::remove(log.c_str());
}

}  // namespace
