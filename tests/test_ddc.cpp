// DDC/EDID: the two file forms on their own, then the read, the write series
// and the conversion on a headless main window against the simulated adapter
// and its EEPROM (the port-I/O library the program loads at start-up).
#include <gtest/gtest.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/i2c.h"
#include "platform/win.h"
#include "support/test_util.h"
#include "support/ui_support.h"
#include "velquor/link/com_action.h"
#include "velquor/link/com_i2c.h"
#include "velquor/link/com_link.h"
#include "velquor/operations/vf_ddc.h"
#include "velquor/operations/vf_end.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/screen.h"
#include "velquor/ui/velquor_ids.h"
#include "velquor/ui/velquor_stat.h"
#include "velquor/util/files.h"
#include "velquor/util/vqsystem.h"

namespace {

const std::string eol = "\r\r\n";
const std::string head = "             Tranvik GmbH" + eol +
                         "             file created by Velquor" + eol + std::string(50, '_') + eol +
                         "128 BYTES OF EDID CODE:" + eol + "0   1   2   3   4   5   6   7   8   9" +
                         eol + eol + eol + "      " + std::string(40, '_') + eol;

std::vector<uint8_t> image(uint8_t seed) {
    std::vector<uint8_t> v(128);
    for (int i = 0; i < 128; ++i) v[i] = uint8_t(i * 3 + seed);
    return v;
}

// The body rows of the text form; `before` puts the line end in front of each
// row (as a read writes them), else behind.
std::string rows(const std::vector<uint8_t> &b, bool before, const std::string &end = eol) {
    std::string t;
    for (int s = 0; s < 128; s += 10) {
        char l[16];
        std::snprintf(l, sizeof l, "%3d  |", s);
        if (before) t += end;
        t += l;
        for (int i = s; i < s + 10 && i < 128; ++i) {
            std::snprintf(l, sizeof l, "  %02X", b[i]);
            t += l;
        }
        if (!before) t += end;
    }
    return before ? t + end : t;
}

struct Ddc : ::testing::Test {
    std::string dir, state;
    void SetUp() override {
        ui_open_headless_main();
        plat::win_boxes_clear();
        dir = tu_make_temp_dir("vq_ddc_");
        state = dir + "/adapter";
        std::filesystem::create_directory(state);
        setenv("VELQUOR_PORTIO_SIM", state.c_str(), 1);
        setenv(portio_env_name, VQ_PORTIO_SIM, 1);
        ASSERT_EQ(sys_load_port_io(), 0);
        i2c_access_ns = 0;
        put("plugged", "");
        put("board", "");
        const std::vector<uint8_t> e = image(1);
        put("eeprom.bin", std::string(e.begin(), e.end()));
        // The simulated adapter takes its directory at power-on.
        for (short v : {0, 4, 0}) Out32(0x378, v);
        sysmode = view_ddc;
        ddc_intf = 1;
        ddc_prot = 0;
        ddc_report = {0, 0, 0};
        sys_f_rv = 0;
        sys_rv = 0;
    }
    void TearDown() override {
        ui_wait_idle(30000);
        sysmode = view_fs;
        sys_free_port_io();
        i2c_access_ns = 2500;
        unsetenv(portio_env_name);
        unsetenv("VELQUOR_PORTIO_SIM");
        std::filesystem::remove_all(dir);
    }
    void put(const char *name, const std::string &text) { tu_write_file(state + "/" + name, text); }
    void drop(const char *name) { std::filesystem::remove(state + "/" + name); }
    std::string eeprom(void) { return tu_read_file(state + "/eeprom.bin"); }
    // Runs the read or the write series as the window's buttons start them.
    void run(bool read) {
        dome = 1;
        sys_act = 0;
        if (read ? upl_ddc(hwndMain) != 0 : (ddc_stop = 0, dnl_ddc(hwndMain) != 0)) end_com();
        ASSERT_TRUE(ui_wait_idle(60000));
    }
    // Loads `text` as the file f in its form: input_ddc_file's result.
    char load(const std::string &name, const std::string &text) {
        const std::string p = tu_write_file(dir + "/" + name, text);
        std::snprintf(ddcpath, sizeof ddcpath, "%s", p.c_str());
        mode2 = mf_file_is_bin(ddcpath) ? 1 : 0;  // 0: ".bin"
        mf_fclose(&fpupl);
        EXPECT_EQ(mf_fopen(&fpupl, ddcpath, mf_read), 0);
        sys_f_rv = 0;
        const char rc = input_ddc_file();
        mf_fclose(&fpupl);
        return rc;
    }
};

std::string bytes_text(const std::vector<uint8_t> &b) { return std::string(b.begin(), b.end()); }

}  // namespace

// What the readers take and refuse: the text form by its tokens after "|"
// from the row-0 label on, exactly 128 of them; the binary form by its size.
TEST_F(Ddc, FileFormsAreReadOrRefused) {
    const std::vector<uint8_t> b = image(7);
    const std::string good = rows(b, false, "\n");
    std::string lower = good;
    for (char &c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
    struct Row {
        const char *name;
        std::string file, text;
        char ok;
        uint8_t f_rv;
    } table[] = {
        {"header and CR CR LF", "a.dat", head + rows(b, true), 1, 0},
        {"LF only, no header", "a.dat", good, 1, 0},
        {"lower case", "a.dat", lower, 1, 0},
        {"127 values", "a.dat", good.substr(0, good.size() - 5), 0, mfe_invdat},
        {"129 values", "a.dat", good.substr(0, good.size() - 1) + "  AB\n", 0, mfe_invdat},
        {"a 129th value on a later line is not read", "a.dat", good + "130  |  AB\n", 1, 0},
        {"no row-0 label", "a.dat", "  1  |  00  01\n" + good.substr(good.find('\n') + 1), 0,
         mfe_invdat},
        {"a one-digit token", "a.dat", "  0  |  5  12" + good.substr(good.find('\n')), 0,
         mfe_invdat},
        {"128 bytes", "a.bin", bytes_text(b), 1, 0},
        {"127 bytes", "a.bin", bytes_text(b).substr(1), 0, mfe_sz},
        {"129 bytes", "a.bin", bytes_text(b) + "x", 0, mfe_sz},
    };
    for (const Row &r : table) {
        SCOPED_TRACE(r.name);
        std::fill(std::begin(ddc_buffer), std::end(ddc_buffer), 0);
        EXPECT_EQ(load(r.file, r.text), r.ok);
        EXPECT_EQ(sys_f_rv, r.f_rv);
        if (r.ok) {
            EXPECT_EQ(std::vector<uint8_t>(ddc_buffer, ddc_buffer + 128), b);
        }
    }
    // The bad token's box shows its two characters, no more.
    EXPECT_EQ(ui_boxes(), (std::vector<std::string>{"invalid number: \"5 \""}));
    load("b.dat", "  0  |  " + std::string(500, 'Z') + "\n");
    EXPECT_EQ(ui_boxes(), (std::vector<std::string>{"invalid number: \"ZZ\""}));
}

// Both ways, with the target names; the protection keeps an existing target.
TEST_F(Ddc, ConversionBothWays) {
    const std::vector<uint8_t> b = image(9);
    const std::string bin = tu_write_file(dir + "/edid.v2.bin", bytes_text(b));
    std::snprintf(ddcpath, sizeof ddcpath, "%s", bin.c_str());
    convert_ddc();
    EXPECT_EQ(sys_f_rv, 0);
    EXPECT_EQ(std::string(ddcpath), dir + "/edid.v2.dat");
    EXPECT_EQ(tu_read_file(ddcpath), head + rows(b, false));
    std::filesystem::remove(bin);
    convert_ddc();
    EXPECT_EQ(std::string(ddcpath), bin);
    EXPECT_EQ(tu_read_file(bin), bytes_text(b));

    char out[64];
    struct Name {
        const char *src, *target;
    } names[] = {{"a.bin", "a.dat"},
                 {"a.dat", "a.bin"},
                 {"EDID", "EDID.bin"},  // no extension: never the source itself
                 {"dir.d/edid", "dir.d/edid.bin"},
                 {"x.BIN", "x.dat"}};
    for (const Name &n : names) {
        ASSERT_EQ(ddc_target_name(n.src, out, sizeof out), 0);
        EXPECT_STREQ(out, n.target);
    }
    EXPECT_EQ(ddc_target_name(std::string(70, 'a').c_str(), out, sizeof out), 1);

    ddc_prot = 1;
    const std::string dat = dir + "/edid.v2.dat";
    tu_write_file(dat, "mine");
    std::snprintf(ddcpath, sizeof ddcpath, "%s", bin.c_str());
    convert_ddc();
    EXPECT_EQ(ui_boxes(), (std::vector<std::string>{"The file is write-protected!"}));
    EXPECT_EQ(tu_read_file(dat), "mine");
}

// A read into either form; refused before any bus traffic when the file is
// protected; no adapter, no board: the error, and the file as it was.
TEST_F(Ddc, ReadIntoBothFormsAndItsRefusals) {
    const std::vector<uint8_t> e = image(1);
    for (const char *name : {"r.bin", "r.dat"}) {
        SCOPED_TRACE(name);
        std::snprintf(ddcpath, sizeof ddcpath, "%s/%s", dir.c_str(), name);
        run(true);
        EXPECT_EQ(end_last_rv, 0);
        EXPECT_EQ(tu_read_file(ddcpath), name[2] == 'b' ? bytes_text(e) : head + rows(e, true));
    }
    EXPECT_EQ(ui_boxes(), std::vector<std::string>{});

    ddc_prot = 1;
    const uint64_t before = i2c_accesses;
    run(true);
    EXPECT_EQ(ui_boxes(), (std::vector<std::string>{"The file is write-protected!"}));
    EXPECT_EQ(i2c_accesses, before);
    ddc_prot = 0;

    tu_write_file(ddcpath, "kept");
    drop("plugged");
    run(true);
    EXPECT_EQ(end_last_rv, mc_e_flush);
    EXPECT_EQ(ui_boxes(), (std::vector<std::string>{"no i2c-converter detected"}));
    put("plugged", "");
    drop("board");
    run(true);  // eleven tries, 100 ms apart
    EXPECT_EQ(end_last_rv, mc_e_n_ack);
    ui_boxes();
    EXPECT_EQ(tu_read_file(ddcpath), "kept");
}

// A series of three boards, the second one write-protected: the first and the
// third take the file (each byte read back once the EEPROM has finished
// writing it), the second keeps its contents and shows the error until it is
// removed. The series ends by itself after three boards.
TEST_F(Ddc, WriteSeriesOfThreeBoards) {
    const std::vector<uint8_t> want = image(40);
    const std::string src = tu_write_file(dir + "/w.bin", bytes_text(want));
    std::snprintf(ddcpath, sizeof ddcpath, "%s", src.c_str());
    ddc_report.limit = 3;
    put("log", "");
    std::atomic<bool> done{false};
    std::vector<std::string> seen;  // status messages in order, each once
    std::vector<std::string> contents;
    std::thread operator_([&] {
        std::string last;
        while (!done) {
            stat_dlg_view v;
            stat_dlg_get_view(&v);
            std::string msg = v.msg;
            if (msg.rfind("Status: ", 0) == 0) msg = msg.substr(8);
            if (msg != last && !msg.empty()) {
                seen.push_back(msg);
                if (msg == "Success" || msg.rfind("Error", 0) == 0) {
                    contents.push_back(eeprom());
                    const size_t mark = tu_read_file(state + "/log").size();
                    drop("board");
                    drop("wp");
                    if (msg != "Success") {
                        // After an error the series shows no "No Board": the
                        // next board goes in once the removal was noticed.
                        tu_wait_until([&] {
                            return tu_read_file(state + "/log").find("NAK", mark) !=
                                   std::string::npos;
                        });
                        put("board", "");
                    }
                } else if (msg == "No Board") {
                    if (contents.size() == 1) put("wp", "");
                    put("board", "");
                }
            }
            last = msg;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    run(false);
    done = true;
    operator_.join();
    EXPECT_EQ(end_last_rv, 0);
    EXPECT_EQ(ddc_report.written, 2);
    EXPECT_EQ(ddc_report.failed, 1);
    ASSERT_GE(seen.size(), 3u) << ::testing::PrintToString(seen);
    EXPECT_EQ(seen[0], "Success");
    EXPECT_EQ(seen[1], "No Board");
    EXPECT_EQ(seen[2], "Error -> ddc writeprotection!");
    ASSERT_GE(contents.size(), 1u);
    EXPECT_EQ(contents[0], bytes_text(want));
    EXPECT_EQ(eeprom(), bytes_text(want));  // the third board
}

namespace {

// A display's EEPROM on an i2c-dev bus, behind the bus layer's system calls:
// it takes the word address and the data of a write, reads on from its
// pointer, and acknowledges nothing for three transfers after a byte written
// (its write cycle), nor while it is absent.
struct FakeDevBus {
    std::mutex mu;
    uint8_t mem[256] = {};
    uint8_t ptr = 0;
    int busy = 0, busy_naks = 0;
    bool present = true;
} dev;

int dev_open(const char *path, int) {
    if (std::string(path) != "/dev/i2c-fake") {
        errno = ENOENT;
        return -1;
    }
    return 77;
}
int dev_close(int) { return 0; }
int dev_ioctl(int, unsigned long req, void *arg) {
    if (req == I2C_FUNCS) {
        *static_cast<unsigned long *>(arg) = I2C_FUNC_I2C;
        return 0;
    }
    std::lock_guard<std::mutex> lk(dev.mu);
    auto *d = static_cast<i2c_rdwr_ioctl_data *>(arg);
    if (req != I2C_RDWR || d->nmsgs < 1 || d->nmsgs > 2) {
        errno = EINVAL;
        return -1;
    }
    if (dev.busy > 0 || !dev.present || d->msgs[0].addr != 0x50) {
        if (dev.busy > 0) --dev.busy, ++dev.busy_naks;
        errno = ENXIO;
        return -1;
    }
    for (unsigned m = 0; m < d->nmsgs; ++m) {
        const i2c_msg &g = d->msgs[m];
        if (g.flags & I2C_M_RD) {
            for (unsigned i = 0; i < g.len; ++i) g.buf[i] = dev.mem[dev.ptr++];
        } else if (g.len > 0) {
            dev.ptr = g.buf[0];
            for (unsigned i = 1; i < g.len; ++i) dev.mem[dev.ptr++] = g.buf[i];
            if (g.len > 1) dev.busy = 3;
        }
    }
    return static_cast<int>(d->nmsgs);
}

}  // namespace

// The same read, write and refusals over a graphics card's DDC bus: the
// files are the same, the writes wait out the EEPROM's write cycle, and a bus
// that cannot be opened is named with the reason.
TEST_F(Ddc, OverAnI2cDevBus) {
    plat::i2c_sys() = {dev_open, dev_close, dev_ioctl};
    std::snprintf(ddc_i2c_dev, sizeof ddc_i2c_dev, "/dev/i2c-fake");
    const std::vector<uint8_t> e = image(7);
    std::copy(e.begin(), e.end(), dev.mem);
    const uint64_t adapter = i2c_accesses;

    std::snprintf(ddcpath, sizeof ddcpath, "%s/r.dat", dir.c_str());
    run(true);
    EXPECT_EQ(end_last_rv, 0);
    EXPECT_EQ(tu_read_file(ddcpath), head + rows(e, true));

    const std::vector<uint8_t> want = image(90);
    const std::string src = tu_write_file(dir + "/w.bin", bytes_text(want));
    std::snprintf(ddcpath, sizeof ddcpath, "%s", src.c_str());
    ddc_report.limit = 1;
    run(false);
    EXPECT_EQ(end_last_rv, 0);
    EXPECT_EQ(ddc_report.written, 1);
    EXPECT_EQ(std::vector<uint8_t>(dev.mem, dev.mem + 128), want);
    EXPECT_GE(dev.busy_naks, 128 * 3);
    // One transfer per byte and per try, no register accesses of the adapter.
    EXPECT_LT(i2c_accesses - adapter, 128u * 10);
    EXPECT_EQ(ui_boxes(), std::vector<std::string>{});

    std::snprintf(ddc_i2c_dev, sizeof ddc_i2c_dev, "/dev/i2c-none");
    std::snprintf(ddcpath, sizeof ddcpath, "%s/r.bin", dir.c_str());
    run(true);
    EXPECT_EQ(end_last_rv, mc_e_n_op_comp);
    EXPECT_STREQ(mc_fail_where, "/dev/i2c-none");
    EXPECT_STREQ(mc_fail_why, "no such device");
    EXPECT_EQ(ui_boxes(), (std::vector<std::string>{"can not open port"}));
    EXPECT_FALSE(std::filesystem::exists(ddcpath));

    ddc_i2c_dev[0] = '\0';
    plat::i2c_sys_reset();
}
