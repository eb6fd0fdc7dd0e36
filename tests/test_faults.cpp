// Faults of the device under the operations: the serial and socket layers'
// system calls are made to fail in the middle of an upload, a download, a
// firmware update and an identification, as a USB adapter pulled out or a
// converter that resets its connection would. A fault that passes (a signal,
// a full buffer, short transfers) must not fail the operation; one that lasts
// ends it with an error, the link closed, the files as they were, and never
// hangs.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/net.h"
#include "platform/serial.h"
#include "support/hex_files.h"
#include "support/ops_support.h"
#include "support/test_util.h"
#include "support/ui_support.h"
#include "velquor/link/com_action.h"
#include "velquor/link/com_link.h"
#include "velquor/operations/fs_ops.h"
#include "velquor/operations/vf_end.h"
#include "velquor/operations/vf_firm.h"
#include "velquor/operations/vf_fs_dnl.h"
#include "velquor/operations/vf_fs_upl.h"
#include "velquor/operations/vf_info.h"
#include "velquor/operations/vf_ipl.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/velquor_ids.h"
#include "velquor/util/vqsystem.h"

namespace {

// Which call fails, how, and from which call of its kind on.
enum fault_call : int { f_read, f_write };
struct fault_T {
    fault_call call;
    int err;     // errno of the failed call; 0: the call moves one byte only
    int after;   // calls of that kind that pass first
    bool lasts;  // every call after it fails too (the device is gone)
};

fault_T g_fault;
std::atomic<int> g_calls{0};
std::atomic<int> g_hits{0};

// True when this call of kind c is to fail (or be shortened).
bool hit(fault_call c) {
    if (c != g_fault.call) return false;
    const int n = ++g_calls;
    if (n <= g_fault.after) return false;
    if (!g_fault.lasts && g_fault.err != 0 && g_hits.load() > 0) return false;
    ++g_hits;
    return true;
}

ssize_t ser_read_f(int fd, void *b, size_t n) {
    if (!hit(f_read)) return ::read(fd, b, n);
    if (g_fault.err == 0) return ::read(fd, b, n > 0 ? 1 : 0);
    errno = g_fault.err;
    return -1;
}
ssize_t ser_write_f(int fd, const void *b, size_t n) {
    if (!hit(f_write)) return ::write(fd, b, n);
    if (g_fault.err == 0) return ::write(fd, b, n > 0 ? 1 : 0);
    errno = g_fault.err;
    return -1;
}
ssize_t net_recv_f(int fd, void *b, size_t n, int flags) {
    if (!hit(f_read)) return ::recv(fd, b, n, flags);
    if (g_fault.err == 0) return ::recv(fd, b, n > 0 ? 1 : 0, flags);
    errno = g_fault.err;
    return -1;
}
ssize_t net_send_f(int fd, const void *b, size_t n, int flags) {
    if (!hit(f_write)) return ::send(fd, b, n, flags);
    if (g_fault.err == 0) return ::send(fd, b, n > 0 ? 1 : 0, flags);
    errno = g_fault.err;
    return -1;
}

enum op_T : int { op_upload, op_download, op_firmware, op_info };

struct Faults : Ops {
    std::string dir;
    void SetUp() override {
        Ops::SetUp();
        setenv("VELQUOR_TEST_IMAGES", "1", 1);
        dir = tu_make_temp_dir("vq_faults_");
        fsf_prot = 0;
        firm_hito = 0;
        sys_baud = 115200;
    }
    void TearDown() override {
        plat::ser_sys_reset();
        plat::net_sys_reset();
        Ops::TearDown();
        std::filesystem::remove_all(dir);
    }
    // A line of two monitors, the first with a file system of 3 entries, on
    // a pty (COM1) or behind a converter.
    void start(bool tcp) {
        const std::string link = tcp ? "127.0.15.1:11111" : dir + "/tty";
        std::vector<const char *> argv = {"zelbsim", tcp ? "--tcp" : "--pty", link.c_str()};
        for (const char *a : {"--monitors", "2", "--fs-random", "1:3", "--fs-gamma", "1:1"})
            argv.push_back(a);
        zs_config cfg;
        std::string err;
        ASSERT_EQ(zs_parse_args(int(argv.size()), argv.data(), &cfg, &err), ZS_OK) << err;
        for (zs_monitor &m : cfg.lines[0].mons) m.restart_ms = 10;
        if (tcp) {
            sim = ops_start(cfg.lines);
            ASSERT_NE(sim, nullptr);
            std::snprintf(sys_ip, sizeof sys_ip, "127.0.15.1");
            com_mode = com_mode_ip;
        } else {
            start_pty_line(cfg.lines[0]);
        }
    }
    void run(op_T op) {
        dome = 1;
        sys_act = 0;
        sys_zelb_nr = op == op_firmware ? 0 : 1;
        if (op == op_upload) upload_fs(hwndMain);
        if (op == op_download) {
            sys_zelb_nr = 2;
            download_fs(hwndMain);
        }
        if (op == op_firmware) update_firm(hwndMain, cmd_firm_upd);
        if (op == op_info) sm_start_liste1(hwndMain, ix_inf_init);
        ASSERT_TRUE(ui_wait_idle(120000)) << "the operation hangs";
    }
};

}  // namespace

TEST_F(Faults, EachFaultEndsOrPassesCleanly) {
    struct Row {
        const char *name;
        bool tcp;
        op_T op;
        fault_T fault;
        bool fails;
    } rows[] = {
        {"upload, a read interrupted by a signal",
         false,
         op_upload,
         {f_read, EINTR, 40, false},
         false},
        {"upload, reads of one byte", false, op_upload, {f_read, 0, 0, true}, false},
        {"upload, writes of one byte", false, op_upload, {f_write, 0, 0, true}, false},
        {"upload, a full output buffer", false, op_upload, {f_write, EAGAIN, 40, false}, false},
        {"upload, the adapter pulled out (reads)",
         false,
         op_upload,
         {f_read, ENXIO, 40, true},
         true},
        {"upload, the adapter pulled out (writes)",
         false,
         op_upload,
         {f_write, EIO, 40, true},
         true},
        {"download, the adapter pulled out", false, op_download, {f_write, ENXIO, 40, true}, true},
        {"download, a read interrupted", false, op_download, {f_read, EINTR, 40, false}, false},
        {"firmware, the adapter pulled out", false, op_firmware, {f_write, ENXIO, 30, true}, true},
        // The identification shows an empty record then, and no box.
        {"info, the adapter gone silent", false, op_info, {f_read, EIO, 2, true}, false},
        {"download, the connection reset", true, op_download, {f_read, ECONNRESET, 40, true}, true},
        {"upload, the connection broken", true, op_upload, {f_write, EPIPE, 40, true}, true},
        {"upload over TCP, a receive interrupted",
         true,
         op_upload,
         {f_read, EINTR, 40, false},
         false},
    };
    std::map<uint32_t, uint8_t> image;
    const std::string fw = tu_write_file(dir + "/fw_v5.h86", make_hex(300, 1, &image));
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        start(r.tcp);
        // The files of the operations, as the operator keeps them.
        const std::string target = tu_write_file(dir + "/keep.vqf", "old contents\n");
        const std::string dump = dir + "/d.vqf";
        if (r.op == op_download) {
            std::snprintf(fname1, sizeof fname1, "%s", dump.c_str());
            sys_zelb_nr = 1;
            dome = 1;
            sys_act = 0;
            upload_fs(hwndMain);
            ASSERT_TRUE(ui_wait_idle(60000));
            ASSERT_EQ(ui_boxes(), std::vector<std::string>{});
        }
        const std::string dump_before = r.op == op_download ? tu_read_file(dump) : "";
        std::snprintf(fname1, sizeof fname1, "%s",
                      r.op == op_download ? dump.c_str() : target.c_str());
        std::snprintf(firmpath, sizeof firmpath, "%s", fw.c_str());

        g_fault = r.fault;
        g_calls = 0;
        g_hits = 0;
        if (r.tcp) {
            plat::net_sys().recv = net_recv_f;
            plat::net_sys().send = net_send_f;
        } else {
            plat::ser_sys().read = ser_read_f;
            plat::ser_sys().write = ser_write_f;
        }
        run(r.op);
        plat::ser_sys_reset();
        plat::net_sys_reset();

        EXPECT_GT(g_hits.load(), 0) << "the fault was never reached";
        const std::vector<std::string> boxes = ui_boxes();
        EXPECT_EQ(!boxes.empty(), r.fails) << ::testing::PrintToString(boxes);
        EXPECT_EQ(syscom, -1);
        EXPECT_TRUE(ip_dat.sock == nullptr || *ip_dat.sock == -1);
        if (r.op == op_upload) {
            EXPECT_EQ(tu_read_file(target) == "old contents\n", r.fails);
        }
        if (r.op == op_download) {
            EXPECT_EQ(tu_read_file(dump), dump_before);
        }
        if (r.op == op_info) {
            EXPECT_NE(zelb_info_rv, 0);
        }
        if (r.op == op_download && !r.fails) {
            zs_fs one, two;
            ASSERT_EQ(zs_get_fs(sim, 0, 1, &one), ZS_OK);
            ASSERT_EQ(zs_get_fs(sim, 0, 2, &two), ZS_OK);
            EXPECT_EQ(one.entries, two.entries);
        }
        // Nothing but the operator's files is left behind.
        for (const auto &e : std::filesystem::directory_iterator(dir)) {
            const std::string n = e.path().filename().string();
            EXPECT_TRUE(n == "keep.vqf" || n == "d.vqf" || n == "fw_v5.h86" || n == "tty") << n;
        }
        zs_stop(&sim);
    }
}
