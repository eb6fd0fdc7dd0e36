// Firmware: the Intel-HEX loader and its merging on their own, then the update
// and the bootstrap end to end on a headless main window against simulated
// monitors on pseudo-terminals (RS232 through the helper library) and behind
// a converter on 127.0.13.x: the bytes the boards keep are the file's, a
// refused line is sent again up to its limit, a silent board stops the run,
// the port's rate falls down its ladder, and the questions decide.
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <asm/termbits.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/serial.h"
#include "platform/win.h"
#include "support/hex_files.h"
#include "support/ops_support.h"
#include "support/test_util.h"
#include "support/ui_support.h"
#include "velquor/link/com_action.h"
#include "velquor/link/com_link.h"
#include "velquor/operations/fs_ops.h"
#include "velquor/operations/vf_boot.h"
#include "velquor/operations/vf_end.h"
#include "velquor/operations/vf_firm.h"
#include "velquor/operations/vf_info.h"
#include "velquor/operations/vf_ipl.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/velquor_ids.h"
#include "velquor/util/files.h"
#include "velquor/util/vqsystem.h"

namespace {

struct Loader : ::testing::Test {
    std::string dir;
    void SetUp() override {
        ui_open_headless_main();
        plat::win_boxes_clear();
        sys_f_rv = 0;
        dir = tu_make_temp_dir("vq_fw_");
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override {
        sys_f_rv = 0;
        std::filesystem::remove_all(dir);
    }
    // Loads text as a firmware file: firm_to_buffer's result.
    char load(const std::string &text, bool compress = false) {
        const std::string p = tu_write_file(dir + "/f.h86", text);
        FILE *f = nullptr;
        EXPECT_EQ(mf_fopen(&f, p.c_str(), mf_read), 0);
        sys_f_rv = 0;
        const char rc = firm_to_buffer(f, compress ? 1 : 0, 0);
        mf_fclose(&f);
        return rc;
    }
};

// Each kind of line the loader meets, with what it stores or why it refuses.
TEST_F(Loader, LinesAreStoredOrRefused) {
    struct Row {
        const char *name;
        std::string text;
        char rc;
        uint8_t f_rv;
        int32_t lines;
        int32_t err_line;
    } rows[] = {
        {"blank lines only", "\r\n  \r\n   \r\n", 0, 0, 0, 0},
        {"end record", ":00000001FF\r\n", 0, 0, 1, 0},
        {"no line end at the end", "\r\n:00000001FF", 0, 0, 1, 0},
        {"lower-case digits", hex_record(0, 0x1234, {0xab, 0xcd}) + "\n" + ":02000000abcd86\n", 0,
         0, 2, 0},
        {"odd digit count: the last one ignored", ":00000001FF0\n", 0, 0, 1, 0},
        {"a digit that is none", ":0200000012G456\n", 3, 13, 0, 1},
        {"checksum wrong", ":00000001FE\n", 3, 13, 0, 1},
        {"count and length disagree", ":0100000001020304F5\n", 3, 13, 0, 1},
        {"no colon", "\n\n00000001FF\n", 3, 13, 0, 3},
        {"a colon alone", ":\n", 3, 13, 0, 1},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(load(r.text), r.rc);
        EXPECT_EQ(sys_f_rv, r.f_rv);
        if (r.rc == 0) {
            EXPECT_EQ(firm_lines, r.lines);
            EXPECT_EQ(n_fsent, r.lines > 0 ? r.lines - 1 : 0);
        }
        EXPECT_EQ(firm_err_line, r.err_line);
    }
    // Lower case decodes to the digits' values.
    ASSERT_EQ(load(":02000000abcd86\n"), 0);
    EXPECT_EQ(firm_buff[0].line[4], 0xAB);
    EXPECT_EQ(firm_buff[0].line[5], 0xCD);
    // A line without ":" is shown by itself.
    ASSERT_EQ(load("00000001FF\n"), 3);
    ASSERT_FALSE(plat::win_boxes_shown().empty());
    EXPECT_EQ(plat::win_boxes_shown().back().body, "00000001FF");
    // Line 200 001 is one too many.
    std::string many;
    for (int i = 0; i < firm_max_lines + 1; ++i) many += ":00000001FF\n";
    EXPECT_EQ(load(many), 3);
    EXPECT_EQ(sys_f_rv, mfe_lines);
    EXPECT_EQ(firm_err_line, firm_max_lines + 1);
}

// Neighbouring data records merge into records of at most 96 bytes with a new
// checksum; a record of another type is never merged and keeps its place.
TEST_F(Loader, DataRecordsMergeUpTo96Bytes) {
    std::map<uint32_t, uint8_t> want;
    std::string seven = make_hex(7, 3, &want);  // segment, 7 data records, end
    ASSERT_EQ(load(seven, true), 0);
    ASSERT_EQ(firm_lines, 4);  // segment, 96 bytes, 16 bytes, end
    EXPECT_EQ(firm_buff[0].line[3], 2);
    EXPECT_EQ(firm_buff[1].line[0], 96);
    EXPECT_EQ(firm_buff[1].len, 101u);
    EXPECT_EQ(line_check(firm_buff[1].line, firm_buff[1].len), 0);
    EXPECT_EQ(firm_buff[2].line[0], 16);
    EXPECT_EQ(firm_buff[2].line[1] * 256 + firm_buff[2].line[2], 96);
    EXPECT_EQ(firm_buff[3].line[3], 1);
    for (uint32_t k = 0; k < 96; ++k) EXPECT_EQ(firm_buff[1].line[4 + k], want[k]) << k;

    // Two records, and a segment record between records whose addresses would fit.
    const std::string two = hex_record(0, 0, std::vector<uint8_t>(16, 1)) + "\n" +
                            hex_record(0, 16, std::vector<uint8_t>(16, 2)) + "\n" +
                            hex_record(2, 32, {0x10, 0x00}) + "\n" +
                            hex_record(0, 32, std::vector<uint8_t>(16, 3)) + "\n";
    ASSERT_EQ(load(two, true), 0);
    ASSERT_EQ(firm_lines, 3);
    EXPECT_EQ(firm_buff[0].line[0], 32);
    EXPECT_EQ(firm_buff[1].line[3], 2);
    EXPECT_EQ(firm_buff[2].line[0], 16);
    EXPECT_EQ(n_fsent, 2);
}

TEST(FirmName, TypeOsdAndVersionFromTheName) {
    struct Row {
        const char *path;
        uint8_t type, osd;
        int32_t vers;
    } rows[] = {
        {"/tmp/069_V5_osd.h86", 5, 1, 69},  {"C:\\fw\\070v5.h86", 5, 0, 70},
        {"/opt/fw/main.h86", 0, 0, 0},      {"/v5/firmware_OSD.h86", 0, 1, 0},
        {"/opt/12abc\\0071.h86", 0, 0, 71}, {"  42x.h86", 0, 0, 42},
    };
    for (const Row &r : rows) {
        firm_name_analysis(r.path);
        EXPECT_EQ(file_interfaceno, r.type) << r.path;
        EXPECT_EQ(is_osd, r.osd) << r.path;
        EXPECT_EQ(firm_vers, r.vers) << r.path;
    }
}

// ---------------------------------------------------------------- update and bootstrap

struct Fw : Ops {
    std::string dir, file;
    std::map<uint32_t, uint8_t> want;

    void SetUp() override {
        Ops::SetUp();
        setenv("VELQUOR_TEST_IMAGES", "1", 1);
        dir = tu_make_temp_dir("vq_fwd_");
        file = dir + "/fw_v5.h86";  // a type-5 file, as the simulated boards are
        firm_hito = 0;
        firm_68 = 0;
        det_zelb_cmd = 0x8E4;
        sys_baud = 115200;
        sys_boot = boot_zelb3;
    }
    void TearDown() override {
        Ops::TearDown();
        plat::ser_sys_reset();
        std::filesystem::remove_all(dir);
    }
    void write_file(const std::string &text, const char *name = nullptr) {
        if (name) file = dir + "/" + name;
        std::snprintf(firmpath, sizeof firmpath, "%s", tu_write_file(file, text).c_str());
    }
    // A line of n monitors on a pty reached as COM1 over RS232; quick restarts.
    void start_pty(int n, bool bootstrap = false, uint8_t id = 0xD5) {
        zs_line_cfg lc;
        zs_line_set_count(&lc, n);
        for (zs_monitor &m : lc.mons) m.restart_ms = 10;
        lc.bootstrap = bootstrap;
        lc.boot_id = id;
        start_pty_line(lc);
    }
    void run_update(void) {
        dome = 1;
        sys_act = 0;
        update_firm(hwndMain, cmd_firm_upd);
        ASSERT_TRUE(ui_wait_idle(120000));
    }
    void run_boot(void) {
        dome = 1;
        sys_act = 0;
        boot_firm(hwndMain);
        ASSERT_TRUE(ui_wait_idle(120000));
    }
    // The value of the start command the line received, -1 for none.
    int start_code(void) {
        for (const zs_event &e : zs_events(sim))
            if (e.kind == ZS_EV_RX && e.cmd == 0x7000) return e.val;
        return -1;
    }
    zs_image image(void) {
        zs_image img;
        EXPECT_EQ(zs_get_image(sim, 0, &img), ZS_OK);
        return img;
    }
};

// One monitor answers each merged line with 0xFF; a chain of three echoes
// them at 576 000 baud. Either way the boards keep the file's bytes.
TEST_F(Fw, UpdateOfOneMonitorAndOfAChain) {
    for (int n : {1, 3}) {
        SCOPED_TRACE(n);
        start_pty(n);
        write_file(make_hex(4200, uint32_t(n), &want));  // two segments
        sys_baud = n == 1 ? 115200 : 576000;
        run_update();
        EXPECT_EQ(ui_boxes(), std::vector<std::string>{});
        EXPECT_EQ(end_last_rv, 0);
        EXPECT_EQ(start_code(), n == 1 ? 12 : 24);
        const zs_image img = image();
        EXPECT_TRUE(img.complete);
        EXPECT_EQ(img.data_bytes, 4200u * 16);
        EXPECT_EQ(image_bytes(img), want);
        // Merged: 683 + 18 lines of up to 96 bytes, two segment records and the end.
        EXPECT_EQ(firm_lines, 704);
        EXPECT_EQ(img.records, 704u);
        EXPECT_EQ(firm_report.addr[0].outcome, firm_updated);
        EXPECT_EQ(firm_report.addr[0].monitors, n);
        EXPECT_EQ(sys_zelb_nr, n == 1 ? 1 : 0);  // the start command's address
        zs_stop(&sim);
        want.clear();
    }
}

// A refused line is sent again and the run ends without an error; a line
// refused 501 times stops it; a board that falls silent stops it at once.
TEST_F(Fw, RefusalsAndSilence) {
    struct Row {
        zs_fault_kind kind;
        uint32_t nth, times;
        std::vector<std::string> boxes;
        uint8_t rv;
    } rows[] = {
        {ZS_F_REFUSE, 0, 3, {}, 0},  // the first line refused three times
        {ZS_F_REFUSE, 0, 0, {"no ACK at interface"}, mc_e_n_ack},
        {ZS_F_SILENT, 7, 1, {"Timeout", "Timeout"}, mc_e_to},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(int(r.kind));
        start_pty(1);
        write_file(make_hex(64, 9, &want));
        zs_fault f;
        f.kind = r.kind;
        f.nth = r.nth;
        f.times = r.times;
        ASSERT_EQ(zs_add_fault(sim, 0, f), ZS_OK);
        run_update();
        EXPECT_EQ(ui_boxes(), r.boxes);
        EXPECT_EQ(end_last_rv, r.rv);
        const zs_image img = image();
        if (r.rv == 0) {
            EXPECT_TRUE(img.complete);
            EXPECT_EQ(img.refused, 3u);
            EXPECT_EQ(image_bytes(img), want);
        } else if (r.kind == ZS_F_REFUSE) {
            EXPECT_EQ(img.refused, 501u);  // the first line, 501 times
            EXPECT_FALSE(img.complete);
        }
        zs_stop(&sim);
        want.clear();
    }
}

// A port that refuses 576 000 runs at 384 000; one IP address runs at most
// at 115 200, carried in the converter's rate field.
TEST_F(Fw, RateLadderAndTheConverter) {
    start_pty(1);
    write_file(make_hex(40, 5, &want));
    sys_baud = 576000;
    plat::ser_sys().ioctl = [](int fd, unsigned long req, void *arg) -> int {
        if (req == TCSETS2 && static_cast<termios2 *>(arg)->c_ospeed == 576000) {
            errno = EINVAL;
            return -1;
        }
        return ::ioctl(fd, req, arg);
    };
    run_update();
    EXPECT_EQ(ui_boxes(), std::vector<std::string>{});
    EXPECT_EQ(start_code(), 20);
    EXPECT_EQ(image_bytes(image()), want);
    zs_stop(&sim);
    plat::ser_sys_reset();

    start_sim(1, "127.0.13.1");
    sys_baud = 576000;
    run_update();
    EXPECT_EQ(ui_boxes(), std::vector<std::string>{});
    EXPECT_EQ(start_code(), 12);
    EXPECT_EQ(image_bytes(image()), want);
    // The converter was set to 115 200 for the transfer, never higher.
    int at_115200 = 0;
    for (const zs_event &e : zs_events(sim)) {
        if (e.kind != ZS_EV_SETTINGS) continue;
        at_115200 += e.note.find(": 115200 ") != std::string::npos;
        EXPECT_EQ(e.note.find("576000"), std::string::npos) << e.note;
    }
    EXPECT_GE(at_115200, 1);
}

// Over an IP list each member is counted, checked, loaded and updated in turn
// at 9600; the report says what became of each address. A member whose type
// question is answered No ends the run there.
TEST_F(Fw, IpListMembersInTurn) {
    zs_line_cfg a = ops_tcp_line("127.0.13.2", 2), b = ops_tcp_line("127.0.13.3", 1);
    for (zs_line_cfg *l : {&a, &b})
        for (zs_monitor &m : l->mons) m.restart_ms = 10;
    b.mons[0].ext = false;  // no 0xB000: a board of type 3 by 0x08E4
    b.mons[0].board_type = 3;
    sim = ops_start({a, b});
    ASSERT_NE(sim, nullptr);
    const char *members[] = {"127.0.13.2", "127.0.13.3", "127.0.13.2", "0.0.0.0"};
    for (int k = 0; k < 4; ++k) std::snprintf(ip_list[0][k].ip, ipl_ip_size, "%s", members[k]);
    com_mode = com_mode_ipl;
    sys_ipx = 0;
    broad = 1;
    sys_zelb_nr = 0;
    sys_baud = 9600;
    write_file(make_hex(100, 4, &want));
    plat::win_script_box(plat::WIN_ANSWER_NO);
    run_update();
    EXPECT_EQ(ui_boxes(),
              std::vector<std::string>{
                  "There are differences between type of firmware and Monitor. Continue?"});
    ASSERT_EQ(firm_report.n, 2);
    EXPECT_EQ(firm_report.addr[0].outcome, firm_updated);
    EXPECT_EQ(firm_report.addr[0].monitors, 2);
    EXPECT_EQ(firm_report.addr[0].lines, 19);  // 17 merged data lines, segment and end
    EXPECT_EQ(firm_report.addr[1].outcome, firm_skipped);
    EXPECT_EQ(start_code(), 0);
    EXPECT_EQ(image_bytes(image()), want);
    zs_image other;
    ASSERT_EQ(zs_get_image(sim, 1, &other), ZS_OK);
    EXPECT_EQ(other.records, 0u);
    std::snprintf(ip_list[0][0].ip, ipl_ip_size, "%s", ipl_std_ip);
}

// The questions: a type-5 file for a monitor of another type (No: nothing
// sent); a version 69 file for a monitor without 0xB000 (No: refused; Yes,
// with the service setting, and Yes: the built-in image). An empty file is
// refused before anything is sent.
TEST_F(Fw, QuestionsAndAnEmptyFile) {
    start_pty(1);
    zs_monitor m = zs_monitor_default(1);
    m.ext = false;  // no 0xB000: the type comes from 0x08E4 (5 = ZELB3)
    m.board_type = 3;
    m.restart_ms = 10;
    ASSERT_EQ(zs_set_monitor(sim, 0, 1, m), ZS_OK);
    write_file(make_hex(8, 1), "v5_main.h86");
    plat::win_script_box(plat::WIN_ANSWER_NO);
    run_update();
    EXPECT_EQ(ui_boxes(),
              std::vector<std::string>{
                  "There are differences between type of firmware and Monitor. Continue?"});
    EXPECT_EQ(start_code(), -1);
    EXPECT_EQ(firm_report.addr[0].outcome, firm_skipped);

    m.board_type = 5;
    ASSERT_EQ(zs_set_monitor(sim, 0, 1, m), ZS_OK);
    write_file(make_hex(8, 1), "069_v5_main.h86");
    plat::win_script_box(plat::WIN_ANSWER_NO);
    run_update();
    EXPECT_EQ(ui_boxes().size(), 1u);
    EXPECT_EQ(firm_report.addr[0].outcome, firm_refused);
    EXPECT_EQ(start_code(), -1);

    firm_68 = firm_68_service;
    sys_baud = 576000;  // a board without 0xB000 takes 115 200 at most, this run too
    plat::win_script_box(plat::WIN_ANSWER_YES);
    plat::win_script_box(plat::WIN_ANSWER_YES);
    run_update();
    EXPECT_EQ(ui_boxes().size(), 2u);
    EXPECT_EQ(end_last_rv, 0);
    EXPECT_EQ(start_code(), 12);
    EXPECT_EQ(sys_baud, 115200);
    const zs_image img = image();
    EXPECT_TRUE(img.complete);
    EXPECT_EQ(img.data_bytes, 29113u * 16);  // the built-in image, unmerged
    EXPECT_EQ(img.records, 29122u);

    m.board_type = 3;  // no type-5 file or board: no question
    ASSERT_EQ(zs_set_monitor(sim, 0, 1, m), ZS_OK);
    write_file("\r\n\r\n", "empty.h86");
    const uint64_t from = zs_last_seq(sim);
    run_update();
    EXPECT_EQ(ui_boxes(), std::vector<std::string>{"too few data in file"});
    for (const zs_event &e : zs_events(sim, from)) EXPECT_NE(e.cmd, 0x7000);
}

// The bootstrap of both variants: the primary loader names the secondary's
// end (720 or 900 bytes), every record goes as it stands. A board that
// answers 0x00 with another byte gets "Reset CPU!" and nothing else; a
// refused record stops the run without a second try.
TEST_F(Fw, BootstrapOfBothVariantsAndItsRefusals) {
    for (int32_t variant : {boot_zelb3, boot_am29lv150}) {
        SCOPED_TRACE(variant);
        start_pty(1, true);
        write_file(make_hex(200, 2, &want));
        sys_boot = variant;
        run_boot();
        EXPECT_EQ(ui_boxes(), std::vector<std::string>{});
        EXPECT_EQ(end_last_rv, 0);
        EXPECT_EQ(BootSecondaryLength, variant == boot_zelb3 ? 719u : 899u);
        EXPECT_EQ(BootPrim[24] | BootPrim[25] << 8, variant == boot_zelb3 ? 0xE3DF : 0xE493);
        const zs_image img = image();
        EXPECT_TRUE(img.complete);
        EXPECT_EQ(img.records, 202u);  // unmerged
        EXPECT_EQ(image_bytes(img), want);
        zs_stop(&sim);
        want.clear();
    }

    start_pty(1, true, 0x55);
    write_file(make_hex(4, 2));
    run_boot();
    EXPECT_EQ(ui_boxes(), std::vector<std::string>{"Reset CPU!"});
    zs_mode_info mode;
    ASSERT_EQ(zs_get_mode(sim, 0, &mode), ZS_OK);
    // It answered and still waits for the primary loader: none went out.
    EXPECT_EQ(int(mode.stage), int(ZS_BOOT_PRIMARY));
    zs_stop(&sim);

    start_pty(1, true);
    write_file(make_hex(20, 2));
    zs_fault f;
    f.kind = ZS_F_REFUSE;
    f.nth = 3;
    ASSERT_EQ(zs_add_fault(sim, 0, f), ZS_OK);
    run_boot();  // the third record is answered 0xFB
    EXPECT_EQ(ui_boxes(), std::vector<std::string>{"no ACK at interface"});
    EXPECT_EQ(end_last_rv, mc_e_n_ack);
    EXPECT_EQ(image().records, 2u);
    EXPECT_EQ(image().refused, 1u);
}

// A board whose echo of the secondary loader differs: the bootstrap stops
// there, and no record goes out. The board is a few lines on a pty.
TEST_F(Fw, BootstrapStopsAtAWrongEcho) {
    tu_pty pty;
    ASSERT_TRUE(pty.open());
    ASSERT_TRUE(plat::ser_set_com_path(1, pty.path.c_str()));
    ASSERT_EQ(sys_start(), 0);
    com_mode = com_mode_rs232;
    sys_intf = 1;
    write_file(make_hex(20, 2));
    std::atomic<size_t> after{0};  // bytes that came after the wrong echo
    std::atomic<bool> done{false};
    std::thread board([&] {
        auto get = [&](uint8_t *b) {
            pollfd p{pty.master, POLLIN, 0};
            return poll(&p, 1, 3000) == 1 && read(pty.master, b, 1) == 1;
        };
        uint8_t b = 0;
        if (!get(&b) || b != 0x00) return;
        const uint8_t id = 0xD5;
        if (write(pty.master, &id, 1) != 1) return;
        for (int i = 0; i < 32; ++i)
            if (!get(&b)) return;
        for (int i = 0; i < 5; ++i) {  // the fifth byte comes back changed
            if (!get(&b)) return;
            const uint8_t e = i == 4 ? uint8_t(~b) : b;
            if (write(pty.master, &e, 1) != 1) return;
        }
        while (!done) {  // until the run has ended
            pollfd p{pty.master, POLLIN, 0};
            if (poll(&p, 1, 20) == 1 && read(pty.master, &b, 1) == 1) ++after;
        }
    });
    run_boot();
    done = true;
    board.join();
    EXPECT_EQ(end_last_rv, mc_e_n_ack);
    EXPECT_EQ(after.load(), 0u);
    plat::win_boxes_clear();
}

}  // namespace
