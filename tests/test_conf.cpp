// Configuration file: the value rules key by key, the written order, a save
// and load round trip of every setting, and the atomic save under injected
// failures. Every file lives in a temporary directory of its own.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/file_replace.h"
#include "platform/serial.h"
#include "platform/win.h"
#include "support/test_util.h"
#include "velquor/ui/conf.h"
#include "velquor/ui/screen.h"
#include "velquor/ui/velquor_main.h"

namespace fs = std::filesystem;

namespace {

class Conf : public ::testing::Test {
protected:
    fs::path dir;

    void SetUp() override {
        dir = tu_make_temp_dir("vq_conf_");
        ASSERT_FALSE(dir.empty());
        set_path(dir / "std.cfg");
        plat::win_headless_set_screen(1000, 800);
        is_inet = 0;
        sys_f_rv = 0;
        reset_ip_list_start();
        set_std_cfg(cfg_grp_all, 0);
    }
    void TearDown() override {
        conf_close();
        plat::file_sys_reset();
        set_std_cfg(cfg_grp_all, 0);
        std::error_code ec;
        fs::permissions(dir, fs::perms::owner_all, ec);
        fs::remove_all(dir, ec);
    }

    void set_path(const fs::path &p) { std::snprintf(fcpath, sizeof fcpath, "%s", p.c_str()); }

    void write_file(const std::string &text) { std::ofstream(fcpath, std::ios::binary) << text; }
    std::string read_file() { return tu_read_file(fcpath); }
    // Loads text as the configuration file, the way start-up does.
    void load_text(const std::string &text) {
        write_file(text);
        ASSERT_EQ(load_conf(), 0);
        conf_close();
        check_fnames();
    }
    size_t files_in_dir() {
        size_t n = 0;
        for ([[maybe_unused]] auto &e : fs::directory_iterator(dir)) ++n;
        return n;
    }
};

std::string num(int64_t v) { return std::to_string(v); }

// A setting by name, as text.
std::string setting(const std::string &name) {
    if (name == "sys_to") return num(sys_to);
    if (name == "sys_baud") return num(sys_baud);
    if (name == "sys_lang") return num(sys_lang);
    if (name == "sysmode") return num(sysmode);
    if (name == "lpt1") return num(lptport[0]);
    if (name == "lpt2") return num(lptport[1]);
    if (name == "lpt1s") return num(lptportstat[0]);
    if (name == "det_sw_cmd") return num(det_sw_cmd);
    if (name == "com_mode") return num(com_mode);
    if (name == "ip3_7") return list_get_ip_sub(2, 6);
    if (name == "ip3") return list_get_ip(2);
    if (name == "fname1") return fname1;
    if (name == "firmpath") return firmpath;
    if (name == "sys_ipx") return num(sys_ipx);
    if (name == "broad") return num(broad);
    if (name == "com3") return plat::ser_com_path(3);
    if (name == "com99") return plat::ser_com_path(99);
    if (name == "app_name") return VER_APP_NAME;
    if (name == "sys_ip") return sys_ip;
    return "no such setting " + name;
}

// Each row loads one small file over the defaults and reads one setting back.
TEST_F(Conf, ValueRules) {
    struct Row {
        int n;
        bool inet;         // networking available
        const char *file;  // the configuration file
        const char *name, *want;
    } rows[] = {
        // clang-format off
        {1, false, "IK_SYS_TO 12\n", "sys_to", "12"},
        {2, false, "ik_sys_to 0\n", "sys_to", "5"},
        {3, false, "ik_sys_to 61\n", "sys_to", "5"},
        {4, false, "ik_sys_to 12\nik_sys_to 61\n", "sys_to", "12"},  // kept
        {5, false, "ik_sys_to 12\nik_sys_to 05\n", "sys_to", "5"},
        {6, false, "ik_sys_to 12\nik_sys_to\n", "sys_to", "5"},
        {7, false, "ik_sys_baud 2000000\n", "sys_baud", "115200"},
        {8, false, "ik_sys_baud 9600\nik_sys_baud 2000000\n", "sys_baud", "115200"},
        {9, false, "ik_sys_baud 9600\nik_sys_baud 4294967296\n", "sys_baud", "115200"},
        {10, false, "ik_syslang -1\n", "sys_lang", "4294967295"},
        {11, false, "ik_sysmode 0\n", "sysmode", "129"},
        {12, false, "ik_ddc_2 0x0278\n", "lpt2", "632"},
        {13, false, "ik_ddc_2 378\n", "lpt2", "888"},
        {14, false, "ik_ddc_2 0378\n", "lpt2", "888"},
        {15, false, "ik_ddc_1 0x1000\nik_ddc_1 0\n", "lpt1", "888"},
        {16, false, "ik_ddc_1 0x1000\nik_ddc_1 0x00378\n", "lpt1", "888"},
        {17, false, "ik_ddc_1s 0xabcd\n", "lpt1s", "43981"},
        {18, false, "ik_ddc_1 0x1FFFFFFFF\n", "lpt1", "888"},
        {19, false, "ix_det_sw_cmd ffffffff\n", "det_sw_cmd", "4294967295"},
        {20, false, "ik_commode 237\n", "com_mode", "238"},
        {21, true, "ik_commode 237\n", "com_mode", "237"},
        {22, true, "ik_commode 5\n", "com_mode", "238"},
        {23, false, "ik_ipl_3_7 10.1.2.3\n", "ip3_7", "10.1.2.3"},
        {24, false, "ik_ipl_3_1 10.1.2.3\n", "ip3", "0.0.0.0"},
        {25, false, "ik_ipl_3 10.1.2.3\n", "ip3", "10.1.2.3"},
        {26, false, "ik_fn1 File:\n", "fname1", ""},
        {27, false, "ik_firmpath Datei:\n", "firmpath", ""},
        {28, false, "ik_firmpath C:\\my files\\a.h86\n", "firmpath", "C:\\my files\\a.h86"},
        {29, false, "ik_firmpath a\tb  \r\n", "firmpath", "a b"},
        {30, false, "ik_sys_ipx 3\n", "sys_ipx", "3"},
        {31, false, "ik_sys_ipx 4\nik_sys_ipx 9\n", "sys_ipx", "4"},
        {32, false, "ik_sys_ipx 4\nik_sys_ipx x\n", "sys_ipx", "0"},
        {33, false, "ik_sys_broad 0\n", "broad", "0"},
        {34, false, "  ik_sys_to    9  \r\n", "sys_to", "9"},
        {35, false, "ik_sys_to 9", "sys_to", "9"},  // no line end
        {36, false, "ik_comdev_3 /dev/ttyUSB0\n", "com3", "/dev/ttyUSB0"},
        {37, false, "ik_comdev_03 /dev/ttyUSB0\n", "com3", "/dev/ttyS2"},
        {38, false, "IK_COMDEV_99 /dev/pts/7\n", "com99", "/dev/pts/7"},
        {39, false, "ik_comdev_3 /dev/x\nik_comdev_3\n", "com3", "/dev/ttyS2"},
        {40, false, "ik_app_name Service Tool\n", "app_name", "Service Tool"},
        {41, false, "ik_sys_ip 10.0.0.1 junk beyond twenty-four\n", "sys_ip",
         "10.0.0.1 junk beyond twe"},
        // clang-format on
    };
    for (const Row &r : rows) {
        SCOPED_TRACE("row " + std::to_string(r.n));
        set_std_cfg(cfg_grp_all, 0);
        is_inet = r.inet ? 1 : 0;
        load_text(r.file);
        EXPECT_EQ(setting(r.name), r.want);
    }
}

// The tail of an over-long line is never read as a line of its own, also when
// a NUL byte inside the line would make it look short.
TEST_F(Conf, LongLineTailIsNotAKey) {
    for (const bool nul : {false, true}) {
        SCOPED_TRACE(nul ? "with a NUL" : "plain");
        std::string head = "ik_fn1 " + std::string(1077 - 7, 'a');
        if (nul) head[20] = '\0';
        load_text(head + "ik_sys_to 33\nik_sc_to 7\n");
        EXPECT_EQ(sys_to, 5);
        EXPECT_EQ(sc_to, 7);
        EXPECT_EQ(std::strlen(fname1), nul ? 13u : 1023u);
        sc_to = 1;
    }
}

// What is no configuration is neither read nor ever written: a device, a
// folder, a file above 1 MB, a file with lines but no known key. An empty
// file is a configuration still to be written.
TEST_F(Conf, WhatIsNoConfigurationIsKept) {
    const std::string big(2 << 20, '#');
    struct Row {
        int n;
        std::string path;  // "" = the test's file with `text`
        std::string text;
        bool foreign;
    } rows[] = {
        {1, "/dev/zero", "", true}, {2, dir.string(), "", true},
        {3, "", big, true},         {4, "", "#!/bin/sh\necho hello\n", true},
        {5, "", "", false},         {6, "", "something else\nik_sys_to 9\n", false},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.n);
        set_std_cfg(cfg_grp_all, 0);
        set_path(r.path.empty() ? dir / "file.cfg" : fs::path(r.path));
        if (r.path.empty()) write_file(r.text);
        const char rc = load_conf();
        conf_close();
        EXPECT_EQ(conf_foreign, r.foreign ? 1 : 0);
        EXPECT_EQ(conf_problem[0] != '\0', r.foreign) << conf_problem;
        if (r.foreign) {
            EXPECT_NE(std::strstr(conf_problem, fcpath), nullptr) << conf_problem;
            EXPECT_EQ(save_conf(), mfe_invdat);
            if (r.path.empty()) {
                EXPECT_EQ(read_file(), r.text);
            }
        } else {
            EXPECT_EQ(rc, 0);
            EXPECT_EQ(save_conf(), 0);
        }
    }
    EXPECT_EQ(sys_to, 9);  // row 6: the unknown line is skipped, the known one read
}

// A COM device path too long for the port table is refused aloud, with its key.
TEST_F(Conf, OverlongComDevicePathIsNamed) {
    load_text("ik_comdev_3 /dev/" + std::string(400, 'x') + "\nik_comdev_4 /dev/ttyUSB0\n");
    EXPECT_NE(std::strstr(conf_problem, "ik_comdev_3"), nullptr) << conf_problem;
    EXPECT_STREQ(plat::ser_com_path(4), "/dev/ttyUSB0");
}

// Settings that every key reaches, as one text, for the round trip.
std::string snapshot() {
    std::ostringstream o;
    o << sys_baud << '|' << makpath << '|' << sys_boot << '|' << int(sc_intf_s) << int(sc_intf_e)
      << int(sc_to) << int(sc_parno) << '|';
    for (uint32_t v : {det_zelb_cmd, det_zelb_val, det_sw_cmd, det_sw_val, det_dat_cmd, det_dat_val,
                       det_disp_cmd, det_disp_val, det_vfreq_cmd, det_vfreq_val, det_hfreq_cmd,
                       det_hfreq_val, det_pclk_cmd, det_pclk_val})
        o << v << ',';
    for (int i = 0; i < 4; ++i) o << lptport[i] << ',' << lptportstat[i] << ',';
    o << ddcpath << '|' << firmpath << '|' << fname1 << '|' << int(fsf_prot) << int(ddc_prot) << '|'
      << get_temp_file << '|';
    for (const char *t : {op_mak_pre, op_mak_suff, op_ddc_hex_pre, op_ddc_hex_suff, op_ddc_bin_pre,
                          op_ddc_bin_suff, op_tx_pre, op_tx_suff})
        o << t << '|';
    o << int(firm_68) << int(parno) << int(logcom) << '|' << VER_APP_NAME << '|' << int(sys_to)
      << ',' << int(sys_zelb_nr) << ',' << int(sys_intf) << ',' << int(firm_hito) << ',' << sys_ip
      << ',' << int(show_eth_init_err) << ',' << int(sys_ipx) << ',' << int(broad) << '|';
    for (auto &list : ip_list)
        for (auto &e : list) o << e.ip << '/' << (e.dns ? e.dns : "-") << ',';
    o << int(show_keyb) << int(show_mak) << int(show_info) << ',' << com_mode << ',' << sysmode
      << ',' << sys_lang << ',' << win_left << ',' << win_top << '|';
    for (int n = 1; n <= 99; ++n)
        if (plat::ser_com_path_is_set(n)) o << n << '=' << plat::ser_com_path(n) << ',';
    return o.str();
}

// Every setting away from its default, saved, reset and loaded again.
TEST_F(Conf, RoundTripOfEveryKey) {
    is_inet = 1;
    sys_baud = 38400;
    std::snprintf(makpath, sizeof makpath, "/opt/mak files/a.vqm");
    sys_boot = 206;
    sc_intf_s = 3, sc_intf_e = 17, sc_to = 9, sc_parno = 1;
    uint32_t *det[] = {&det_zelb_cmd,  &det_zelb_val,  &det_sw_cmd,    &det_sw_val,
                       &det_dat_cmd,   &det_dat_val,   &det_disp_cmd,  &det_disp_val,
                       &det_vfreq_cmd, &det_vfreq_val, &det_hfreq_cmd, &det_hfreq_val,
                       &det_pclk_cmd,  &det_pclk_val};
    for (uint32_t i = 0; i < 14; ++i) *det[i] = 0xABC00000u + i;
    for (int i = 0; i < 4; ++i) lptport[i] = 0x100 + i, lptportstat[i] = 0xFFFFFFF0u + i;
    std::snprintf(ddcpath, sizeof ddcpath, "/d/edid.bin");
    std::snprintf(firmpath, sizeof firmpath, "C:\\my files\\a.h86");
    std::snprintf(fname1, sizeof fname1, "dump 1.vqf");
    fsf_prot = 1, ddc_prot = 1;
    std::snprintf(get_temp_file, sizeof get_temp_file, "/tmp/x.tmp");
    char *viewers[] = {op_mak_pre,     op_mak_suff,     op_ddc_hex_pre, op_ddc_hex_suff,
                       op_ddc_bin_pre, op_ddc_bin_suff, op_tx_pre,      op_tx_suff};
    for (int i = 0; i < 8; ++i) std::snprintf(viewers[i], cfg_viewer_size, "viewer %d --x", i);
    firm_68 = 1, parno = 1, logcom = 1;
    std::snprintf(VER_APP_NAME, sizeof VER_APP_NAME, "My Tool");
    sys_to = 17, sys_zelb_nr = 200, sys_intf = 42, firm_hito = 1, show_eth_init_err = 0,
    sys_ipx = 8, broad = 0;
    std::snprintf(sys_ip, sizeof sys_ip, "192.168.7.9");
    ASSERT_EQ(load_ip_list("ik_ipl_1", "10.0.0.5"), 1);
    ASSERT_EQ(load_ip_list("ik_ipl_1_2", "10.0.0.6"), 1);
    ASSERT_EQ(load_ip_list("ik_ipl_2_3", "localhost"), 1);
    ASSERT_STREQ(list_get_ip_sub(1, 2), "127.0.0.1");
    ASSERT_EQ(load_ip_list("ik_ipl_9_30", "10.9.9.30"), 1);
    show_keyb = 1, show_mak = 1, show_info = 1;
    com_mode = 245, sysmode = 261, sys_lang = 3, win_left = 123, win_top = 456;
    plat::ser_set_com_path(1, "/dev/pts/4");
    plat::ser_set_com_path(42, "/dev/serial/by-id/usb adapter");

    const std::string before = snapshot();
    ASSERT_EQ(save_conf(), 0);
    set_std_cfg(cfg_grp_all, 0);
    ASSERT_NE(snapshot(), before);
    ASSERT_EQ(load_conf(), 0);
    conf_close();
    EXPECT_EQ(snapshot(), before);
    // The host name is written back, not the address it resolved to.
    const std::string text = read_file();
    EXPECT_NE(text.find("ik_ipl_2_3 localhost"), std::string::npos);
    // Every line ends in CR LF, the IP lists' as all others.
    size_t lines = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n') continue;
        ++lines;
        EXPECT_TRUE(i > 0 && text[i - 1] == '\r') << "line " << lines;
    }
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    EXPECT_GT(lines, 271u);
    // The same file as an older version wrote it, the IP lists in LF lines,
    // loads to the same settings.
    std::string older;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("ik_ipl_", 0) == 0 || line.rfind("ik_sys_broad", 0) == 0) line.pop_back();
        older += line + "\n";
    }
    ASSERT_NE(older, text);
    set_std_cfg(cfg_grp_all, 0);
    load_text(older);
    EXPECT_EQ(snapshot(), before);
}

// The keys stand in their fixed order; the COM devices come after all the
// keys that older files have.
TEST_F(Conf, WrittenOrder) {
    plat::ser_set_com_path(7, "/dev/ttyUSB1");
    ASSERT_EQ(save_conf(), 0);
    std::vector<std::string> want = {"ik_sys_baud",  "ik_makpath", "ik_sys_boot", "ik_sc_intf_s",
                                     "ik_sc_intf_e", "ik_sc_to",   "ik_sc_parno"};
    for (const char *q : {"zelb", "sw", "dat", "disp", "vfreq", "hfreq", "pclk"}) {
        want.push_back(std::string("ix_det_") + q + "_cmd");
        want.push_back(std::string("ix_det_") + q + "_val");
    }
    for (int i = 1; i <= 4; ++i) {
        want.push_back("ik_ddc_" + std::to_string(i));
        want.push_back("ik_ddc_" + std::to_string(i) + "s");
    }
    std::istringstream keys(
        "ik_ddcpath ik_firmpath ik_fn1 ik_fsf_prot ik_ddc_prot ik_tempf ik_op_mak_pre "
        "ik_op_mak_suff ik_op_ddc_hex_pre ik_op_ddc_hex_suff ik_op_ddc_bin_pre ik_op_ddc_bin_suff "
        "ik_op_tx_pre ik_op_tx_suff ik_firmspec ik_test_images ik_parno ik_log ik_app_name "
        "ik_sys_to ik_sys_zelb "
        "ik_sys_intf ik_firm_hito ik_sys_ip ik_eth_init_err ik_sys_ipx ik_sys_broad");
    for (std::string k; keys >> k;) want.push_back(k);
    for (int i = 1; i <= 9; ++i)
        for (int j = 1; j <= 30; ++j)
            want.push_back("ik_ipl_" + std::to_string(i) + (j == 1 ? "" : "_" + std::to_string(j)));
    for (const char *k : {"ik_show_keyb", "ik_show_mak", "ik_show_info", "ik_commode", "ik_sysmode",
                          "ik_syslang", "ik_w_lf", "ik_w_tp", "ik_comdev_7"})
        want.push_back(k);
    std::vector<std::string> got;
    std::istringstream in(read_file());
    for (std::string line; std::getline(in, line);) got.push_back(line.substr(0, line.find(' ')));
    EXPECT_EQ(got, want);
    EXPECT_NE(read_file().find("ik_ddc_3 0x03BC\r\n"), std::string::npos);
}

// A text with a line break cannot smuggle a key into the file.
TEST_F(Conf, TextWithLineBreakIsCut) {
    std::snprintf(fname1, sizeof fname1, "a.vqf\nik_sys_to 33");
    ASSERT_EQ(save_conf(), 0);
    set_std_cfg(cfg_grp_all, 0);
    load_text(read_file());
    EXPECT_STREQ(fname1, "a.vqf");
    EXPECT_EQ(sys_to, 5);
}

int fail_write_after;  // bytes the injected write accepts before it fails
ssize_t short_write(int fd, const void *buf, size_t n) {
    if (fail_write_after <= 0) {
        errno = ENOSPC;
        return -1;
    }
    size_t k = n < size_t(fail_write_after) ? n : size_t(fail_write_after);
    fail_write_after -= int(k);
    return ::write(fd, buf, k);
}
int fail_fsync(int) {
    errno = EIO;
    return -1;
}
int fail_rename(const char *, const char *) {
    errno = EXDEV;
    return -1;
}

// Counts the writes that still come after one has failed.
bool write_failed;
int writes_after_failure;
ssize_t counting_short_write(int fd, const void *buf, size_t n) {
    if (write_failed) ++writes_after_failure;
    const ssize_t w = short_write(fd, buf, n);
    if (w < 0) write_failed = true;
    return w;
}

// A write that fails in the IP lists is reported there, by the saver of the
// interface group (its file error id kept), and nothing is written after it.
TEST_F(Conf, FailedWriteInTheIpListsIsReported) {
    ASSERT_EQ(load_ip_list("ik_ipl_1", "10.0.0.5"), 1);
    char *buf = nullptr;
    size_t len = 0;
    FILE *m = open_memstream(&buf, &len);
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(save_intf(m), 0);
    std::fclose(m);
    const std::string whole(buf, len);
    std::free(buf);
    const size_t lists = whole.find("ik_sys_broad");
    ASSERT_NE(lists, std::string::npos);
    struct Row {
        int n;
        size_t accepted;  // bytes written before the disk is full
        char rc;
    } rows[] = {
        {1, lists, 2},             // the first line of the IP lists
        {2, lists + 30, 2},        // within the first entry
        {3, whole.size() / 2, 2},  // half-way through the lists
        {4, whole.size() - 1, 2},  // the last line's LF
        {5, whole.size(), 0},      // room for everything
    };
    for (const Row &r : rows) {
        SCOPED_TRACE("row " + std::to_string(r.n));
        plat::FileReplace fr;
        ASSERT_EQ(plat::file_replace_open(fcpath, &fr), plat::FILE_OK);
        std::setvbuf(fr.f, nullptr, _IONBF, 0);  // each line reaches the disk as it is written
        sys_f_rv = 0;
        fail_write_after = static_cast<int>(r.accepted);
        write_failed = false;
        writes_after_failure = 0;
        plat::file_sys().write = counting_short_write;
        EXPECT_EQ(save_intf(fr.f), r.rc);
        EXPECT_EQ(sys_f_rv, r.rc ? mfe_rw : 0);
        EXPECT_EQ(write_failed, r.rc != 0);
        EXPECT_EQ(writes_after_failure, 0);
        plat::file_sys_reset();
        plat::file_replace_abort(&fr);
    }
    EXPECT_EQ(files_in_dir(), 0u);
}

// A save that fails anywhere leaves the old file whole and no new file behind.
TEST_F(Conf, FailedSaveKeepsOldFile) {
    struct Row {
        int n;
        void (*inject)();
    } rows[] = {
        {1,
         [] { fail_write_after = 0, plat::file_sys().write = short_write; }},  // disk full at once
        {2, [] { fail_write_after = 3000, plat::file_sys().write = short_write; }},  // half-way
        {3, [] { plat::file_sys().fsync = fail_fsync; }},
        {4, [] { plat::file_sys().rename = fail_rename; }},
    };
    const std::string old = "ik_sys_to 9\r\nik_w_lf 10\r\n";
    for (const Row &r : rows) {
        SCOPED_TRACE("row " + std::to_string(r.n));
        write_file(old);
        sys_f_rv = 0;
        r.inject();
        EXPECT_NE(save_conf(), 0);
        EXPECT_NE(sys_f_rv, 0);
        plat::file_sys_reset();
        EXPECT_EQ(read_file(), old);
        EXPECT_EQ(files_in_dir(), 1u);
    }
    // Without a fault the same save replaces the file.
    ASSERT_EQ(save_conf(), 0);
    EXPECT_NE(read_file(), old);
    EXPECT_EQ(files_in_dir(), 1u);
}

// The file behind a symbolic link is replaced; the link and the file's mode stay.
TEST_F(Conf, SaveKeepsLinkAndMode) {
    const fs::path real = dir / "real.cfg";
    std::ofstream(real) << "ik_sys_to 9\n";
    ASSERT_EQ(chmod(real.c_str(), 0600), 0);
    fs::create_symlink(real, dir / "std.cfg");
    sys_to = 21;
    ASSERT_EQ(save_conf(), 0);
    EXPECT_TRUE(fs::is_symlink(dir / "std.cfg"));
    struct stat st;
    ASSERT_EQ(stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    sys_to = 5;
    load_text(read_file());
    EXPECT_EQ(sys_to, 21);
}

// A missing file keeps every default; saving while the file is still open
// from loading, or into a file that cannot be created, writes nothing.
TEST_F(Conf, MissingFileOpenFileAndMissingDirectory) {
    sys_to = 9;
    EXPECT_NE(load_conf(), 0);
    EXPECT_EQ(sys_to, 9);
    write_file("ik_sys_to 9\n");
    ASSERT_EQ(load_conf(), 0);
    EXPECT_NE(save_conf(), 0);
    conf_close();
    EXPECT_EQ(read_file(), "ik_sys_to 9\n");
    set_path(dir / "no such dir" / "std.cfg");
    EXPECT_NE(save_conf(), 0);
}

// Each default group resets its own settings and leaves the others alone.
TEST_F(Conf, DefaultGroups) {
    sys_boot = 206, lptport[2] = 1, sys_to = 9, sc_to = 9, logcom = 1, ddc_bus = 3, sysmode = 127;
    sc_intf_e = 5;
    set_std_cfg(cfg_grp_lpt, 0);
    EXPECT_EQ(lptport[2], 0x3BCu);
    EXPECT_EQ(sys_boot, 206);
    set_std_cfg(cfg_grp_intf, 0);
    EXPECT_EQ(sys_to, 5);
    EXPECT_EQ(sc_to, 1);
    EXPECT_EQ(sc_intf_e, 99);
    EXPECT_EQ(sysmode, 127);
    set_std_cfg(cfg_grp_flags | cfg_grp_ddc_bus | cfg_grp_boot | cfg_grp_view, 0);
    EXPECT_EQ(logcom, 0);
    EXPECT_EQ(ddc_bus, 1);
    EXPECT_EQ(sys_boot, 205);
    EXPECT_EQ(sysmode, 129);
    // The window is centred on a larger screen and put at 0, 0 on a smaller one.
    EXPECT_EQ(win_left, 200);
    EXPECT_EQ(win_top, 215);
    plat::win_headless_set_screen(500, 300);
    reset_win();
    EXPECT_EQ(win_left, 0);
    EXPECT_EQ(win_top, 0);
    EXPECT_EQ(win_width, 600);
    // The viewers: the desktop's opener before the file name, nothing after it.
    char *pre[] = {op_mak_pre, op_ddc_hex_pre, op_ddc_bin_pre, op_tx_pre};
    char *suff[] = {op_mak_suff, op_ddc_hex_suff, op_ddc_bin_suff, op_tx_suff};
    for (int i = 0; i < 4; ++i) {
        std::snprintf(pre[i], cfg_viewer_size, "notes ");
        std::snprintf(suff[i], cfg_viewer_size, "-x");
    }
    set_std_cfg(cfg_grp_viewers, 0);
    for (int i = 0; i < 4; ++i) {
        EXPECT_STREQ(pre[i], "xdg-open ") << i;
        EXPECT_STREQ(suff[i], "") << i;
    }
    const std::vector<std::string> argv = {"xdg-open", "/tmp/my dump.vqf"};
    EXPECT_EQ(plat::win_viewer_argv(op_tx_pre, "/tmp/my dump.vqf", op_tx_suff), argv);
}

}  // namespace
